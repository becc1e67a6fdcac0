// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the two halves of the desktop services (DesktopLinux.cpp and
// DesktopWin.cpp) tell the code they share in Desktop.cpp.
#include <QString>

namespace platform::detail {

// Why nothing opened a file or an address, as this system's desktop opens them.
QString NoOpenerDetails();

} // namespace platform::detail
