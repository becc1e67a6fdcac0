// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/TCanvas.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace framework {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu, kBlack = 0xFF000000u;

QRect deviceRect(int left, int top, int right, int bottom, TPoint origin)
{
    if (right <= left || bottom <= top)
        return {};
    return QRect(left + origin.X, top + origin.Y, right - left, bottom - top);
}

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

// A paragraph with its mnemonic marks taken out.
struct PrefixedText {
    QString shown;
    int underline = -1; // index into shown of the underlined character
};

PrefixedText stripPrefix(const QString &text)
{
    PrefixedText out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) {
            out.shown += text[i];
            continue;
        }
        if (i + 1 >= text.size())
            break; // a lone "&" at the end marks nothing
        ++i;
        if (text[i] != QLatin1Char('&'))
            out.underline = static_cast<int>(out.shown.size());
        out.shown += text[i];
    }
    return out;
}

struct TextLine {
    QString text;
    int underline = -1;
};

QStringList paragraphsOf(const QString &text, bool singleLine)
{
    if (singleLine)
        return {text};
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t.split(QLatin1Char('\n'));
}

// Greedy breaking at blanks; a word wider than the room stands on its own line.
std::vector<TextLine> wrap(const PrefixedText &para, int room, const QFontMetrics &fm)
{
    std::vector<TextLine> lines;
    QString rest = para.shown;
    int offset = 0; // index of rest[0] in para.shown
    auto push = [&](int length) {
        const int u = para.underline - offset;
        lines.push_back({rest.left(length), (u >= 0 && u < length) ? u : -1});
    };
    for (;;) {
        if (fm.horizontalAdvance(rest) <= room) {
            push(static_cast<int>(rest.size()));
            return lines;
        }
        int breakAt = -1;
        for (int i = 1; i < rest.size(); ++i) {
            if (rest[i] != QLatin1Char(' '))
                continue;
            if (fm.horizontalAdvance(rest.left(i)) > room)
                break;
            breakAt = i;
        }
        if (breakAt < 0) {
            breakAt = static_cast<int>(rest.indexOf(QLatin1Char(' '), 1));
            if (breakAt < 0) {
                push(static_cast<int>(rest.size()));
                return lines;
            }
        }
        push(breakAt);
        int next = breakAt;
        while (next < rest.size() && rest[next] == QLatin1Char(' '))
            ++next;
        rest = rest.mid(next);
        offset += next;
        if (rest.isEmpty())
            return lines;
    }
}

} // namespace

TTextMetric GetTextMetrics(const TFont &font)
{
    const QFont f = font.ToQFont();
    const QFontMetrics fm(f);
    TTextMetric tm;
    tm.tmAscent = fm.ascent();
    tm.tmDescent = fm.descent();
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max(0, tm.tmHeight - QFontInfo(f).pixelSize());
    tm.tmExternalLeading = std::max(0, fm.leading());
    tm.tmAveCharWidth = fm.averageCharWidth();
    tm.tmMaxCharWidth = fm.maxWidth();
    return tm;
}

TCanvas::TCanvas(int width, int height) { Resize(width, height); }

void TCanvas::Resize(int width, int height)
{
    if (width == Width() && height == Height())
        return;
    if (width <= 0 || height <= 0) {
        image_ = QImage();
        return;
    }
    QImage next(width, height, QImage::Format_RGB32);
    next.fill(kWhite);
    if (!image_.isNull()) {
        const int w = std::min(width, image_.width()), h = std::min(height, image_.height());
        for (int y = 0; y < h; ++y)
            std::copy_n(reinterpret_cast<const QRgb *>(image_.constScanLine(y)), w,
                        reinterpret_cast<QRgb *>(next.scanLine(y)));
    }
    image_ = std::move(next);
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
    if (dx < 0 || dy < 0 || dx >= image_.width() || dy >= image_.height())
        return false;
    return !clip_ || clip_->contains(QPoint(dx, dy));
}

void TCanvas::plot(int dx, int dy, QRgb c)
{
    if (canPaint(dx, dy))
        reinterpret_cast<QRgb *>(image_.scanLine(dy))[dx] = c;
}

void TCanvas::plotPen(int x, int y, QRgb c)
{
    const int w = std::max(1, Pen.Width);
    const int x0 = x + origin_.X - (w - 1) / 2, y0 = y + origin_.Y - (w - 1) / 2;
    for (int j = 0; j < w; ++j)
        for (int i = 0; i < w; ++i)
            plot(x0 + i, y0 + j, c);
}

