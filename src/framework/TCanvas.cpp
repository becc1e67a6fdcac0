// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/TCanvas.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace framework {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu, kBlack = 0xFF000000u;

QRect spanRect(TDeviceSpan x, TDeviceSpan y)
{
    if (x.Size() <= 0 || y.Size() <= 0)
        return {};
    return QRect(x.First, y.First, x.Size(), y.Size());
}

TDeviceSpan unite(TDeviceSpan a, TDeviceSpan b) { return {std::min(a.First, b.First), std::max(a.Last, b.Last)}; }

// The boolean function of a raster operation applied bit by bit: bit k of
// the index is the result for pattern bit (k & 4), source bit (k & 2) and
// destination bit (k & 1).
std::uint32_t applyRop3(unsigned index, std::uint32_t p, std::uint32_t s, std::uint32_t d)
{
    std::uint32_t r = 0;
    for (unsigned k = 0; k < 8; ++k) {
        if ((index >> k) & 1u)
            r |= ((k & 4) ? p : ~p) & ((k & 2) ? s : ~s) & ((k & 1) ? d : ~d);
    }
    return r;
}

bool ropUsesSource(unsigned index) { return ((index & 0xCCu) >> 2) != (index & 0x33u); }

} // namespace

int DeviceEdge(int x, qreal ratio)
{
    if (ratio == 1)
        return x;
    return static_cast<int>(std::floor(x * ratio + 0.5));
}

TDeviceSpan DeviceStroke(int p, int n, qreal ratio)
{
    if (ratio == 1)
        return {p, p + n};
    const int width = std::max(1, static_cast<int>(std::floor(n * ratio + 0.5)));
    const int first = static_cast<int>(std::floor((p + n / 2.0) * ratio - width / 2.0 + 0.5));
    return {first, first + width};
}

TCanvas::TCanvas(int width, int height, qreal devicePixelRatio) : dpr_(devicePixelRatio > 0 ? devicePixelRatio : 1)
{
    Resize(width, height);
}

void TCanvas::Resize(int width, int height)
{
    if (width == Width() && height == Height())
        return;
    allocate(width, height, true);
}

void TCanvas::SetDevicePixelRatio(qreal ratio)
{
    if (ratio <= 0 || ratio == dpr_)
        return;
    dpr_ = ratio;
    fontCached_ = false;
    allocate(width_, height_, false);
}

void TCanvas::allocate(int width, int height, bool keep)
{
    if (width <= 0 || height <= 0) {
        image_ = QImage();
        width_ = height_ = 0;
        return;
    }
    QImage next(DeviceEdge(width, dpr_), DeviceEdge(height, dpr_), QImage::Format_RGB32);
    next.fill(kWhite);
    if (keep && !image_.isNull()) {
        const int w = std::min(next.width(), image_.width()), h = std::min(next.height(), image_.height());
        for (int y = 0; y < h; ++y)
            std::copy_n(reinterpret_cast<const QRgb *>(image_.constScanLine(y)), w,
                        reinterpret_cast<QRgb *>(next.scanLine(y)));
    }
    next.setDevicePixelRatio(dpr_);
    image_ = std::move(next);
    width_ = width;
    height_ = height;
}

QRect TCanvas::areaRect(int left, int top, int right, int bottom) const
{
    if (right <= left || bottom <= top)
        return {};
    const int ox = origin_.X, oy = origin_.Y;
    return spanRect({DeviceEdge(left + ox, dpr_), DeviceEdge(right + ox, dpr_)},
                    {DeviceEdge(top + oy, dpr_), DeviceEdge(bottom + oy, dpr_)});
}

QRect TCanvas::fillRect(int left, int top, int right, int bottom) const
{
    QRect r = areaRect(left, top, right, bottom);
    if (dpr_ == 1 || r.isEmpty())
        return r;
    // A fill one pixel thin is a line (a separator, one side of a frame).
    if (right - left == 1) {
        const TDeviceSpan x = DeviceStroke(left + origin_.X, 1, dpr_);
        r.setLeft(x.First);
        r.setRight(x.Last - 1);
    }
    if (bottom - top == 1) {
        const TDeviceSpan y = DeviceStroke(top + origin_.Y, 1, dpr_);
        r.setTop(y.First);
        r.setBottom(y.Last - 1);
    }
    return r;
}

QRgb TCanvas::deviceColor(TColor c) const
{
    const TColor rgb = ColorToRGB(c);
    const int r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
    if (monochrome_)
        return 2 * (r + g + b) > 3 * 255 ? kWhite : kBlack;
    return qRgb(r, g, b);
}

