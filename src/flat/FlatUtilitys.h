// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drawing and measuring helpers shared by the flat controls, and their
// enumerations.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "framework/TBitmap.h"
#include "framework/TCanvas.h"
#include "framework/TColor.h"
#include "framework/TFont.h"
#include "framework/TRect.h"

namespace flat {

using framework::TBitmap;
using framework::TCanvas;
using framework::TColor;
using framework::TFont;
using framework::TPoint;
using framework::TRect;

enum TProgressBarOrientation : std::uint8_t { pbHorizontal = 0, pbVertical = 1 };
using TNumGlyphs = std::uint8_t; // 1..4
using TAdvColors = std::uint8_t; // percentage 0..100
enum TTransparentMode : std::uint8_t { tmAlways = 0, tmNotFocused = 1, tmNone = 2 };
enum TButtonLayout : std::uint8_t { blGlyphLeft = 0, blGlyphRight = 1, blGlyphTop = 2, blGlyphBottom = 3 };

// Hot, pressed and border colours from the parent's colour: its lightness
// (on the 240 scale) plus 10, then lightened by percent up to at most 100 or
// darkened by percent down to 0. Percent 0 keeps ownColor.
TColor ComputeAdvColor(TColor parentColor, TColor ownColor, TAdvColors percent, bool darken);

// width nested one-pixel rings inside r: left and top edges in topColor,
// right and bottom edges (with the top-right and bottom-left corners) in
// bottomColor. Leaves the pen width 1 and the pen colour at the last used.
void DrawBevelFrame(TCanvas &canvas, const TRect &r, TColor topColor, TColor bottomColor, int width);

// Paints control's parent (its background and own drawing, no children)
// under the control, so the control looks transparent. Nothing without a parent.
void PaintParentBackground(const QWidget *control, TCanvas &canvas);

// The embossed image of a disabled glyph: key-coloured pixels in shadowColor
// with, if highlight is set, a highlightColor copy one pixel right and down
// where the shadow does not cover it; everything else backColor.
std::unique_ptr<TBitmap> MakeDisabledGlyph(const TBitmap &source, TColor keyColor, TColor backColor,
                                           TColor highlightColor, TColor shadowColor, bool highlight);

struct TGlyphLayout {
    TPoint GlyphPos;
    TRect TextBounds;
    friend bool operator==(const TGlyphLayout &, const TGlyphLayout &) = default;
};

// Where a button draws its glyph and caption, measured with the canvas's
// font. margin and spacing of -1 mean automatic; glyph may be null.
TGlyphLayout LayoutGlyphAndCaption(TCanvas &canvas, const TRect &client, TPoint offset, const QString &caption,
                                   TButtonLayout layout, int margin, int spacing, const TBitmap *glyph, int numGlyphs);

std::uint16_t SmallerWord(std::uint16_t a, std::uint16_t b);

framework::TTextMetric ReadFontMetrics(const TFont &font);
// tmHeight + tmHeight / 8, rounded halves to even.
int FontLineHeight(const TFont &font);
int LineHeightForTextHeight(int tmHeight);

bool RectsOverlap(const TRect &a, const TRect &b);

} // namespace flat