// Bresenham from a up to, not including, b.
void TCanvas::line(TPoint a, TPoint b)
{
    const QRgb c = deviceColor(Pen.Color);
    const int dx = std::abs(b.X - a.X), dy = -std::abs(b.Y - a.Y);
    const int sx = a.X < b.X ? 1 : -1, sy = a.Y < b.Y ? 1 : -1;
    int err = dx + dy;
    int x = a.X, y = a.Y;
    while (x != b.X || y != b.Y) {
        plotPen(x, y, c);
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
    fillDevice(deviceRect(r.Left, r.Top, r.Right, r.Bottom, origin_), deviceColor(Brush.Color));
}

void TCanvas::FrameRect(const TRect &r)
{
    if (Brush.Style == bsClear || r.IsEmpty())
        return;
    const QRgb c = deviceColor(Brush.Color);
    fillDevice(deviceRect(r.Left, r.Top, r.Right, r.Top + 1, origin_), c);
    fillDevice(deviceRect(r.Left, r.Bottom - 1, r.Right, r.Bottom, origin_), c);
    fillDevice(deviceRect(r.Left, r.Top, r.Left + 1, r.Bottom, origin_), c);
    fillDevice(deviceRect(r.Right - 1, r.Top, r.Right, r.Bottom, origin_), c);
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
            fillDevice(deviceRect(left, top, right - 1, bottom - 1, origin_), deviceColor(Brush.Color));
        return;
    }
    // A wide pen stays inside the rectangle.
    const int w = std::max(1, Pen.Width);
    if (Brush.Style == bsSolid)
        fillDevice(deviceRect(left + w, top + w, right - w, bottom - w, origin_), deviceColor(Brush.Color));
    const QRgb pen = deviceColor(Pen.Color);
    for (int i = 0; i < w; ++i) {
        const int l = left + i, t = top + i, r = right - i, b = bottom - i;
        if (r <= l || b <= t)
            break;
        fillDevice(deviceRect(l, t, r, t + 1, origin_), pen);
        fillDevice(deviceRect(l, b - 1, r, b, origin_), pen);
        fillDevice(deviceRect(l, t, l + 1, b, origin_), pen);
        fillDevice(deviceRect(r - 1, t, r, b, origin_), pen);
    }
}

void TCanvas::Ellipse(int left, int top, int right, int bottom)
{
    PaintShape(left, top, right, bottom, [](QPainter &p, const QRect &r) { p.drawEllipse(r); });
}

void TCanvas::RoundRect(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight)
{
    PaintShape(left, top, right, bottom, [&](QPainter &p, const QRect &r) {
        p.drawRoundedRect(r, ellipseWidth / 2.0, ellipseHeight / 2.0, Qt::AbsoluteSize);
    });
}

void TCanvas::PaintShape(int left, int top, int right, int bottom,
                         const std::function<void(QPainter &, const QRect &)> &draw)
{
    if (right - left < 1 || bottom - top < 1)
        return;
    const QColor pen = QColor::fromRgb(deviceColor(Pen.Color));
    const QColor brush = QColor::fromRgb(deviceColor(Brush.Color));
    PaintWith([&](QPainter &p) {
        p.setPen(Pen.Style == psClear ? QPen(Qt::NoPen) : QPen(pen, std::max(1, Pen.Width)));
        p.setBrush(Brush.Style == bsClear ? QBrush(Qt::NoBrush) : QBrush(brush));
        // An aliased outline covers one pixel more than the rectangle's size.
        draw(p, QRect(left, top, right - left - 1, bottom - top - 1));
    });
}

