// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rectangles with Right and Bottom exclusive, as the drawing code expects.
#include <QPoint>
#include <QRect>
#include <algorithm>

namespace framework {

struct TPoint {
    int X = 0, Y = 0;
    friend bool operator==(const TPoint &, const TPoint &) = default;
};

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    QRect ToQRect() const { return QRect(Left, Top, Width(), Height()); }
    static TRect FromQRect(const QRect &r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
    friend bool operator==(const TRect &, const TRect &) = default;
};

inline TRect Rect(int l, int t, int r, int b) { return {l, t, r, b}; }
inline TRect Bounds(int l, int t, int w, int h) { return {l, t, l + w, t + h}; }
inline TPoint Point(int x, int y) { return {x, y}; }

inline void InflateRect(TRect &r, int dx, int dy)
{
    r.Left -= dx;
    r.Top -= dy;
    r.Right += dx;
    r.Bottom += dy;
}
inline void OffsetRect(TRect &r, int dx, int dy)
{
    r.Left += dx;
    r.Top += dy;
    r.Right += dx;
    r.Bottom += dy;
}
// The common part of a and b; empty (all zero) when they do not meet.
inline bool IntersectRect(TRect &out, const TRect &a, const TRect &b)
{
    out = {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
    if (out.IsEmpty()) {
        out = {};
        return false;
    }
    return true;
}
inline bool PtInRect(const TRect &r, const TPoint &p)
{
    return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}

} // namespace framework
