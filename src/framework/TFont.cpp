// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/TFont.h"

#include <QFontMetrics>
#include <cmath>

namespace framework {

int TFont::Size() const { return static_cast<int>(std::lround(-Height * 72.0 / 96.0)); }

void TFont::SetSize(int points) { Height = -static_cast<int>(std::lround(points * 96.0 / 72.0)); }

QFont TFont::ToQFont() const
{
    QFont f(Name);
    // Faces of the other desktop are missing here; a plain sans face stands in.
    f.setStyleHint(QFont::SansSerif);
    f.setBold(Style & fsBold);
    f.setItalic(Style & fsItalic);
    f.setUnderline(Style & fsUnderline);
    f.setStrikeOut(Style & fsStrikeOut);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setStyleStrategy(QFont::NoAntialias);
    if (Height < 0) {
        f.setPixelSize(-Height);
    } else if (Height > 0) {
        // A cell height includes the internal leading: take the largest pixel
        // size whose line fits the cell.
        int px = Height;
        f.setPixelSize(px);
        while (px > 1 && QFontMetrics(f).height() > Height) {
            --px;
            f.setPixelSize(px);
        }
    } else {
        f.setPixelSize(13);
    }
    return f;
}

} // namespace framework
