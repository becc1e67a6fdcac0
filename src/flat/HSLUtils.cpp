// SPDX-License-Identifier: GPL-3.0-or-later
#include "flat/HSLUtils.h"

#include <cmath>

namespace flat {
namespace {

// Nearest integer, halves to the even neighbour.
int roundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

double hueToChannel(double m1, double m2, double h)
{
    if (h < 0)
        h += 1;
    else if (h > 1)
        h -= 1;
    if (6 * h < 1)
        return m1 + (m2 - m1) * h * 6;
    if (2 * h < 1)
        return m2;
    if (3 * h < 2)
        return m1 + (m2 - m1) * (2.0 / 3.0 - h) * 6;
    return m1;
}

} // namespace

double MaxOf(double a, double b) { return a > b ? a : b; }
double MinOf(double a, double b) { return a < b ? a : b; }

THsl ColorToHsl(TColor rgb)
{
    const double r = framework::GetRValue(rgb) / 255.0;
    const double g = framework::GetGValue(rgb) / 255.0;
    const double b = framework::GetBValue(rgb) / 255.0;
    const double cmax = MaxOf(r, MaxOf(g, b));
    const double cmin = MinOf(r, MinOf(g, b));
    THsl out;
    out.L = (cmax + cmin) / 2;
    if (cmax == cmin)
        return out;
    const double d = cmax - cmin;
    out.S = out.L < 0.5 ? d / (cmax + cmin) : d / (2 - cmax - cmin);
    double h;
    if (r == cmax)
        h = (g - b) / d;
    else if (g == cmax)
        h = 2 + (b - r) / d;
    else
        h = 4 + (r - g) / d;
    h /= 6;
    if (h < 0)
        h += 1;
    out.H = h;
    return out;
}

TScaledHsl ColorToScaledHsl(TColor rgb)
{
    const THsl hsl = ColorToHsl(rgb);
    return {roundEven(hsl.H * (HslScale - 1)), roundEven(hsl.S * HslScale), roundEven(hsl.L * HslScale)};
}

TColor HslToColor(double h, double s, double l)
{
    if (s == 0) {
        const int v = roundEven(l * 255);
        return framework::RGB(v, v, v);
    }
    const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    const double m1 = 2 * l - m2;
    const int r = roundEven(hueToChannel(m1, m2, h + 1.0 / 3.0) * 255) & 0xFF;
    const int g = roundEven(hueToChannel(m1, m2, h) * 255) & 0xFF;
    const int b = roundEven(hueToChannel(m1, m2, h - 1.0 / 3.0) * 255) & 0xFF;
    return static_cast<TColor>(r + g * 256 + b * 65536);
}

TColor ScaledHslToColor(int h, int s, int l)
{
    return HslToColor(h / double(HslScale - 1), s / double(HslScale), l / double(HslScale));
}

} // namespace flat
