// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A list of images of one size, each with its transparent pixels.
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <vector>

#include "framework/TBitmap.h"

namespace framework {

// An icon from a picture file and, when there is one beside it, its "@2x"
// twin for screens at 200 %; pixels of exactly maskColor are transparent.
QIcon LoadMaskedIcon(const QString &fileName, TColor maskColor);

class TImageList {
public:
    explicit TImageList(int width = 16, int height = 16) : width_(width), height_(height) {}

    int Width() const { return width_; }
    int Height() const { return height_; }
    // A new size empties the list.
    void SetSize(int width, int height);
    int Count() const { return static_cast<int>(images_.size()); }

    // Adds the bitmap cut into Width()-wide images (at least one); pixels of
    // exactly maskColor are transparent. Returns the index of the first
    // image added, or -1 for an empty bitmap.
    int AddMasked(const TBitmap &bitmap, TColor maskColor);
    // Adds the bitmap with a mask whose white pixels are transparent; no mask
    // means every pixel is opaque.
    int Add(const TBitmap &bitmap, const TBitmap *mask = nullptr);
    void Delete(int index);
    void Clear() { images_.clear(); }

    // Draws image index at (x, y), leaving its transparent pixels alone.
    void Draw(TCanvas &canvas, int x, int y, int index) const;

    QImage ToQImage(int index) const; // ARGB32, transparent pixels with alpha 0
    QPixmap ToQPixmap(int index) const;
    QIcon ToQIcon(int index) const;

private:
    int addCells(const QImage &argb);

    int width_, height_;
    std::vector<QImage> images_; // ARGB32, alpha 0 or 255
};

} // namespace framework
