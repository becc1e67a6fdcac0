// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/DeviceCaps.h"

#include <array>
#include <limits>

#include "desktop/SystemParameters.h"

namespace framework {
namespace {

// The static colours every palette device reserves.
constexpr std::array<TColor, 20> kStaticPalette = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000,
                                                   0xC0C0C0, 0xC0DCC0, 0xF0CAA6, 0xF0FBFF, 0xA4A0A0, 0x808080, 0x0000FF,
                                                   0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

int keepBits(int channel, int bits)
{
    const int kept = channel >> (8 - bits);
    // Spread the kept bits over the full range, as the device shows them.
    return (kept << (8 - bits)) | (kept >> (2 * bits - 8));
}

} // namespace

int GetDeviceBitsPerPixel(const TCanvas &canvas) { return canvas.Monochrome() ? 1 : platform::DisplayBitsPerPixel(); }

TColor GetNearestColor(const TCanvas &canvas, TColor c)
{
    const TColor rgb = ColorToRGB(c);
    const int r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
    const int bits = GetDeviceBitsPerPixel(canvas);
    if (bits == 1)
        return 2 * (r + g + b) > 3 * 255 ? clWhite : clBlack;
    if (bits >= 24)
        return rgb;
    if (bits >= 15) {
        const int gBits = bits == 16 ? 6 : 5;
        return RGB(keepBits(r, 5), keepBits(g, gBits), keepBits(b, 5));
    }
    TColor best = clBlack;
    int bestDistance = std::numeric_limits<int>::max();
    for (TColor p : kStaticPalette) {
        const int dr = GetRValue(p) - r, dg = GetGValue(p) - g, db = GetBValue(p) - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = p;
        }
    }
    return best;
}

} // namespace framework
