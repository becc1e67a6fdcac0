// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What screen readers learn of the flat controls: buttons are push buttons
// with a press action, progress bars tell their values, the title bar is a
// title bar. Installed once when the first flat control is made.

namespace flat {

void InstallFlatAccessibleFactory();

} // namespace flat
