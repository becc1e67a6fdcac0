// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A picture with its own canvas. A one-bit bitmap holds only black and white.
#include <QImage>
#include <QPixmap>
#include <QString>
#include <cstdint>

#include "framework/TCanvas.h"

namespace framework {

enum TPixelFormat : std::uint8_t { pfDevice, pf1bit, pf24bit, pf32bit };

class TBitmap {
public:
    TBitmap() = default;
    TBitmap(int width, int height) { SetSize(width, height); }
    TBitmap(const TBitmap &other) { Assign(other); }
    TBitmap &operator=(const TBitmap &other)
    {
        Assign(other);
        return *this;
    }

    // Takes the picture, format and transparency of another bitmap; this
    // bitmap's canvas keeps its own pen, brush and font.
    void Assign(const TBitmap &other);
    // Takes a picture; any alpha is dropped.
    void Assign(const QImage &image);

    int Width() const { return canvas_.Width(); }
    int Height() const { return canvas_.Height(); }
    void SetWidth(int width) { SetSize(width, Height()); }
    // The old picture stays at the top left; new area is white.
    void SetSize(int width, int height);
    bool Empty() const { return Width() <= 0 || Height() <= 0; }

    TCanvas &Canvas() { return canvas_; }
    const TCanvas &Canvas() const { return canvas_; }

    TPixelFormat PixelFormat() const { return format_; }
    // Switching to pf1bit converts by the canvas's brush colour: pixels of
    // exactly that colour become white (1), all others black (0).
    void SetPixelFormat(TPixelFormat format);
    bool Monochrome() const { return format_ == pf1bit; }
    void SetMonochrome(bool on);
    void ConvertToMonochrome(TColor key);

    // Drawn transparent, the transparent colour is left out. Unless set, it
    // is the bottom-left pixel.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool on) { transparent_ = on; }
    TColor TransparentColor() const;
    void SetTransparentColor(TColor color) { transparentColor_ = color; }

    // Onto canvas at its own size, or stretched over dest; a transparent
    // bitmap leaves its transparent colour out.
    void Draw(TCanvas &canvas, int x, int y) const;
    void StretchDraw(TCanvas &canvas, const TRect &dest) const;

    QImage ToQImage() const { return canvas_.Image(); }
    QPixmap ToQPixmap() const { return QPixmap::fromImage(canvas_.Image()); }

private:
    TCanvas canvas_;
    TPixelFormat format_ = pfDevice;
    bool transparent_ = false;
    TColor transparentColor_ = clNone;
};

} // namespace framework