bool TCanvas::canPaint(int dx, int dy) const
{
    // Device pixels.
    if (dx < 0 || dy < 0 || dx >= image_.width() || dy >= image_.height())
        return false;
    return !clip_ || clip_->contains(QPoint(dx, dy));
}

void TCanvas::plot(int dx, int dy, QRgb c)
{
    if (canPaint(dx, dy))
        reinterpret_cast<QRgb *>(image_.scanLine(dy))[dx] = c;
}

QRect TCanvas::dotRect(int x, int y, int n) const
{
    // Along a line the dots join up (the logical pixel's whole area), across
    // it they are a stroke; both at once keeps every dot the same size.
    const auto axis = [&](int p) {
        return unite({DeviceEdge(p, dpr_), DeviceEdge(p + n, dpr_)}, DeviceStroke(p, n, dpr_));
    };
    return spanRect(axis(x), axis(y));
}

void TCanvas::plotPen(int x, int y, QRgb c, bool xMajor)
{
    const int w = std::max(1, Pen.Width);
    const int x0 = x + origin_.X - (w - 1) / 2, y0 = y + origin_.Y - (w - 1) / 2;
    if (dpr_ == 1) {
        for (int j = 0; j < w; ++j)
            for (int i = 0; i < w; ++i)
                plot(x0 + i, y0 + j, c);
        return;
    }
    QRect dot = dotRect(x0, y0, w);
    // Across the line exactly the stroke's width, along it every device pixel.
    if (xMajor) {
        const TDeviceSpan across = DeviceStroke(y0, w, dpr_);
        dot.setTop(across.First);
        dot.setBottom(across.Last - 1);
    } else {
        const TDeviceSpan across = DeviceStroke(x0, w, dpr_);
        dot.setLeft(across.First);
        dot.setRight(across.Last - 1);
    }
    fillDevice(dot, c);
}

