// SPDX-License-Identifier: GPL-3.0-or-later
// The flat combo box's picture: frame, rings, button and arrow, selection
// strip and the owner-drawn items. Coordinates are the control's; W and H its size.
#include <QComboBox>

#include "flat/TFlatComboBoxUnit.h"

namespace flat {

using framework::bsSolid;
using framework::clHighlight;
using framework::clHighlightText;
using framework::clWindow;
using framework::Rect;
using framework::TSavedDC;

void TFlatComboBox::DrawFlatFrame(TCanvas &canvas) const
{
    const int w = width(), h = height();
    TRect r = Rect(0, 0, w - 12, h);
    canvas.Brush = {colorBorder_, bsSolid};
    canvas.FrameRect(r);
    canvas.Brush = {FocusMarkShown() ? TColor(clHighlight) : Color(), bsSolid};
    InflateRect(r, -1, -1);
    canvas.FrameRect(r);
    canvas.Brush = {Color(), bsSolid};
    InflateRect(r, -1, -1);
    canvas.FrameRect(r);
}

void TFlatComboBox::DrawArrowButton(TCanvas &canvas) const
{
    const int w = width(), h = height();
    const TRect b = Rect(w - arrowAreaWidth_ - 2, 0, w, h);
    canvas.Brush = {colorArrowBackground_, bsSolid};
    canvas.FillRect(b);
    canvas.Brush.Color = colorBorder_;
    canvas.FrameRect(b);

    const int cx = b.Left + (b.Right - b.Left) / 2;
    const int y0 = b.Top + (b.Bottom - b.Top) / 2 - 1;
    auto triangle = [&](int dx, int dy, TColor colour) {
        canvas.Pen = {colour, 1, framework::psSolid};
        canvas.Brush = {colour, bsSolid};
        if (droppedDown_)
            canvas.Polygon({{cx - 2 + dx, y0 + 2 + dy}, {cx + 2 + dx, y0 + 2 + dy}, {cx + dx, y0 + dy}});
        else
            canvas.Polygon({{cx - 2 + dx, y0 + dy}, {cx + 2 + dx, y0 + dy}, {cx + dx, y0 + 2 + dy}});
    };
    if (isEnabled()) {
        triangle(0, 0, colorArrow_);
    } else {
        // Embossed: a white copy one pixel right and down under the grey one.
        triangle(1, 1, framework::clWhite);
        triangle(0, 0, framework::clGray);
    }
    canvas.ExcludeClipRect(w - systemButtonWidth_, 0, w, h);
}

void TFlatComboBox::PaintSelectionStrip(TCanvas &canvas) const
{
    const int w = width(), h = height();
    const bool focused = SelectionFocused();
    canvas.Brush = {focused ? clHighlight : Color(), bsSolid};
    canvas.FillRect(Rect(w - 21, 3, w - 16, h - 3));
    if (focused) {
        canvas.Brush.Color = clHighlight;
        canvas.FrameRect(Rect(3, 3, w - 16, h - 3));
    }
    canvas.ExcludeClipRect(w - systemButtonWidth_ - 2, 0, w, h);
}

void TFlatComboBox::DrawItem(TCanvas &canvas, int index, const TRect &rect, TOwnerDrawState state) const
{
    canvas.Font = Font();
    const bool selected = state & odSelected;
    canvas.Brush = {selected ? clHighlight : Color(), bsSolid};
    canvas.SetTextColor(selected ? clHighlightText : Font().Color);
    if (OnDrawItem && style_ >= csOwnerDrawFixed) {
        // The handler may change anything, as an owner-draw handler may.
        auto *self = const_cast<TFlatComboBox *>(this);
        itemCanvas_ = &canvas;
        framework::ErrorBox().Guard([&] { OnDrawItem(self, index, rect, state); });
        itemCanvas_ = nullptr;
        return;
    }
    canvas.FillRect(rect);
    if (index >= 0 && index < ComboBox()->count()) {
        TRect text = rect;
        text.Left += 2;
        canvas.DrawText(ComboBox()->itemText(index), text,
                        framework::DT_SINGLELINE | framework::DT_VCENTER | framework::DT_NOPREFIX);
    }
}

int TFlatComboBox::MeasureItem(int index)
{
    int height = itemHeight_;
    if (OnMeasureItem)
        Guarded([&] { OnMeasureItem(this, index, height); });
    return std::max(height, 1);
}

void TFlatComboBox::PaintEditArea(TCanvas &canvas) const
{
    // The editable styles have their edit over this area.
    if (style_ < csDropDownList)
        return;
    const int w = width(), h = height();
    TOwnerDrawState state = odComboBoxEdit;
    if (SelectionFocused())
        state |= odSelected | odFocused;
    if (!isEnabled())
        state |= odDisabled;
    DrawItem(canvas, ItemIndex(), Rect(3, 3, w - 16, h - 3), state);
}

void TFlatComboBox::Paint(TCanvas &canvas) const
{
    const int w = width(), h = height();
    canvas.Brush = {Color(), bsSolid};
    canvas.FillRect(Rect(0, 0, w - arrowAreaWidth_ - 4, h));
    if (style_ == csSimple)
        canvas.FillRect(Rect(w - arrowAreaWidth_ - 4, 0, w, h)); // no button there
    else
        DrawArrowButton(canvas);
    canvas.ExcludeClipRect(w - systemButtonWidth_ - 2, 0, w, h);
    PaintEditArea(canvas);
    if (style_ == csDropDown) {
        if (droppedDown_) {
            canvas.Brush = {clWindow, bsSolid};
            canvas.FrameRect(Rect(2, 2, w - 14, h - 2));
        }
    } else {
        PaintSelectionStrip(canvas);
    }
    {
        // The frame is drawn over the whole control, whatever the clipping.
        const TSavedDC whole(canvas);
        canvas.ResetClip();
        DrawFlatFrame(canvas);
    }
    // Clipped as the drawing before left it: the button may keep what was
    // drawn first.
    if (style_ != csSimple)
        DrawArrowButton(canvas);
}

} // namespace flat
