// SPDX-License-Identifier: GPL-3.0-or-later
// The window's faces on Windows.
#include "desktop/SystemFonts.h"

namespace platform {

// Windows has the faces the window names ("MS Sans Serif", "Verdana", the
// Song face), and its own substitutes for those it lacks.
void InstallSystemFonts(const QString &) { ForgetScalableFaces(); }

} // namespace platform
