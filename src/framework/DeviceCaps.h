// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a canvas's device can show: its colour depth and the nearest colour
// it can hold.
#include "framework/TCanvas.h"

namespace framework {

// Bits per pixel: 1 for a one-bit surface, otherwise the display's depth.
int GetDeviceBitsPerPixel(const TCanvas &canvas);

// The colour the device would actually show for c (a system colour is
// resolved first). At 24 bits and more that is the colour itself; 15 and 16
// bits keep 5 or 6 bits a channel; 8 bits and fewer pick from the standard
// 20-colour palette; a one-bit surface gives black or white.
TColor GetNearestColor(const TCanvas &canvas, TColor c);

} // namespace framework