// Bresenham from a up to, not including, b.
void TCanvas::line(TPoint a, TPoint b)
{
    const QRgb c = deviceColor(Pen.Color);
    const int dx = std::abs(b.X - a.X), dy = -std::abs(b.Y - a.Y);
    const int sx = a.X < b.X ? 1 : -1, sy = a.Y < b.Y ? 1 : -1;
    int err = dx + dy;
    int x = a.X, y = a.Y;
    const bool xMajor = dx >= -dy;
    while (x != b.X || y != b.Y) {
        plotPen(x, y, c, xMajor);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void TCanvas::fillDevice(const QRect &r, QRgb c)
{
    const QRegion area = QRegion(r) & paintableRegion();
    for (const QRect &part : area) {
        for (int y = part.top(); y <= part.bottom(); ++y) {
            QRgb *row = reinterpret_cast<QRgb *>(image_.scanLine(y));
            std::fill(row + part.left(), row + part.left() + part.width(), c);
        }
    }
}

QRegion TCanvas::paintableRegion() const
{
    const QRegion all(image_.rect());
    return clip_ ? (*clip_ & all) : all;
}

void TCanvas::FillRect(const TRect &r)
{
    if (Brush.Style == bsClear)
        return;
    fillDevice(fillRect(r.Left, r.Top, r.Right, r.Bottom), deviceColor(Brush.Color));
}

void TCanvas::FrameRect(const TRect &r)
{
    if (Brush.Style == bsClear || r.IsEmpty())
        return;
    const QRgb c = deviceColor(Brush.Color);
    // A side centred on its logical pixel can stop a device pixel short of
    // the rectangle's edge (a height of 22 at 125 % ends at 27.5): moved
    // out to the edge, it leaves no seam between the frame and what lies
    // beyond.
    const QRect area = areaRect(r.Left, r.Top, r.Right, r.Bottom);
    QRect top = fillRect(r.Left, r.Top, r.Right, r.Top + 1);
    QRect bottom = fillRect(r.Left, r.Bottom - 1, r.Right, r.Bottom);
    QRect left = fillRect(r.Left, r.Top, r.Left + 1, r.Bottom);
    QRect right = fillRect(r.Right - 1, r.Top, r.Right, r.Bottom);
    top.translate(0, std::min(0, area.top() - top.top()));
    bottom.translate(0, std::max(0, area.bottom() - bottom.bottom()));
    left.translate(std::min(0, area.left() - left.left()), 0);
    right.translate(std::max(0, area.right() - right.right()), 0);
    for (const QRect &side : {top, bottom, left, right})
        fillDevice(side, c);
}

void TCanvas::Rectangle(int left, int top, int right, int bottom)
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    if (Pen.Style == psClear) {
        // Without an outline the fill stops one pixel short, as the outline
        // would have covered the last row and column.
        if (Brush.Style == bsSolid)
            fillDevice(areaRect(left, top, right - 1, bottom - 1), deviceColor(Brush.Color));
        return;
    }
    // A wide pen stays inside the rectangle.
    const int w = std::max(1, Pen.Width);
    if (Brush.Style == bsSolid)
        fillDevice(areaRect(left + w, top + w, right - w, bottom - w), deviceColor(Brush.Color));
    const QRgb pen = deviceColor(Pen.Color);
    for (int i = 0; i < w; ++i) {
        const int l = left + i, t = top + i, r = right - i, b = bottom - i;
        if (r <= l || b <= t)
            break;
        fillDevice(fillRect(l, t, r, t + 1), pen);
        fillDevice(fillRect(l, b - 1, r, b), pen);
        fillDevice(fillRect(l, t, l + 1, b), pen);
        fillDevice(fillRect(r - 1, t, r, b), pen);
    }
}

void TCanvas::Ellipse(int left, int top, int right, int bottom)
{
    PaintShape(
        left, top, right, bottom, [](QPainter &p, const QRect &r) { p.drawEllipse(r); },
        [](QPainter &p, const QRectF &r) { p.drawEllipse(r); });
}

void TCanvas::RoundRect(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight)
{
    PaintShape(
        left, top, right, bottom,
        [&](QPainter &p, const QRect &r) {
            p.drawRoundedRect(r, ellipseWidth / 2.0, ellipseHeight / 2.0, Qt::AbsoluteSize);
        },
        [&](QPainter &p, const QRectF &r) {
            p.drawRoundedRect(r, ellipseWidth / 2.0, ellipseHeight / 2.0, Qt::AbsoluteSize);
        });
}

void TCanvas::PaintShape(int left, int top, int right, int bottom,
                         const std::function<void(QPainter &, const QRect &)> &draw,
                         const std::function<void(QPainter &, const QRectF &)> &drawF)
{
    if (right - left < 1 || bottom - top < 1)
        return;
    const QColor pen = QColor::fromRgb(deviceColor(Pen.Color));
    const QColor brush = QColor::fromRgb(deviceColor(Brush.Color));
    PaintWith([&](QPainter &p) {
        p.setPen(Pen.Style == psClear ? QPen(Qt::NoPen) : QPen(pen, std::max(1, Pen.Width)));
        p.setBrush(Brush.Style == bsClear ? QBrush(Qt::NoBrush) : QBrush(brush));
        // An aliased outline covers one pixel more than the rectangle's size.
        if (dpr_ == 1)
            draw(p, QRect(left, top, right - left - 1, bottom - top - 1));
        else // a scaled outline lies centred on its path: move it inside
            drawF(p, QRectF(left + 0.5, top + 0.5, right - left - 1, bottom - top - 1));
    });
}

void TCanvas::Polygon(std::span<const TPoint> points)
{
    if (points.size() < 2)
        return;
    if (Brush.Style == bsSolid && points.size() >= 3) {
        // Even-odd fill; a vertex names a pixel, so rows and columns are
        // sampled at whole coordinates and the right and bottom edges stay out.
        // Above 100 % each logical pixel covers its device pixels, so that the
        // fill meets its outline as it does at 100 %.
        const QRgb c = deviceColor(Brush.Color);
        int minY = points[0].Y, maxY = points[0].Y;
        for (const TPoint &p : points) {
            minY = std::min(minY, p.Y);
            maxY = std::max(maxY, p.Y);
        }
        std::vector<double> xs;
        for (int y = minY; y < maxY; ++y) {
            const double yc = y;
            xs.clear();
            for (std::size_t i = 0; i < points.size(); ++i) {
                const TPoint a = points[i], b = points[(i + 1) % points.size()];
                if ((a.Y <= yc && yc < b.Y) || (b.Y <= yc && yc < a.Y))
                    xs.push_back(a.X + (yc - a.Y) * (b.X - a.X) / double(b.Y - a.Y));
            }
            std::sort(xs.begin(), xs.end());
            for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
                const int x0 = static_cast<int>(std::ceil(xs[i]));
                const int x1 = static_cast<int>(std::ceil(xs[i + 1]));
                if (dpr_ == 1) {
                    for (int x = x0; x < x1; ++x)
                        plot(x + origin_.X, y + origin_.Y, c);
                } else {
                    fillDevice(areaRect(x0, y, x1, y + 1), c);
                }
            }
        }
    }
    if (Pen.Style == psSolid) {
        for (std::size_t i = 0; i < points.size(); ++i)
            line(points[i], points[(i + 1) % points.size()]);
    }
}

