#include "flat/TFlatProgressBarUnit.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace flat {

using framework::bsSolid;
using framework::Rect;

namespace {

// Wide enough for the difference and the product of any two 64-bit values.
using Wide = __int128;

constexpr int BlockPitch = TFlatProgressBar::ElementSize + 1;

} // namespace

TFlatProgressBar::TFlatProgressBar(QWidget *parent) : TControl(parent)
{
    resize(147, 16);
    SetParentColor(true);
    // The picture covers every pixel, transparent or not (then it holds the
    // parent's drawing), so nothing beneath needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TFlatProgressBar::SetTransparent(bool value)
{
    transparent_ = value;
    RequestRepaint();
}

void TFlatProgressBar::SetColors(int index, TColor value)
{
    (index == 0 ? colorElement_ : colorBorder_) = value;
    RequestRepaint();
}

void TFlatProgressBar::SetAdvColorBorder(TAdvColors value)
{
    advColorBorder_ = std::min<TAdvColors>(value, 100);
    ApplyAdvColors();
    RequestRepaint();
}

void TFlatProgressBar::SetUseAdvColors(bool value)
{
    if (useAdvColors_ == value)
        return;
    useAdvColors_ = value;
    SetParentColor(value);
    ApplyAdvColors();
    RequestRepaint();
}

void TFlatProgressBar::SetOrientation(TProgressBarOrientation value)
{
    if (orientation_ == value)
        return;
    orientation_ = value;
    if (!Loading())
        resize(height(), width());
    RequestRepaint();
}

void TFlatProgressBar::SetMin(qint64 value)
{
    if (min_ == value)
        return;
    min_ = value;
    RequestRepaint();
}

void TFlatProgressBar::SetMax(qint64 value)
{
    if (max_ == value)
        return;
    if (value < position_)
        position_ = value;
    max_ = value;
    RequestRepaint();
}

void TFlatProgressBar::SetPosition(qint64 value)
{
    value = std::max(std::min(value, max_), min_);
    if (value == position_)
        return;
    const qint64 old = position_;
    position_ = value;
    if (value < old || !composed_ || picture_.Width() != width() || picture_.Height() != height()) {
        RequestRepaint();
        return;
    }
    // Growing: the fill only gets longer, so the new part is drawn onto the
    // picture as it is and only that part is shown again.
    const QRect drawn = PaintElements(picture_, old);
    if (drawn.isEmpty())
        return;
    drawnSinceCompose_ += drawn;
    update(drawn);
}

void TFlatProgressBar::SetStep(int value)
{
    if (step_ == value)
        return;
    step_ = value;
    RequestRepaint();
}

void TFlatProgressBar::SetSmooth(bool value)
{
    if (smooth_ == value)
        return;
    smooth_ = value;
    RequestRepaint();
}

void TFlatProgressBar::RequestRepaint() { update(); }

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
    RequestRepaint();
}

void TFlatProgressBar::ParentColorChanged()
{
    TControl::ParentColorChanged();
    if (useAdvColors_) {
        SetParentColor(true);
        ApplyAdvColors();
    }
    RequestRepaint();
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

void TFlatProgressBar::SnapSizeToBlocks()
{
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

QRect TFlatProgressBar::PaintElements(TCanvas &canvas, qint64 fromPosition)
{
    const int w = canvas.Width(), h = canvas.Height();
    const bool horizontal = orientation_ == pbHorizontal;
    canvas.Brush = {colorElement_, bsSolid};

    if (smooth_) {
        const int inner = horizontal ? w - 4 : h - 4;
        const int len = SmoothLength(inner, min_, max_, position_);
        const int had = SmoothLength(inner, min_, max_, fromPosition);
        if (len <= 0 || len <= had)
            return {};
        const TRect r = horizontal ? Rect(2 + had, 2, 2 + len, h - 2)
                                   : Rect(2, h - 2 - len, w - 2, h - 2 - had);
        canvas.FillRect(r);
        return r.ToQRect();
    }

    const int total = ((horizontal ? w : h) - 3) / BlockPitch;
    const int count = BlockCount(total, min_, max_, position_);
    const int had = BlockCount(total, min_, max_, fromPosition);
    if (count <= 0 || count <= had)
        return {};
    QRect drawn;
    for (int i = had; i < count; ++i) {
        const TRect r = horizontal ? Rect(2 + i * BlockPitch, 2, 2 + i * BlockPitch + ElementSize, h - 2)
                                   : Rect(2, h - 10 - i * BlockPitch, w - 2, h - 2 - i * BlockPitch);
        canvas.FillRect(r);
        drawn |= r.ToQRect();
    }
    return drawn;
}

void TFlatProgressBar::Compose()
{
    if (!smooth_)
        SnapSizeToBlocks();
    const int w = width(), h = height();
    if (picture_.Width() != w || picture_.Height() != h)
        picture_.Resize(w, h);
    picture_.ResetClip();
    if (transparent_) {
        PaintParentBackground(this, picture_);
    } else {
        picture_.Brush = {Color(), bsSolid};
        picture_.FillRect(Rect(0, 0, w, h));
    }
    picture_.Brush = {colorBorder_, bsSolid};
    picture_.FrameRect(Rect(0, 0, w, h));
    PaintElements(picture_, min_);
    composed_ = true;
}

void TFlatProgressBar::paintEvent(QPaintEvent *event)
{
    // Only what was drawn onto the picture since it was last shown asks for
    // this paint: show it as it is. Anything else composes it anew.
    const bool onlyDrawn = composed_ && picture_.Width() == width() &&
                           picture_.Height() == height() &&
                           (event->region() - drawnSinceCompose_).isEmpty();
    if (!onlyDrawn)
        Compose();
    drawnSinceCompose_ = QRegion();
    QPainter p(this);
    for (const QRect &r : event->region())
        p.drawImage(r.topLeft(), picture_.Image(), r);
}

void TFlatProgressBar::resizeEvent(QResizeEvent *event)
{
    TControl::resizeEvent(event);
    update();
}

} // namespace flat
