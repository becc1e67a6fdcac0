// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/WindowModule.h"

// The window's entry (src/window/ModuleEntry.cpp), linked into the program.
extern "C" int zantrope_window_main(int argc, char **argv);

namespace app {

int RunWindowModule(int argc, char **argv) { return zantrope_window_main(argc, argv); }

} // namespace app
