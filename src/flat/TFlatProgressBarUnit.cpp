// SPDX-License-Identifier: GPL-3.0-or-later
#include "flat/TFlatProgressBarUnit.h"

#include <algorithm>

#include "flat/FlatAccessibility.h"
#include "framework/Accessibility.h"

namespace flat {

using framework::AssignAndRepaint;
using framework::bsSolid;
using framework::Rect;

namespace {

// Wide enough for the difference and the product of any two 64-bit values.
using Wide = __int128;

constexpr int BlockPitch = TFlatProgressBar::ElementSize + 1;

} // namespace

TFlatProgressBar::TFlatProgressBar(QWidget *parent) : TCustomControl(parent)
{
    InstallFlatAccessibleFactory();
    resize(147, 16);
    SetParentColor(true);
    // The picture covers every pixel, transparent or not (then it holds the
    // parent's drawing), so nothing beneath needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TFlatProgressBar::SetTransparent(bool value)
{
    transparent_ = value;
    update();
}

void TFlatProgressBar::SetColors(int index, TColor value)
{
    (index == 0 ? colorElement_ : colorBorder_) = value;
    update();
}

void TFlatProgressBar::SetAdvColorBorder(TAdvColors value)
{
    advColorBorder_ = std::min<TAdvColors>(value, 100);
    ApplyAdvColors();
    update();
}

void TFlatProgressBar::SetUseAdvColors(bool value)
{
    AssignAndRepaint(useAdvColors_, value, [this] {
        SetParentColor(useAdvColors_);
        ApplyAdvColors();
        update();
    });
}

void TFlatProgressBar::SetOrientation(TProgressBarOrientation value)
{
    AssignAndRepaint(orientation_, value, [this] {
        if (!Loading())
            resize(height(), width());
        update();
    });
}

void TFlatProgressBar::SetMin(qint64 value)
{
    if (AssignAndRepaint(min_, value, [this] { update(); }))
        TellValue();
}

void TFlatProgressBar::SetMax(qint64 value)
{
    if (max_ == value)
        return;
    if (value < position_)
        position_ = value;
    max_ = value;
    update();
    TellValue();
}

void TFlatProgressBar::SetPosition(qint64 value)
{
    value = std::max(std::min(value, max_), min_);
    if (value == position_)
        return;
    const qint64 old = position_;
    position_ = value;
    TellValue();
    if (value < old) {
        update();
        return;
    }
    // Growing: the fill only gets longer, so only the new part is drawn.
    DrawNow(GrownFill(old));
}

void TFlatProgressBar::TellValue()
{
    const int percent = max_ > min_ ? int((Wide(position_) - min_) * 100 / (Wide(max_) - min_)) : 0;
    if (percent == toldPercent_)
        return;
    toldPercent_ = percent;
    QAccessibleValueChangeEvent event(this, position_);
    framework::Announce(event);
}

void TFlatProgressBar::SetSmooth(bool value)
{
    AssignAndRepaint(smooth_, value, [this] { update(); });
}

void TFlatProgressBar::ApplyAdvColors()
{
    if (!useAdvColors_)
        return;
    colorBorder_ = ComputeAdvColor(Color(), colorBorder_, advColorBorder_, true);
}

void TFlatProgressBar::SysColorChange()
{
    if (useAdvColors_) {
        SetParentColor(true);
        ApplyAdvColors();
    }
    update();
}

void TFlatProgressBar::ParentColorChanged()
{
    TControl::ParentColorChanged();
    if (useAdvColors_) {
        SetParentColor(true);
        ApplyAdvColors();
    }
    update();
}

int TFlatProgressBar::SnappedLength(int length)
{
    if (length < 12)
        return 12;
    return (length - 3) / BlockPitch * BlockPitch + 3;
}

int TFlatProgressBar::SmoothLength(int inner, qint64 min, qint64 max, qint64 position)
{
    const Wide range = Wide(max) - min;
    if (range <= 0 || inner <= 0)
        return 0;
    const Wide len = Wide(inner) * (Wide(position) - min) / range;
    // A position outside an inconsistent range must not paint over the frame.
    return static_cast<int>(std::clamp<Wide>(len, 0, inner));
}

int TFlatProgressBar::BlockCount(int total, qint64 min, qint64 max, qint64 position)
{
    const Wide range = Wide(max) - min;
    if (range <= 0 || total <= 0)
        return 0;
    const double perBlock = static_cast<double>(range) / total;
    const double count = static_cast<double>(Wide(position) - min) / perBlock + 0.00000001;
    if (count <= 0)
        return 0;
    return count >= total ? total : static_cast<int>(count);
}

void TFlatProgressBar::SyncState()
{
    if (smooth_)
        return;
    if (orientation_ == pbHorizontal) {
        const int snapped = SnappedLength(width());
        if (snapped != width())
            resize(snapped, height());
    } else {
        const int snapped = SnappedLength(height());
        if (snapped != height())
            resize(width(), snapped);
    }
}

TRect TFlatProgressBar::GrownFill(qint64 fromPosition) const
{
    const int w = width(), h = height();
    const bool horizontal = orientation_ == pbHorizontal;
    if (smooth_) {
        const int inner = horizontal ? w - 4 : h - 4;
        const int len = SmoothLength(inner, min_, max_, position_);
        const int had = SmoothLength(inner, min_, max_, fromPosition);
        if (len <= had)
            return {};
        return horizontal ? Rect(2 + had, 2, 2 + len, h - 2) : Rect(2, h - 2 - len, w - 2, h - 2 - had);
    }
    const int total = ((horizontal ? w : h) - 3) / BlockPitch;
    const int count = BlockCount(total, min_, max_, position_);
    const int had = BlockCount(total, min_, max_, fromPosition);
    if (count <= had)
        return {};
    return horizontal ? Rect(2 + had * BlockPitch, 2, 2 + (count - 1) * BlockPitch + ElementSize, h - 2)
                      : Rect(2, h - 10 - (count - 1) * BlockPitch, w - 2, h - 2 - had * BlockPitch);
}

void TFlatProgressBar::PaintElements(TCanvas &canvas) const
{
    const int w = canvas.Width(), h = canvas.Height();
    const bool horizontal = orientation_ == pbHorizontal;
    canvas.Brush = {colorElement_, bsSolid};
    if (smooth_) {
        const int len = SmoothLength(horizontal ? w - 4 : h - 4, min_, max_, position_);
        if (len > 0)
            canvas.FillRect(horizontal ? Rect(2, 2, 2 + len, h - 2) : Rect(2, h - 2 - len, w - 2, h - 2));
        return;
    }
    const int total = ((horizontal ? w : h) - 3) / BlockPitch;
    const int count = BlockCount(total, min_, max_, position_);
    for (int i = 0; i < count; ++i)
        canvas.FillRect(horizontal ? Rect(2 + i * BlockPitch, 2, 2 + i * BlockPitch + ElementSize, h - 2)
                                   : Rect(2, h - 10 - i * BlockPitch, w - 2, h - 2 - i * BlockPitch));
}

void TFlatProgressBar::Paint(TCanvas &canvas) const
{
    const TRect all = Rect(0, 0, canvas.Width(), canvas.Height());
    if (transparent_) {
        PaintParentBackground(this, canvas);
    } else {
        canvas.Brush = {Color(), bsSolid};
        canvas.FillRect(all);
    }
    canvas.Brush = {colorBorder_, bsSolid};
    canvas.FrameRect(all);
    PaintElements(canvas);
}

void TFlatProgressBar::resizeEvent(QResizeEvent *event)
{
    TControl::resizeEvent(event);
    update();
}

} // namespace flat
