// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Conversions between RGB colours and hue/saturation/lightness, as fractions
// and on the integer scale of 240 that the colour dialogs use.
#include "framework/TColor.h"

namespace flat {

using framework::TColor;

constexpr int HslScale = 240;

struct THsl {
    double H = 0, S = 0, L = 0; // H in [0, 1), S and L in [0, 1]
    friend bool operator==(const THsl &, const THsl &) = default;
};

struct TScaledHsl {
    int H = 0, S = 0, L = 0; // H 0..239, S and L 0..240
    friend bool operator==(const TScaledHsl &, const TScaledHsl &) = default;
};

double MaxOf(double a, double b);
double MinOf(double a, double b);

// The colour must be a plain RGB value.
THsl ColorToHsl(TColor rgb);
TScaledHsl ColorToScaledHsl(TColor rgb);
TColor HslToColor(double h, double s, double l);
TColor ScaledHslToColor(int h, int s, int l);

} // namespace flat
