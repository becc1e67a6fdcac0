// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The faces the window names belong to another desktop. Each is mapped to a
// free face that a Debian package installs, so text has the same size and
// width on every machine that has the program's dependencies.
#include <QString>

namespace platform {

// Where fonts-wine puts its faces; fontconfig does not index that folder.
inline const QString WineFontFolder = QStringLiteral("/usr/share/wine/fonts");

// Loads the missing faces from `wineFonts` and adds the substitutes. A face
// the machine already has is left as it is. Call once a QGuiApplication exists.
void InstallSystemFonts(const QString &wineFonts = WineFontFolder);

} // namespace platform
