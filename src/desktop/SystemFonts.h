// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The faces the window names belong to Windows. Elsewhere each is mapped to
// a free face that a Debian package installs, so text has the same size and
// width on every machine that has the program's dependencies.
#include <QString>

namespace platform {

// Where fonts-wine puts its faces; fontconfig does not index that folder.
inline const QString WineFontFolder = QStringLiteral("/usr/share/wine/fonts");

// Loads the missing faces from `wineFonts` and adds the substitutes. A face
// the machine already has is left as it is. Call once a QGuiApplication exists.
// On Windows, which has the faces itself, nothing is loaded or substituted.
void InstallSystemFonts(const QString &wineFonts = WineFontFolder);

// The face that draws `family` where its glyphs must scale (above 100 %): the
// family itself when it has outlines, otherwise a scalable face of the same
// design and widths ("MS Sans Serif" has only its one bitmap size).
QString ScalableFace(const QString &family);

// Forgets what ScalableFace found, as the installed faces change.
void ForgetScalableFaces();

} // namespace platform
