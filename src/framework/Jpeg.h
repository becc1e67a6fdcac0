// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QImage>

namespace framework {

// Decodes a baseline or progressive JPEG with libjpeg. Throws
// platform::Exception with libjpeg's message when the data is not a picture.
QImage DecodeJpeg(const QByteArray &data);

// Encodes an RGB picture (used by the asset generator).
QByteArray EncodeJpeg(const QImage &image, int quality);

} // namespace framework
