// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window, which the program entry starts when no command-line option
// asks for work without one.

namespace app {

// Runs the window's entry with the program's arguments and returns its exit
// status. On Linux the entry is the module zantrope-window.so, loaded now
// (see core/ProgramModules.h); a module that cannot be loaded is reported
// on standard error, with status 1. Windows links the window in.
int RunWindowModule(int argc, char **argv);

} // namespace app
