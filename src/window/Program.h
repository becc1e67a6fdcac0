// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program sets up before its window: the look and the title. The
// program entry and the benchmarks start the same way.
#include <vector>

#include "platform/FileName.h"

namespace app {

// The command line split for Qt: Qt may read and remove its own options
// (-style, -platform, -reverse) only before a "--"; everything after it is a
// file name, whatever it looks like.
struct CommandLineSplit {
    int qtArgc = 0; // the leading part of argv that Qt may see
    std::vector<platform::FileName> afterDashes;
};
CommandLineSplit SplitAtDoubleDash(int argc, char **argv);

// The names to open: what Qt left of its part of argv (argv[0] excluded),
// then everything after "--", as their bytes.
std::vector<platform::FileName> NamesToOpen(int qtArgc, char **argv, const CommandLineSplit &split);

// Call once the Qt application object exists.
void PrepareApplication();

} // namespace app