void TCanvas::LineTo(int x, int y)
{
    if (Pen.Style == psSolid)
        line(penPos_, {x, y});
    penPos_ = {x, y};
}

void TCanvas::Polyline(std::span<const TPoint> points)
{
    if (Pen.Style != psSolid)
        return;
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        line(points[i], points[i + 1]);
}

TColor TCanvas::Pixels(int x, int y) const
{
    const int dx = DeviceEdge(x + origin_.X, dpr_), dy = DeviceEdge(y + origin_.Y, dpr_);
    if (dx < 0 || dy < 0 || dx >= image_.width() || dy >= image_.height())
        return CLR_INVALID;
    return FromQRgb(image_.pixel(dx, dy));
}

void TCanvas::SetPixels(int x, int y, TColor color)
{
    if (dpr_ == 1)
        plot(x + origin_.X, y + origin_.Y, deviceColor(color));
    else
        fillDevice(dotRect(x + origin_.X, y + origin_.Y, 1), deviceColor(color));
}

void TCanvas::clipTo(const QRegion &deviceRegion) { clip_ = deviceRegion; }

void TCanvas::IntersectClipRect(int left, int top, int right, int bottom)
{
    const QRegion r(areaRect(left, top, right, bottom));
    clipTo(clip_ ? (*clip_ & r) : r);
}

void TCanvas::ExcludeClipRect(int left, int top, int right, int bottom)
{
    const QRegion r(areaRect(left, top, right, bottom));
    clipTo((clip_ ? *clip_ : QRegion(image_.rect())) - r);
}

void TCanvas::SelectClipRect(const TRect &r) { clipTo(QRegion(areaRect(r.Left, r.Top, r.Right, r.Bottom))); }

void TCanvas::ResetClip() { clip_.reset(); }

TRect TCanvas::ClipRect() const
{
    const QRect box = paintableRegion().boundingRect();
    if (box.isEmpty())
        return {};
    // Device edges back to logical ones: each lies within half a logical
    // pixel of its logical edge.
    const auto logical = [this](int device) { return static_cast<int>(std::lround(device / dpr_)); };
    TRect r = Rect(logical(box.left()), logical(box.top()), logical(box.left() + box.width()),
                   logical(box.top() + box.height()));
    OffsetRect(r, -origin_.X, -origin_.Y);
    return r;
}

TPoint TCanvas::SetViewportOrg(int x, int y)
{
    const TPoint old = origin_;
    origin_ = {x, y};
    return old;
}

int TCanvas::SaveDC()
{
    saved_.push_back({Pen, Brush, Font, bkMode_, bkColor_, clip_, origin_});
    return static_cast<int>(saved_.size());
}

bool TCanvas::RestoreDC(int id)
{
    const int depth = static_cast<int>(saved_.size());
    const int target = id < 0 ? depth + id + 1 : id;
    if (id == 0 || target < 1 || target > depth)
        return false;
    State s = std::move(saved_[static_cast<std::size_t>(target - 1)]);
    saved_.resize(static_cast<std::size_t>(target - 1));
    Pen = s.pen;
    Brush = s.brush;
    Font = s.font;
    bkMode_ = s.bkMode;
    bkColor_ = s.bkColor;
    clip_ = std::move(s.clip);
    origin_ = s.origin;
    return true;
}

