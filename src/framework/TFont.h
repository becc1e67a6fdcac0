// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A font as the controls describe it: face, height (negative = character
// height in pixels, positive = cell height), style, colour and character set.
#include <QFont>
#include <QString>

#include "framework/TColor.h"

namespace framework {

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

enum TFontCharset : int { ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, GB2312_CHARSET = 134 };

class TFont {
public:
    QString Name = QStringLiteral("MS Sans Serif");
    int Height = -11;
    TFontStyles Style = 0;
    TColor Color = clWindowText;
    int Charset = DEFAULT_CHARSET;

    // Point size at 96 dots per inch, as the font dialogs show it.
    int Size() const;
    void SetSize(int points);

    // The Qt font that draws this one: the pixel size is chosen so that the
    // character height (negative Height) or the cell height (positive Height)
    // comes out as asked. Drawn at a device pixel ratio above 1, a face with
    // only bitmaps would keep its 1x glyphs: a scalable face of the same
    // widths stands in for it.
    QFont ToQFont(qreal devicePixelRatio = 1) const;

    friend bool operator==(const TFont &, const TFont &) = default;
};

} // namespace framework
