// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/TBitmap.h"

#include <cmath>

namespace framework {

void TBitmap::Assign(const TBitmap &other)
{
    if (&other == this)
        return;
    canvas_.image_ = other.canvas_.image_;
    canvas_.width_ = other.canvas_.width_;
    canvas_.height_ = other.canvas_.height_;
    canvas_.dpr_ = other.canvas_.dpr_;
    canvas_.fontCached_ = false;
    canvas_.setMonochrome(other.canvas_.monochrome_);
    format_ = other.format_;
    transparent_ = other.transparent_;
    transparentColor_ = other.transparentColor_;
}

void TBitmap::Assign(const QImage &image)
{
    canvas_.image_ = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
    // A picture drawn for a denser screen (devicePixelRatio above 1) keeps
    // its logical size.
    const qreal ratio = image.isNull() ? 1 : image.devicePixelRatio();
    canvas_.dpr_ = ratio;
    canvas_.width_ = static_cast<int>(std::lround(canvas_.image_.width() / ratio));
    canvas_.height_ = static_cast<int>(std::lround(canvas_.image_.height() / ratio));
    canvas_.fontCached_ = false;
    canvas_.setMonochrome(false);
    format_ = pfDevice;
}

void TBitmap::SetSize(int width, int height) { canvas_.Resize(width, height); }

void TBitmap::SetPixelFormat(TPixelFormat format)
{
    if (format == format_)
        return;
    if (format == pf1bit)
        ConvertToMonochrome(canvas_.Brush.Color);
    else {
        canvas_.setMonochrome(false);
        format_ = format;
    }
}

void TBitmap::SetMonochrome(bool on)
{
    if (on != Monochrome())
        SetPixelFormat(on ? pf1bit : pfDevice);
}

void TBitmap::ConvertToMonochrome(TColor key)
{
    const QRgb k = ColorToRGB(key);
    const QRgb keyRgb = qRgb(GetRValue(k), GetGValue(k), GetBValue(k)) & 0xFFFFFFu;
    QImage &image = canvas_.image_;
    for (int y = 0; y < image.height(); ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = (row[x] & 0xFFFFFFu) == keyRgb ? 0xFFFFFFFFu : 0xFF000000u;
    }
    canvas_.setMonochrome(true);
    format_ = pf1bit;
}

void TBitmap::Draw(TCanvas &canvas, int x, int y) const { StretchDraw(canvas, Bounds(x, y, Width(), Height())); }

void TBitmap::StretchDraw(TCanvas &canvas, const TRect &dest) const
{
    if (!Empty())
        canvas.StretchDraw(dest, canvas_, transparent_ ? TransparentColor() : clNone);
}

TColor TBitmap::TransparentColor() const
{
    if (transparentColor_ != clNone)
        return transparentColor_;
    if (Empty())
        return clNone;
    return FromQRgb(canvas_.Image().pixel(0, canvas_.Image().height() - 1));
}

} // namespace framework
