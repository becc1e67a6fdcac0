// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// System-wide parameters the desktop reports: the fonts of window parts and
// the display's colour depth. Tests may stand in for both.
#include <QString>
#include <functional>

namespace platform {

// A logical font as the desktop describes it. A negative height is the
// character height in pixels.
struct LogFont {
    QString faceName;
    int height = 0;
    int weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    int charset = 1; // default character set
};

// Sizes of the 8-bit-character metrics structure the request accepts.
constexpr unsigned NONCLIENTMETRICS_SIZE = 340, NONCLIENTMETRICS_SIZE_PADDED = 344;

struct NonClientMetrics {
    unsigned cbSize = NONCLIENTMETRICS_SIZE;
    LogFont captionFont, menuFont, statusFont, messageFont;
};

// Fills the metrics of the non-client parts. False when the request fails,
// including for a size field the request does not know; out is then untouched.
bool GetNonClientMetrics(NonClientMetrics &out);

// Replaces the desktop's answer (tests); an empty function restores it.
using NonClientMetricsProvider = std::function<bool(NonClientMetrics &)>;
void SetNonClientMetricsProvider(NonClientMetricsProvider provider);

// Colour depth of the display in bits per pixel; the screen's own unless a
// test set one (0 returns to the screen's).
int DisplayBitsPerPixel();
void SetDisplayBitsPerPixel(int bits);

} // namespace platform