void TCanvas::Polygon(std::span<const TPoint> points)
{
    if (points.size() < 2)
        return;
    if (Brush.Style == bsSolid && points.size() >= 3) {
        // Even-odd fill; a vertex names a pixel, so rows and columns are
        // sampled at whole coordinates and the right and bottom edges stay out.
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
                for (int x = x0; x < x1; ++x)
                    plot(x + origin_.X, y + origin_.Y, c);
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
    const int dx = x + origin_.X, dy = y + origin_.Y;
    if (dx < 0 || dy < 0 || dx >= image_.width() || dy >= image_.height())
        return CLR_INVALID;
    return FromQRgb(image_.pixel(dx, dy));
}

void TCanvas::SetPixels(int x, int y, TColor color) { plot(x + origin_.X, y + origin_.Y, deviceColor(color)); }

const QFont &TCanvas::qfont() const
{
    if (!fontCached_ || !(cachedFont_ == Font)) {
        cachedFont_ = Font;
        cachedQFont_ = Font.ToQFont();
        fontCached_ = true;
    }
    return cachedQFont_;
}

int TCanvas::TextWidth(const QString &text) const { return QFontMetrics(qfont()).horizontalAdvance(text); }

int TCanvas::TextHeight(const QString &) const { return QFontMetrics(qfont()).height(); }

TSize TCanvas::TextExtent(const QString &text) const { return {TextWidth(text), TextHeight(text)}; }

void TCanvas::TextOut(int x, int y, const QString &text)
{
    const QFontMetrics fm(qfont());
    const int w = fm.horizontalAdvance(text);
    const QColor ink = QColor::fromRgb(deviceColor(Font.Color));
    const QColor back = QColor::fromRgb(deviceColor(bkColor_));
    PaintWith([&](QPainter &p) {
        if (bkMode_ == OPAQUE)
            p.fillRect(QRect(x, y, w, fm.height()), back);
        p.setFont(qfont());
        p.setPen(ink);
        p.drawText(QPoint(x, y + fm.ascent()), text);
    });
    penPos_ = {x + w, y};
}

int TCanvas::DrawText(const QString &text, TRect &r, unsigned format)
{
    const QFontMetrics fm(qfont());
    const bool single = format & DT_SINGLELINE;
    std::vector<TextLine> lines;
    for (const QString &para : paragraphsOf(text, single)) {
        const PrefixedText shown = (format & DT_NOPREFIX) ? PrefixedText{para, -1} : stripPrefix(para);
        if ((format & DT_WORDBREAK) && !single) {
            for (TextLine &l : wrap(shown, r.Width(), fm))
                lines.push_back(std::move(l));
        } else {
            lines.push_back({shown.shown, shown.underline});
        }
    }
    if (text.isEmpty())
        lines.clear();

    const int lineHeight = fm.height();
    const int height = static_cast<int>(lines.size()) * lineHeight;
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const TextLine &l : lines)
            widest = std::max(widest, fm.horizontalAdvance(l.text));
        r.Right = r.Left + widest;
        r.Bottom = r.Top + height;
        return height;
    }

    int y = r.Top;
    if (single && (format & DT_VCENTER))
        y = r.Top + (r.Height() - lineHeight) / 2;
    else if (single && (format & DT_BOTTOM))
        y = r.Bottom - lineHeight;

    const QColor ink = QColor::fromRgb(deviceColor(Font.Color));
    const QColor back = QColor::fromRgb(deviceColor(bkColor_));
    PaintWith([&](QPainter &p) {
        if (!(format & DT_NOCLIP))
            p.setClipRect(r.ToQRect(), Qt::IntersectClip);
        p.setFont(qfont());
        p.setPen(ink);
        p.setLayoutDirection((format & DT_RTLREADING) ? Qt::RightToLeft : Qt::LeftToRight);
        for (const TextLine &l : lines) {
            const int w = fm.horizontalAdvance(l.text);
            int x = r.Left;
            if (format & DT_CENTER)
                x = r.Left + (r.Width() - w) / 2;
            else if (format & DT_RIGHT)
                x = r.Right - w;
            if (bkMode_ == OPAQUE)
                p.fillRect(QRect(x, y, w, lineHeight), back);
            p.drawText(QPoint(x, y + fm.ascent()), l.text);
            if (l.underline >= 0) {
                const int ux = x + fm.horizontalAdvance(l.text.left(l.underline));
                const int uw = fm.horizontalAdvance(l.text.mid(l.underline, 1));
                const int uy = y + fm.ascent() + std::max(1, fm.underlinePos());
                p.fillRect(QRect(ux, uy, uw, std::max(1, static_cast<int>(fm.lineWidth()))), ink);
            }
            y += lineHeight;
        }
    });
    return height;
}

void TCanvas::clipTo(const QRegion &deviceRegion) { clip_ = deviceRegion; }

void TCanvas::IntersectClipRect(int left, int top, int right, int bottom)
{
    const QRegion r(deviceRect(left, top, right, bottom, origin_));
    clipTo(clip_ ? (*clip_ & r) : r);
}

void TCanvas::ExcludeClipRect(int left, int top, int right, int bottom)
{
    const QRegion r(deviceRect(left, top, right, bottom, origin_));
    clipTo((clip_ ? *clip_ : QRegion(image_.rect())) - r);
}

void TCanvas::SelectClipRect(const TRect &r) { clipTo(QRegion(deviceRect(r.Left, r.Top, r.Right, r.Bottom, origin_))); }

void TCanvas::ResetClip() { clip_.reset(); }

TRect TCanvas::ClipRect() const
{
    const QRect box = paintableRegion().boundingRect();
    if (box.isEmpty())
        return {};
    TRect r = TRect::FromQRect(box);
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

    for (int j = 0; j < h; ++j) {
        const int dy = y + j + dest.origin_.Y;
        const int syd = usesSource ? sy + (j * sh) / h + src->origin_.Y : 0;
        if (usesSource && (syd < 0 || syd >= source.height()))
            continue;
        for (int i = 0; i < w; ++i) {
            const int dx = x + i + dest.origin_.X;
            if (!dest.canPaint(dx, dy))
                continue;
            QRgb s = 0;
            if (usesSource) {
                const int sxd = sx + (i * sw) / w + src->origin_.X;
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
    const int w = dest.Width(), h = dest.Height();
    for (int j = 0; j < h; ++j) {
        const int sy = (j * picture.height()) / h;
        for (int i = 0; i < w; ++i) {
            const QRgb s = picture.pixel((i * picture.width()) / w, sy) | 0xFF000000u;
            if (s == key)
                continue;
            QRgb c = s;
            if (source.monochrome_ && !monochrome_)
                c = (s & 0xFFFFFFu) ? deviceColor(bkColor_) : deviceColor(Font.Color);
            plot(dest.Left + i + origin_.X, dest.Top + j + origin_.Y, c);
        }
    }
}

void TCanvas::PaintWith(const std::function<void(QPainter &)> &paint)
{
    if (image_.isNull())
        return;
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.translate(origin_.X, origin_.Y);
    if (clip_)
        p.setClipRegion(clip_->translated(-origin_.X, -origin_.Y));
    paint(p);
}

} // namespace framework
