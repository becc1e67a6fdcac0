// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures above 100 %: the canvas's two rounding rules, shapes at 200 % as
// the 100 % picture at twice the resolution, uniform strokes at 150 %, and
// text that grows with the screen. Glyph pixels are never compared, only
// the boxes around them.
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "framework/Controls.h"
#include "framework/TCanvas.h"
#include "framework/TListView.h"

using namespace framework;

namespace {

constexpr TColor kInk = clRed;

// The box around the pixels that are not white, in device pixels.
QRect inkBox(const QImage &image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFFu) != 0xFFFFFFu)
                box |= QRect(x, y, 1, 1);
    return box;
}

// The lengths of the runs of ink down one device column.
std::vector<int> runsDown(const QImage &image, int x, QRgb ink)
{
    std::vector<int> runs;
    int run = 0;
    for (int y = 0; y <= image.height(); ++y) {
        if (y < image.height() && image.pixel(x, y) == ink) {
            ++run;
        } else if (run > 0) {
            runs.push_back(run);
            run = 0;
        }
    }
    return runs;
}

void scene(TCanvas &c)
{
    c.Brush = {clWhite, bsSolid};
    c.FillRect(Rect(0, 0, c.Width(), c.Height()));
    c.Brush.Color = clBlue;
    c.FillRect(Rect(1, 1, 6, 4));
    c.Brush.Color = kInk;
    c.FrameRect(Rect(2, 5, 9, 11));
    c.Pen = {clGreen, 2};
    c.Brush.Color = clYellow;
    c.Rectangle(10, 1, 17, 8);
    c.Pen = {clBlack, 1};
    c.MoveTo(1, 12);
    c.LineTo(15, 12);
    c.MoveTo(12, 9);
    c.LineTo(18, 15); // a diagonal
    c.Polyline({{1, 14}, {5, 14}, {5, 17}});
    c.SetPixels(8, 15, clNavy);
    c.Brush.Color = clFuchsia;
    c.Polygon({{6, 16}, {10, 16}, {8, 18}}); // the combo box's arrow
    {
        const TSavedDC saved(c);
        c.SetViewportOrg(3, 1);
        c.IntersectClipRect(0, 14, 4, 15);
        c.Brush.Color = clFuchsia;
        c.FillRect(Rect(-3, 10, 20, 20));
    }
    TCanvas source(3, 2, c.DevicePixelRatio());
    source.Brush = {clLime, bsSolid};
    source.FillRect(Rect(0, 0, 3, 2));
    source.SetPixels(1, 1, clBlack);
    BitBlt(c, 14, 16, 3, 2, &source, 0, 0, SRCCOPY);
}

} // namespace

TEST(HiDpiCanvas, OneRuleForEdgesAndOneForStrokes)
{
    for (int p = -3; p < 12; ++p) {
        // At 100 % and 200 % both rules are plain multiplication.
        EXPECT_EQ(DeviceEdge(p, 1), p);
        EXPECT_EQ(DeviceStroke(p, 1, 1), (TDeviceSpan{p, p + 1}));
        EXPECT_EQ(DeviceEdge(p, 2), 2 * p);
        EXPECT_EQ(DeviceStroke(p, 1, 2), (TDeviceSpan{2 * p, 2 * p + 2}));
        EXPECT_EQ(DeviceStroke(p, 3, 2), (TDeviceSpan{2 * p, 2 * p + 6}));
        // At 150 % a stroke is two device pixels wherever it lies, and it
        // never reaches past the next logical pixel's edge.
        const TDeviceSpan s = DeviceStroke(p, 1, 1.5);
        EXPECT_EQ(s.Size(), 2) << p;
        EXPECT_LE(s.Last, DeviceEdge(p + 1, 1.5)) << p;
        EXPECT_GE(s.First, DeviceEdge(p, 1.5) - 1) << p;
    }
    EXPECT_EQ(DeviceEdge(3, 1.5), 5); // halves go up
}

