// SPDX-License-Identifier: GPL-3.0-or-later
#include "flat/FlatUtilitys.h"

#include <cmath>

#include "flat/HSLUtils.h"
#include "framework/WidgetPaint.h"

namespace flat {

TColor ComputeAdvColor(TColor parentColor, TColor ownColor, TAdvColors percent, bool darken)
{
    if (percent == 0)
        return ownColor;
    const TScaledHsl hsl = ColorToScaledHsl(framework::ColorToRGB(parentColor));
    int l = hsl.L + 10;
    // The upper bound is 100 of 240 on purpose: a light parent gives a
    // darker hot colour.
    if (darken)
        l = l - percent < 0 ? 0 : l - percent;
    else
        l = l + percent > 100 ? 100 : l + percent;
    return ScaledHslToColor(hsl.H, hsl.S, l);
}

void DrawBevelFrame(TCanvas &canvas, const TRect &r, TColor topColor, TColor bottomColor, int width)
{
    canvas.Pen.Width = 1;
    TRect ring = r;
    --ring.Right;
    --ring.Bottom;
    for (int i = 0; i < width; ++i) {
        canvas.Pen.Color = topColor;
        canvas.Polyline({{ring.Left, ring.Bottom}, {ring.Left, ring.Top}, {ring.Right, ring.Top}});
        canvas.Pen.Color = bottomColor;
        canvas.Polyline({{ring.Right, ring.Top}, {ring.Right, ring.Bottom}, {ring.Left - 1, ring.Bottom}});
        framework::InflateRect(ring, -1, -1);
    }
}

void PaintParentBackground(const QWidget *control, TCanvas &canvas)
{
    if (!control)
        return;
    QWidget *parent = control->parentWidget();
    if (!parent)
        return;
    const framework::TSavedDC saved(canvas);
    const TPoint org = canvas.GetViewportOrg();
    canvas.SetViewportOrg(org.X - control->x(), org.Y - control->y());
    canvas.IntersectClipRect(0, 0, parent->width(), parent->height());
    framework::PaintWidgetInto(parent, canvas, 0, 0);
}

std::unique_ptr<TBitmap> MakeDisabledGlyph(const TBitmap &source, TColor keyColor, TColor backColor,
                                           TColor highlightColor, TColor shadowColor, bool highlight)
{
    const int w = source.Width(), h = source.Height();
    auto result = std::make_unique<TBitmap>(w, h);

    TBitmap mask(source);
    mask.Canvas().Brush.Color = keyColor;
    mask.SetMonochrome(true);

    TCanvas &c = result->Canvas();
    c.Brush = {backColor, framework::bsSolid};
    c.FillRect(framework::Rect(0, 0, w, h));
    c.SetTextColor(framework::clBlack);
    c.SetBkColor(framework::clWhite);
    if (highlight) {
        c.Brush.Color = highlightColor;
        framework::BitBlt(c, 1, 1, w, h, &mask.Canvas(), 0, 0, framework::ROP_DSPDxax);
    }
    c.Brush.Color = shadowColor;
    framework::BitBlt(c, 0, 0, w, h, &mask.Canvas(), 0, 0, framework::ROP_DSPDxax);
    return result;
}

TGlyphLayout LayoutGlyphAndCaption(TCanvas &canvas, const TRect &client, TPoint offset, const QString &caption,
                                   TButtonLayout layout, int margin, int spacing, const TBitmap *glyph, int numGlyphs)
{
    const int cw = client.Width(), ch = client.Height();
    // A count below one would divide by zero; one image is what such a glyph shows.
    const int images = numGlyphs < 1 ? 1 : numGlyphs;
    TPoint glyphSize;
    if (glyph && !glyph->Empty())
        glyphSize = {glyph->Width() / images, glyph->Height()};

    TRect textBounds;
    TPoint textSize;
    if (!caption.isEmpty()) {
        textBounds = framework::Rect(0, 0, cw, 0);
        canvas.DrawText(caption, textBounds, framework::DT_CALCRECT | framework::DT_SINGLELINE);
        textSize = {textBounds.Width(), textBounds.Height()};
    }

    const bool across = layout == blGlyphLeft || layout == blGlyphRight;
    TPoint glyphPos, textPos;
    if (across) {
        glyphPos.Y = (ch - glyphSize.Y + 1) / 2;
        textPos.Y = (ch - textSize.Y + 1) / 2;
    } else {
        glyphPos.X = (cw - glyphSize.X + 1) / 2;
        textPos.X = (cw - textSize.X + 1) / 2;
    }

    if (textSize.X == 0 || glyphSize.X == 0)
        spacing = 0;

    const int room = across ? cw : ch;
    const int glyphLen = across ? glyphSize.X : glyphSize.Y;
    const int textLen = across ? textSize.X : textSize.Y;
    if (margin == -1 && spacing == -1) {
        margin = (room - (glyphLen + textLen)) / 3;
        spacing = margin;
    } else if (margin == -1) {
        margin = (room - (glyphLen + spacing + textLen) + 1) / 2;
    } else if (spacing == -1) {
        spacing = ((room - (margin + glyphLen)) - textLen) / 2;
    }

    switch (layout) {
    case blGlyphLeft:
        glyphPos.X = margin;
        textPos.X = glyphPos.X + glyphSize.X + spacing;
        break;
    case blGlyphRight:
        glyphPos.X = cw - margin - glyphSize.X;
        textPos.X = glyphPos.X - spacing - textSize.X;
        break;
    case blGlyphTop:
        glyphPos.Y = margin;
        textPos.Y = glyphPos.Y + glyphSize.Y + spacing;
        break;
    case blGlyphBottom:
        glyphPos.Y = ch - margin - glyphSize.Y;
        textPos.Y = glyphPos.Y - spacing - textSize.Y;
        break;
    }

    TGlyphLayout out;
    out.GlyphPos = {glyphPos.X + client.Left + offset.X, glyphPos.Y + client.Top + offset.Y};
    out.TextBounds = textBounds;
    framework::OffsetRect(out.TextBounds, textPos.X + client.Left + offset.X, textPos.Y + client.Top + offset.Y);
    return out;
}

std::uint16_t SmallerWord(std::uint16_t a, std::uint16_t b) { return b < a ? b : a; }

framework::TTextMetric ReadFontMetrics(const TFont &font) { return framework::GetTextMetrics(font); }

int LineHeightForTextHeight(int tmHeight) { return static_cast<int>(std::nearbyint(tmHeight + tmHeight / 8.0)); }

int FontLineHeight(const TFont &font) { return LineHeightForTextHeight(ReadFontMetrics(font).tmHeight); }

bool RectsOverlap(const TRect &a, const TRect &b)
{
    TRect out;
    return framework::IntersectRect(out, a, b);
}

} // namespace flat
