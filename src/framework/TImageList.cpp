// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/TImageList.h"

#include <algorithm>
#include <cmath>

#include "framework/Pictures.h"

namespace framework {

QIcon LoadMaskedIcon(const QString &fileName, TColor maskColor)
{
    const TColor key = ColorToRGB(maskColor);
    const QRgb keyRgb = qRgb(GetRValue(key), GetGValue(key), GetBValue(key)) & 0xFFFFFFu;
    const auto masked = [keyRgb](const QString &file) {
        QImage img = ReadPicture(file).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < img.height(); ++y) {
            QRgb *row = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x)
                if ((row[x] & 0xFFFFFFu) == keyRgb)
                    row[x] = 0u;
        }
        return QPixmap::fromImage(img);
    };
    QIcon icon;
    const QPixmap picture = masked(fileName);
    if (picture.isNull())
        return icon;
    icon.addPixmap(picture);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) {
        QPixmap denser = masked(fileName.left(dot) + QStringLiteral("@2x") + fileName.mid(dot));
        if (denser.size() == picture.size() * 2) {
            denser.setDevicePixelRatio(2);
            icon.addPixmap(denser);
        }
    }
    return icon;
}

void TImageList::SetSize(int width, int height)
{
    if (width == width_ && height == height_)
        return;
    width_ = width;
    height_ = height;
    images_.clear();
}

int TImageList::addCells(const QImage &argb)
{
    if (argb.isNull() || width_ <= 0 || height_ <= 0)
        return -1;
    const int first = Count();
    // A picture for a denser screen has as many more pixels in each cell.
    const qreal ratio = argb.devicePixelRatio();
    const int cw = static_cast<int>(std::lround(width_ * ratio)), ch = static_cast<int>(std::lround(height_ * ratio));
    const int cells = std::max(1, argb.width() / cw);
    for (int i = 0; i < cells; ++i) {
        QImage cell(cw, ch, QImage::Format_ARGB32);
        cell.fill(Qt::transparent);
        const int w = std::min(cw, argb.width() - i * cw);
        const int h = std::min(ch, argb.height());
        for (int y = 0; y < h; ++y) {
            const QRgb *src = reinterpret_cast<const QRgb *>(argb.constScanLine(y)) + i * cw;
            std::copy_n(src, w, reinterpret_cast<QRgb *>(cell.scanLine(y)));
        }
        cell.setDevicePixelRatio(ratio);
        images_.push_back(std::move(cell));
    }
    return first;
}

int TImageList::AddMasked(const TBitmap &bitmap, TColor maskColor)
{
    if (bitmap.Empty())
        return -1;
    const TColor key = ColorToRGB(maskColor);
    const QRgb keyRgb = qRgb(GetRValue(key), GetGValue(key), GetBValue(key)) & 0xFFFFFFu;
    QImage argb = bitmap.Canvas().Image().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            row[x] = (row[x] & 0xFFFFFFu) == keyRgb ? 0u : (row[x] | 0xFF000000u);
    }
    return addCells(argb);
}

int TImageList::Add(const TBitmap &bitmap, const TBitmap *mask)
{
    if (bitmap.Empty())
        return -1;
    QImage argb = bitmap.Canvas().Image().convertToFormat(QImage::Format_ARGB32);
    if (mask && !mask->Empty()) {
        const QImage &m = mask->Canvas().Image();
        for (int y = 0; y < std::min(argb.height(), m.height()); ++y) {
            QRgb *row = reinterpret_cast<QRgb *>(argb.scanLine(y));
            const QRgb *mrow = reinterpret_cast<const QRgb *>(m.constScanLine(y));
            for (int x = 0; x < std::min(argb.width(), m.width()); ++x)
                if ((mrow[x] & 0xFFFFFFu) == 0xFFFFFFu)
                    row[x] = 0u;
        }
    }
    return addCells(argb);
}

void TImageList::Delete(int index)
{
    if (index >= 0 && index < Count())
        images_.erase(images_.begin() + index);
}

void TImageList::Draw(TCanvas &canvas, int x, int y, int index) const
{
    if (index < 0 || index >= Count())
        return;
    const QImage &img = images_[static_cast<std::size_t>(index)];
    // Each device pixel of the cell takes the picture's pixel under it.
    const QRect to = canvas.areaRect(x, y, x + width_, y + height_);
    for (int j = 0; j < to.height(); ++j) {
        const QRgb *row = reinterpret_cast<const QRgb *>(img.constScanLine((j * img.height()) / to.height()));
        for (int i = 0; i < to.width(); ++i) {
            const QRgb p = row[(i * img.width()) / to.width()];
            if (qAlpha(p) != 0)
                canvas.plot(to.left() + i, to.top() + j, canvas.deviceColor(FromQRgb(p)));
        }
    }
}

QImage TImageList::ToQImage(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return images_[static_cast<std::size_t>(index)];
}

QPixmap TImageList::ToQPixmap(int index) const { return QPixmap::fromImage(ToQImage(index)); }

QIcon TImageList::ToQIcon(int index) const { return QIcon(ToQPixmap(index)); }

} // namespace framework