TEST(HiDpiCanvas, At200PercentThePictureIsThe100PercentOneAtTwiceTheResolution)
{
    TCanvas one(20, 19), two(20, 19, 2);
    scene(one);
    scene(two);
    ASSERT_EQ(two.Image().size(), QSize(40, 38));
    EXPECT_EQ(two.Image().devicePixelRatio(), 2);
    EXPECT_EQ(two.Width(), 20);
    QImage doubled = one.Image().scaled(40, 38, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    doubled.setDevicePixelRatio(2);
    EXPECT_EQ(two.Image(), doubled);

    // A one-pixel frame is exactly two device pixels, inside the rectangle.
    EXPECT_EQ(runsDown(two.Image(), 2 * 5, qRgb(255, 0, 0)), (std::vector<int>{2, 2}));
    EXPECT_EQ(two.Pixels(8, 7), kInk);
    EXPECT_EQ(two.Pixels(9, 7), clWhite);

    // Shapes Qt draws stay inside their rectangle, to the device pixel.
    for (qreal ratio : {2.0, 1.5}) {
        TCanvas c(10, 8, ratio);
        c.Brush = {clWhite, bsSolid};
        c.FillRect(Rect(0, 0, 10, 8));
        c.Pen = {clBlack, 1};
        c.Brush.Style = bsClear;
        c.Ellipse(1, 1, 9, 7);
        c.RoundRect(1, 1, 9, 7, 4, 4);
        const int l = DeviceEdge(1, ratio), t = DeviceEdge(1, ratio);
        EXPECT_EQ(inkBox(c.Image()), QRect(l, t, DeviceEdge(9, ratio) - l, DeviceEdge(7, ratio) - t)) << ratio;
    }
}

TEST(HiDpiCanvas, At150PercentEveryStrokeAndSeparatorHasOneWidth)
{
    TCanvas c(12, 30, 1.5);
    c.Brush = {clWhite, bsSolid};
    c.FillRect(Rect(0, 0, 12, 30));
    c.Brush.Color = kInk;
    c.Pen = {kInk, 1};
    // Separators at odd and even rows, drawn every way the controls do.
    c.FillRect(Rect(0, 1, 12, 2));
    c.FillRect(Rect(0, 4, 12, 5));
    c.MoveTo(0, 7);
    c.LineTo(12, 7);
    c.MoveTo(0, 10);
    c.LineTo(12, 10);
    c.FrameRect(Rect(0, 13, 12, 20));
    c.FrameRect(Rect(0, 22, 12, 29));
    const QRgb ink = qRgb(255, 0, 0);
    EXPECT_EQ(runsDown(c.Image(), 9, ink), std::vector<int>(8, 2));
    // The frames' sides too, across the picture.
    for (int y : {16, 25}) {
        std::vector<int> across;
        int run = 0;
        for (int x = 0; x <= c.Image().width(); ++x) {
            if (x < c.Image().width() && c.Image().pixel(x, DeviceEdge(y, 1.5)) == ink) {
                ++run;
            } else if (run) {
                across.push_back(run);
                run = 0;
            }
        }
        EXPECT_EQ(across, (std::vector<int>{2, 2})) << y;
    }
}

TEST(HiDpiCanvas, BitmapOnlyFaceIsDrawnTwiceAsLargeAt200Percent)
{
    TFont listFont;
    listFont.Name = QStringLiteral("MS Sans Serif");
    listFont.Height = -13;
    listFont.Color = clBlack;
    const QString text = QStringLiteral("/tmp/clip.mpg");
    QRect boxes[2];
    int i = 0;
    for (qreal ratio : {1.0, 2.0}) {
        TCanvas c(120, 24, ratio);
        c.Brush = {clWhite, bsSolid};
        c.FillRect(Rect(0, 0, 120, 24));
        c.Font = listFont;
        c.TextOut(2, 2, text);
        boxes[i++] = inkBox(c.Image());
    }
    ASSERT_FALSE(boxes[0].isEmpty());
    EXPECT_NEAR(boxes[1].height(), 2 * boxes[0].height(), 2);
    EXPECT_NEAR(boxes[1].width(), 2 * boxes[0].width(), boxes[0].width() / 5);
    // At 100 % the exact face, so the picture stays as it was.
    EXPECT_EQ(listFont.ToQFont().family(), listFont.Name);
}

TEST(HiDpiImage, DenserPictureIsShownPixelForPixel)
{
    QImage picture(4, 2, QImage::Format_RGB32), denser(8, 4, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            denser.setPixel(x, y, (x + y) % 2 ? qRgb(255, 0, 0) : qRgb(0, 255, 0));
    denser.setDevicePixelRatio(2);
    TImage image;
    image.resize(4, 2);
    image.SetPicture(picture, denser);
    const QImage two = image.Render(2);
    EXPECT_EQ(two.copy(0, 0, 8, 4).convertToFormat(QImage::Format_RGB32),
              denser.copy().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(image.Render(1).pixel(3, 1), qRgb(0, 0, 255));
}

// Runs at the screen's ratio: once at 100 %, and once more with
// QT_SCALE_FACTOR=2 (see tests/CMakeLists.txt).
TEST(HiDpiListView, ListTextGrowsWithTheScreen)
{
    TFont listFont;
    listFont.Name = QStringLiteral("MS Sans Serif");
    listFont.Height = -13;
    listFont.Color = clBlack;
    const QString text = QStringLiteral("/tmp/clip.mpg");

    TCanvas reference(120, 24);
    reference.Brush = {clWhite, bsSolid};
    reference.FillRect(Rect(0, 0, 120, 24));
    reference.Font = listFont;
    reference.TextOut(2, 2, text);
    const QRect expected = inkBox(reference.Image());

    TListView list;
    list.SetFont(listFont);
    list.AddColumn(QStringLiteral("Movie List"), 200);
    list.AddItem(text, -1);
    list.resize(220, 80);
    list.show();
    const qreal ratio = list.devicePixelRatioF();
    QWidget *viewport = list.View()->viewport();
    const QRect item = list.View()->visualItemRect(list.View()->topLevelItem(0));
    const QImage shot = viewport->grab(item).toImage();
    const QRect box = inkBox(shot);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_NEAR(box.height(), ratio * expected.height(), ratio);
}