bool StretchBlt(TCanvas &dest, int x, int y, int w, int h, const TCanvas *src, int sx, int sy, int sw, int sh,
                std::uint32_t rop)
{
    if (w <= 0 || h <= 0)
        return false;
    const unsigned index = (rop >> 16) & 0xFFu;
    const bool usesSource = ropUsesSource(index);
    if (usesSource && (!src || sw <= 0 || sh <= 0 || src->image_.isNull()))
        return false;
    // Read the source before writing, so a copy within one picture is sound.
    const QImage source = usesSource ? src->image_.copy() : QImage();
    const QRgb pattern = dest.deviceColor(dest.Brush.Color);
    const QRgb monoWhite = dest.deviceColor(dest.bkColor_);
    const QRgb monoBlack = dest.deviceColor(dest.Font.Color);
    const QRgb srcBack = usesSource ? src->deviceColor(src->bkColor_) : 0;

    // Both rectangles in device pixels, each at its own canvas's ratio.
    const QRect to = dest.areaRect(x, y, x + w, y + h);
    if (to.isEmpty())
        return false;
    QRect from;
    if (usesSource) {
        from = src->areaRect(sx, sy, sx + sw, sy + sh);
        if (from.isEmpty())
            return false;
    }
    const int dw = to.width(), dh = to.height();
    for (int j = 0; j < dh; ++j) {
        const int dy = to.top() + j;
        const int syd = usesSource ? from.top() + (j * from.height()) / dh : 0;
        if (usesSource && (syd < 0 || syd >= source.height()))
            continue;
        for (int i = 0; i < dw; ++i) {
            const int dx = to.left() + i;
            if (!dest.canPaint(dx, dy))
                continue;
            QRgb s = 0;
            if (usesSource) {
                const int sxd = from.left() + (i * from.width()) / dw;
                if (sxd < 0 || sxd >= source.width())
                    continue;
                s = reinterpret_cast<const QRgb *>(source.constScanLine(syd))[sxd];
                if (src->monochrome_ && !dest.monochrome_)
                    s = (s & 0xFFFFFFu) ? monoWhite : monoBlack;
                else if (!src->monochrome_ && dest.monochrome_)
                    s = ((s ^ srcBack) & 0xFFFFFFu) == 0 ? kWhite : kBlack;
            }
            QRgb &d = reinterpret_cast<QRgb *>(dest.image_.scanLine(dy))[dx];
            d = 0xFF000000u | (applyRop3(index, pattern, s, d) & 0xFFFFFFu);
        }
    }
    return true;
}

bool BitBlt(TCanvas &dest, int x, int y, int w, int h, const TCanvas *src, int sx, int sy, std::uint32_t rop)
{
    return StretchBlt(dest, x, y, w, h, src, sx, sy, w, h, rop);
}

void TCanvas::CopyRect(const TRect &dest, const TCanvas &src, const TRect &source)
{
    StretchBlt(*this, dest.Left, dest.Top, dest.Width(), dest.Height(), &src, source.Left, source.Top, source.Width(),
               source.Height(), SRCCOPY);
}

void TCanvas::StretchDraw(const TRect &dest, const TCanvas &source, TColor transparentColor)
{
    if (source.image_.isNull() || dest.IsEmpty())
        return;
    if (transparentColor == clNone) {
        StretchBlt(*this, dest.Left, dest.Top, dest.Width(), dest.Height(), &source, 0, 0, source.Width(),
                   source.Height(), SRCCOPY);
        return;
    }
    const QImage &picture = source.image_;
    const QRgb key = 0xFF000000u | (source.deviceColor(transparentColor) & 0xFFFFFFu);
    const QRect to = areaRect(dest.Left, dest.Top, dest.Right, dest.Bottom);
    const int w = to.width(), h = to.height();
    for (int j = 0; j < h; ++j) {
        const int sy = (j * picture.height()) / h;
        for (int i = 0; i < w; ++i) {
            const QRgb s = picture.pixel((i * picture.width()) / w, sy) | 0xFF000000u;
            if (s == key)
                continue;
            QRgb c = s;
            if (source.monochrome_ && !monochrome_)
                c = (s & 0xFFFFFFu) ? deviceColor(bkColor_) : deviceColor(Font.Color);
            plot(to.left() + i, to.top() + j, c);
        }
    }
}

void TCanvas::PaintWith(const std::function<void(QPainter &)> &paint)
{
    if (image_.isNull())
        return;
    if (dpr_ == 1) {
        QPainter p(&image_);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.translate(origin_.X, origin_.Y);
        if (clip_)
            p.setClipRegion(clip_->translated(-origin_.X, -origin_.Y));
        paint(p);
        return;
    }
    // The same pixels seen at a ratio of 1: the clip is set in device pixels
    // as it stands, then the painter scales logical coordinates.
    QImage device(image_.bits(), image_.width(), image_.height(), image_.bytesPerLine(), image_.format());
    QPainter p(&device);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    if (clip_)
        p.setClipRegion(*clip_);
    p.scale(dpr_, dpr_);
    p.translate(origin_.X, origin_.Y);
    paint(p);
}

} // namespace framework
