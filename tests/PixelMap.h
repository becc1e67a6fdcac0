// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pictures as text, so a failing pixel test shows where it went wrong:
// '#' where the canvas has the colour, '.' elsewhere.
#include <initializer_list>
#include <string>

#include "framework/TCanvas.h"

inline std::string map(const framework::TCanvas &c, framework::TColor colour)
{
    std::string s;
    for (int y = 0; y < c.Height(); ++y) {
        for (int x = 0; x < c.Width(); ++x)
            s += c.Pixels(x, y) == colour ? '#' : '.';
        s += '\n';
    }
    return s;
}

inline std::string rows(std::initializer_list<const char *> lines)
{
    std::string s;
    for (const char *l : lines) {
        s += l;
        s += '\n';
    }
    return s;
}
