// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Start-up as a person sees it on X11: from starting a program to the first
// pixels of its window on the screen, watched by another X client, so that
// the program is timed as it ships, with no help from inside.
#include <string>
#include <vector>

// Starts args with environment added to this process's own, and returns the
// milliseconds from the start to the first change that its first window,
// once mapped, makes to the screen; then ends the program. -1 when there is
// no X display, or nothing shows within ten seconds.
double MsToFirstPixels(const std::vector<std::string> &args, const std::vector<std::string> &environment);
