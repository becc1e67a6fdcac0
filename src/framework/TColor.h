// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Colours are $00BBGGRR; a top byte of $FF names a system colour by its
// index in the low byte, resolved through the system colour table.
#include <QColor>
#include <cstdint>

#include "desktop/SysColors.h"

namespace framework {

using TColor = std::uint32_t;

constexpr TColor clBlack = 0x00000000, clMaroon = 0x00000080, clGreen = 0x00008000, clOlive = 0x00008080,
                 clNavy = 0x00800000, clPurple = 0x00800080, clTeal = 0x00808000, clGray = 0x00808080,
                 clSilver = 0x00C0C0C0, clRed = 0x000000FF, clLime = 0x0000FF00, clYellow = 0x0000FFFF,
                 clBlue = 0x00FF0000, clFuchsia = 0x00FF00FF, clAqua = 0x00FFFF00, clWhite = 0x00FFFFFF,
                 clNone = 0x1FFFFFFF;

constexpr TColor SysColor(int index) { return 0xFF000000u | static_cast<TColor>(index); }
constexpr TColor clScrollBar = SysColor(0), clBackground = SysColor(1), clActiveCaption = SysColor(2),
                 clInactiveCaption = SysColor(3), clMenu = SysColor(4), clWindow = SysColor(5),
                 clWindowFrame = SysColor(6), clMenuText = SysColor(7), clWindowText = SysColor(8),
                 clCaptionText = SysColor(9), clActiveBorder = SysColor(10), clInactiveBorder = SysColor(11),
                 clAppWorkSpace = SysColor(12), clHighlight = SysColor(13), clHighlightText = SysColor(14),
                 clBtnFace = SysColor(15), clBtnShadow = SysColor(16), clGrayText = SysColor(17),
                 clBtnText = SysColor(18), clInactiveCaptionText = SysColor(19), clBtnHighlight = SysColor(20),
                 cl3DDkShadow = SysColor(21), cl3DLight = SysColor(22), clInfoText = SysColor(23),
                 clInfoBk = SysColor(24), clHotLight = SysColor(26), clMenuHighlight = SysColor(29),
                 clMenuBar = SysColor(30);

constexpr bool IsSysColor(TColor c) { return (c & 0xFF000000u) == 0xFF000000u; }

// The plain RGB value a colour stands for now.
inline TColor ColorToRGB(TColor c)
{
    return IsSysColor(c) ? platform::GetSysColor(static_cast<int>(c & 0xFF)) : (c & 0x00FFFFFFu);
}

constexpr TColor RGB(int r, int g, int b)
{
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(TColor c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }

inline QColor ToQColor(TColor c)
{
    const TColor rgb = ColorToRGB(c);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}
inline TColor FromQColor(const QColor &q) { return RGB(q.red(), q.green(), q.blue()); }
inline TColor FromQRgb(QRgb q) { return RGB(qRed(q), qGreen(q), qBlue(q)); }

} // namespace framework
