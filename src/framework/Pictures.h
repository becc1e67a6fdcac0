// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QImage>
#include <QString>

namespace framework {

// Reads a picture file: JPEG through libjpeg, the formats Qt holds itself
// (PNG, BMP, ...) by their suffix. Qt's own guess asks every image plugin
// whether it knows the file, which loads them all while the window starts;
// only a file its suffix misnames takes that way. A null image when the
// file cannot be read.
QImage ReadPicture(const QString &fileName);

} // namespace framework
