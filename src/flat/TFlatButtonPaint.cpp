// SPDX-License-Identifier: GPL-3.0-or-later
// The flat button's picture: fill, frame, glyph cell and caption by state.
#include "flat/TFlatButtonUnit.h"
#include "framework/TImageList.h"

namespace flat {

using namespace framework;

void TFlatButton::SyncState()
{
    TCanvas &canvas = Canvas();
    canvas.Font = Font();
    const TPoint offset = state_ == fbsPressed || state_ == fbsLatched ? TPoint{1, 1} : TPoint{0, 0};
    const TGlyphLayout layout = LayoutGlyphAndCaption(canvas, ClientRect(), offset, Caption(), layout_, margin_,
                                                      spacing_, glyph_.Empty() ? nullptr : &glyph_, numGlyphs_);
    glyphOrigin_ = layout.GlyphPos;
    captionRect_ = layout.TextBounds;

    if (!isEnabled()) {
        state_ = fbsDisabled;
        tracking_ = false;
    } else if (state_ == fbsDisabled) {
        state_ = down_ && groupIndex_ != 0 ? fbsLatched : fbsUp;
    }
}

void TFlatButton::Paint(TCanvas &canvas) const
{
    canvas.Font = Font();
    const bool fill = transparentMode_ == tmNone || (transparentMode_ == tmNotFocused && hot_);
    if (fill) {
        TColor c = Color();
        switch (state_) {
        case fbsUp: c = hot_ ? colorFocused_ : Color(); break;
        case fbsDisabled: c = Color(); break;
        case fbsPressed: c = colorDown_; break;
        case fbsLatched: c = hot_ ? colorFocused_ : colorDown_; break;
        }
        canvas.Brush = {c, bsSolid};
        canvas.FillRect(ClientRect());
    } else {
        PaintParentBackground(this, canvas);
    }

    switch (state_) {
    case fbsUp:
        if (hot_)
            DrawBevelFrame(canvas, ClientRect(), colorHighLight_, colorShadow_, 1);
        else
            DrawBevelFrame(canvas, ClientRect(), colorBorder_, colorBorder_, default_ ? 2 : 1);
        break;
    case fbsDisabled: DrawBevelFrame(canvas, ClientRect(), colorBorder_, colorBorder_, 1); break;
    case fbsPressed:
    case fbsLatched: DrawBevelFrame(canvas, ClientRect(), colorShadow_, colorHighLight_, 1); break;
    }

    if (!glyph_.Empty())
        DrawGlyph(canvas);

    canvas.Brush.Style = bsClear;
    const unsigned format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (state_ == fbsDisabled) {
        TRect r = captionRect_;
        OffsetRect(r, 1, 1);
        canvas.SetTextColor(clBtnHighlight);
        canvas.DrawText(Caption(), r, format);
        canvas.SetTextColor(clBtnShadow);
        canvas.DrawText(Caption(), captionRect_, format);
    } else {
        canvas.SetTextColor(Font().Color);
        canvas.DrawText(Caption(), captionRect_, format);
    }
}

void TFlatButton::DrawGlyph(TCanvas &canvas) const
{
    const int W = glyph_.Width(), H = glyph_.Height(), n = numGlyphs_;
    const int w = W / n;
    if (w <= 0)
        return;
    // Which cell shows in which state, by the number of images.
    int first = 0, last = W;
    if (n > 1) {
        int cell = 0;
        switch (state_) {
        case fbsUp: cell = 0; break;
        case fbsDisabled: cell = 1; break;
        case fbsPressed: cell = n == 2 ? 0 : 2; break;
        case fbsLatched: cell = n == 2 ? 0 : n - 1; break;
        }
        first = cell * w;
        last = cell == n - 1 ? W : first + w;
    }

    TColor mask = glyph_.Canvas().Pixels(0, H - 1);
    TBitmap cellBitmap(w, H);
    StretchBlt(cellBitmap.Canvas(), 0, 0, w, H, &glyph_.Canvas(), first, 0, last - first, H, SRCCOPY);
    const TBitmap *shown = &cellBitmap;
    std::unique_ptr<TBitmap> embossed;
    if (n == 1 && state_ == fbsDisabled) {
        embossed = MakeDisabledGlyph(cellBitmap, clBlack, clBtnFace, clBtnHighlight, clBtnShadow, true);
        mask = embossed->Canvas().Pixels(0, H - 1);
        shown = embossed.get();
    }
    TImageList images(w, H);
    images.AddMasked(*shown, mask);
    images.Draw(canvas, glyphOrigin_.X, glyphOrigin_.Y, 0);
}

} // namespace flat
