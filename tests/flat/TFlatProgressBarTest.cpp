// SPDX-License-Identifier: GPL-3.0-or-later
#include <QPaintEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>

#include "flat/HSLUtils.h"
#include "flat/TFlatProgressBarUnit.h"

using namespace flat;
using framework::clBlack;
using framework::clLime;
using framework::FromQRgb;

namespace {

// A black parent like the main window's button column.
struct Host {
    framework::TPanel panel;
    TFlatProgressBar *bar;
    Host()
    {
        panel.resize(400, 400);
        panel.SetColor(clBlack);
        bar = new TFlatProgressBar(&panel);
    }
    // The bar goes first: the panel's own list of its children is gone by
    // the time the panel deletes them.
    ~Host() { delete bar; }
};

// Lets the window show what was asked to be painted.
void settle() { QTest::qWait(100); }

QImage shot(TFlatProgressBar &bar) { return bar.grab().toImage(); }
TColor at(const QImage &img, int x, int y) { return FromQRgb(img.pixel(x, y)); }

// The bounding box of the pixels of one colour.
QRect area(const QImage &img, TColor colour)
{
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (at(img, x, y) == colour)
                r |= QRect(x, y, 1, 1);
    return r;
}

// How many separate runs of colour lie along row y.
int runs(const QImage &img, int y, TColor colour)
{
    int n = 0;
    bool in = false;
    for (int x = 0; x < img.width(); ++x) {
        const bool hit = at(img, x, y) == colour;
        n += hit && !in;
        in = hit;
    }
    return n;
}

void mainWindowSettings(TFlatProgressBar &bar)
{
    bar.setGeometry(1, 328, 95, 16);
    bar.SetColorElement(clLime);
    bar.SetColorBorder(clBlack);
    bar.SetSmooth(true);
}

} // namespace

TEST(TFlatProgressBar, NewControl)
{
    Host h;
    TFlatProgressBar &bar = *h.bar;
    EXPECT_EQ(bar.size(), QSize(147, 16));
    EXPECT_TRUE(bar.ParentColor());
    EXPECT_EQ(bar.Color(), clBlack);
    EXPECT_EQ(bar.ColorElement(), 0x00996633u);
    EXPECT_EQ(bar.ColorBorder(), 0x008396A0u);
    EXPECT_EQ(bar.AdvColorBorder(), 50);
    EXPECT_FALSE(bar.UseAdvColors());
    EXPECT_FALSE(bar.Transparent());
    EXPECT_FALSE(bar.Smooth());
    EXPECT_EQ(bar.Orientation(), pbHorizontal);
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(bar.Step(), 10);
    EXPECT_EQ(bar.focusPolicy(), Qt::NoFocus);
}

TEST(TFlatProgressBar, SmoothFillAtHalf)
{
    Host h;
    TFlatProgressBar &bar = *h.bar;
    mainWindowSettings(bar);

    QImage img = shot(bar);
    EXPECT_TRUE(area(img, clLime).isEmpty()) << "at Min only background and frame";
    for (int x = 0; x < 95; ++x)
        ASSERT_EQ(at(img, x, 0), clBlack);

    bar.SetColorBorder(0x00123456);
    bar.SetPosition(50);
    img = shot(bar);
    EXPECT_EQ(area(img, clLime), QRect(QPoint(2, 2), QPoint(46, 13))); // (2, 2, 47, 14)
    EXPECT_EQ(at(img, 0, 0), 0x00123456u);
    EXPECT_EQ(at(img, 94, 15), 0x00123456u);
    EXPECT_EQ(at(img, 1, 1), clBlack) << "background between frame and fill";
    EXPECT_EQ(at(img, 47, 5), clBlack);

    // A range of 100 MiB at half draws the same, without overflow.
    bar.SetMax(104857600);
    bar.SetPosition(52428800);
    EXPECT_EQ(area(shot(bar), clLime), QRect(QPoint(2, 2), QPoint(46, 13)));
}

TEST(TFlatProgressBar, RangesOfManyGigabytes)
{
    Host h;
    TFlatProgressBar &bar = *h.bar;
    mainWindowSettings(bar);
    const qint64 gib = qint64(1) << 30;
    bar.SetMax(3 * gib);
    bar.SetPosition(3 * gib / 2);
    EXPECT_EQ(bar.Position(), 3 * gib / 2);
    EXPECT_EQ(area(shot(bar), clLime), QRect(QPoint(2, 2), QPoint(46, 13)));
    bar.SetPosition(3 * gib);
    EXPECT_EQ(area(shot(bar), clLime), QRect(QPoint(2, 2), QPoint(92, 13)));

    // The whole 64-bit range: the difference and the product still fit.
    const qint64 lo = std::numeric_limits<qint64>::min(), hi = std::numeric_limits<qint64>::max();
    EXPECT_EQ(TFlatProgressBar::SmoothLength(91, lo, hi, 0), 45);
    EXPECT_EQ(TFlatProgressBar::SmoothLength(91, lo, hi, hi), 91);
    EXPECT_EQ(TFlatProgressBar::BlockCount(16, lo, hi, hi), 16);
}

TEST(TFlatProgressBar, EmptyAndInvertedRangesDrawNoFill)
{
    Host h;
    TFlatProgressBar &bar = *h.bar;
    mainWindowSettings(bar);
    // An empty input file gives Max = Min = 0.
    bar.SetMax(0);
    bar.SetPosition(0);
    EXPECT_TRUE(area(shot(bar), clLime).isEmpty());
    bar.SetSmooth(false);
    EXPECT_TRUE(area(shot(bar), clLime).isEmpty());
    EXPECT_EQ(TFlatProgressBar::SmoothLength(91, 5, 5, 5), 0);
    EXPECT_EQ(TFlatProgressBar::BlockCount(16, 5, 5, 5), 0);

    // Min raised above a Position that Max had let through: the fill never
    // runs over the frame.
    bar.SetSmooth(true);
    bar.resize(95, 16);
    bar.SetMax(100);
    bar.SetMin(200);
    bar.SetPosition(150); // clamped to Max, then to Min
    EXPECT_EQ(bar.Position(), 200);
    bar.SetMin(0); // Position 200 now lies beyond Max 100
    const QImage img = shot(bar);
    EXPECT_EQ(area(img, clLime), QRect(QPoint(2, 2), QPoint(92, 13)));
    EXPECT_EQ(at(img, 94, 5), clBlack);
    EXPECT_EQ(TFlatProgressBar::SmoothLength(91, 200, 100, 300), 0);
}

TEST(TFlatProgressBar, PositionClampingAndMax)
{
    Host h;
    TFlatProgressBar &bar = *h.bar;
    bar.SetMin(10);
    bar.SetPosition(500);
    EXPECT_EQ(bar.Position(), 100);
    bar.SetPosition(-5);
    EXPECT_EQ(bar.Position(), 10);
    bar.SetPosition(60);
    bar.SetMax(40);
    EXPECT_EQ(bar.Position(), 40) << "Max below Position moves Position";
    bar.SetMin(50);
    EXPECT_EQ(bar.Position(), 40) << "Min does not adjust Position";
    bar.SetMax(45);
    EXPECT_EQ(bar.Position(), 40) << "Position is not raised to Min";
}

TEST(TFlatProgressBar, BlocksAndSnapping)
{
    Host h;
    TFlatProgressBar &bar = *h.bar; // 147 x 16, blocks
    struct Case {
        qint64 position;
        int blocks;
    };
    for (Case c : {Case{50, 8}, Case{100, 16}, Case{6, 0}, Case{7, 1}}) {
        bar.SetPosition(0);
        bar.SetPosition(c.position);
        const QImage img = shot(bar);
        EXPECT_EQ(runs(img, 8, 0x00996633), c.blocks) << c.position;
        EXPECT_EQ(bar.width(), 147);
        if (c.blocks > 0) {
            EXPECT_EQ(area(img, 0x00996633), QRect(QPoint(2, 2), QPoint(2 + 9 * (c.blocks - 1) + 7, 13)));
            EXPECT_EQ(at(img, 10, 8), clBlack) << "one-pixel gap after the first block";
        }
    }

    bar.resize(150, 16);
    shot(bar);
    EXPECT_EQ(bar.width(), 147);
    bar.resize(10, 16);
    bar.SetPosition(100);
    shot(bar);
    EXPECT_EQ(bar.width(), 12);
    EXPECT_EQ(area(shot(bar), 0x00996633), QRect(QPoint(2, 2), QPoint(9, 13)));
    EXPECT_EQ(TFlatProgressBar::SnappedLength(147), 147);
    EXPECT_EQ(TFlatProgressBar::SnappedLength(12), 12);
    EXPECT_EQ(TFlatProgressBar::SnappedLength(20), 12);
    EXPECT_EQ(TFlatProgressBar::SnappedLength(2310), 2307);
}

TEST(TFlatProgressBar, MoreThan255Blocks)
{
    Host h;
    TFlatProgressBar &bar = *h.bar;
    h.panel.resize(2400, 40);
    bar.resize(2315, 16); // snapped to 2307: 256 blocks
    bar.SetPosition(100);
    const QImage img = shot(bar);
    EXPECT_EQ(bar.width(), 2307);
    EXPECT_EQ(runs(img, 8, 0x00996633), 256);
}

TEST(TFlatProgressBar, VerticalBars)
{
    Host h;
    TFlatProgressBar &bar = *h.bar;
    bar.SetOrientation(pbVertical);
    EXPECT_EQ(bar.size(), QSize(16, 147)) << "width and height exchanged";
    bar.SetPosition(7);
    QImage img = shot(bar);
    EXPECT_EQ(area(img, 0x00996633), QRect(QPoint(2, 137), QPoint(13, 144))); // (2, H-10, W-2, H-2)
    bar.SetPosition(100);
    img = shot(bar);
    int blocks = 0;
    for (int y = 1; y < img.height(); ++y)
        blocks += at(img, 8, y) == 0x00996633u && at(img, 8, y - 1) != 0x00996633u;
    EXPECT_EQ(blocks, 16);

    bar.SetSmooth(true);
    bar.SetPosition(50); // shrinking: everything again
    EXPECT_EQ(area(shot(bar), 0x00996633), QRect(QPoint(2, 145 - 71), QPoint(13, 144)));

    // While loading from the stored values the size is kept as stored.
    TFlatProgressBar loaded(&h.panel);
    loaded.BeginLoading();
    loaded.setGeometry(0, 0, 16, 147);
    loaded.SetOrientation(pbVertical);
    loaded.Loaded();
    EXPECT_EQ(loaded.size(), QSize(16, 147));
}

TEST(TFlatProgressBar, AdvancedBorderColour)
{
    Host h;
    h.panel.SetColor(0x00808080);
    TFlatProgressBar &bar = *h.bar;
    bar.SetColor(0x00FF0000); // its own colour; the flag makes it follow the parent again
    bar.SetAdvColorBorder(0);
    bar.SetUseAdvColors(true);
    EXPECT_TRUE(bar.ParentColor());
    EXPECT_EQ(bar.Color(), 0x00808080u);
    EXPECT_EQ(bar.ColorBorder(), 0x008396A0u) << "0 percent keeps the colour";

    bar.SetAdvColorBorder(50);
    EXPECT_EQ(bar.ColorBorder(), 0x00555555u); // lightness 120 + 10 - 50
    EXPECT_EQ(at(shot(bar), 0, 0), 0x00555555u);

    // The parent's colour changes: the frame follows.
    h.panel.SetColor(0x00000000);
    EXPECT_EQ(bar.ColorBorder(), ComputeAdvColor(0, 0, 50, true));

    // Switching the flag off keeps the derived colour.
    bar.SetUseAdvColors(false);
    EXPECT_FALSE(bar.ParentColor());
    EXPECT_EQ(bar.ColorBorder(), ComputeAdvColor(0, 0, 50, true));
}

TEST(TFlatProgressBar, TransparentShowsTheParent)
{
    Host h;
    h.panel.SetColor(0x00336699);
    TFlatProgressBar &bar = *h.bar;
    bar.SetParentColor(false);
    bar.SetColor(0x00FFFFFF);
    bar.SetTransparent(true);
    const QImage img = shot(bar);
    EXPECT_EQ(at(img, 5, 5), 0x00336699u);
    EXPECT_EQ(at(img, 0, 0), 0x008396A0u) << "the frame is still drawn";
}

TEST(TFlatProgressBar, ShortBarNotYetPaintedTakesAPosition)
{
    // Its size is snapped only when it paints; until then it holds no block.
    Host h;
    TFlatProgressBar &bar = *h.bar;
    bar.resize(8, 16);
    h.panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&h.panel));
    bar.resize(8, 16);
    bar.SetPosition(50);
    bar.SetPosition(100);
    EXPECT_EQ(bar.Position(), 100);
    EXPECT_EQ(TFlatProgressBar::BlockCount(0, 0, 100, 50), 0);
    settle();
    EXPECT_EQ(runs(shot(bar), 8, 0x00996633), 1);
}

namespace {

// Records the areas the bar is asked to paint.
class PaintSpy : public QObject {
public:
    QList<QRegion> regions;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            regions << static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

} // namespace

TEST(TFlatProgressBar, GrowingRepaintsOnlyTheNewPart)
{
    Host h;
    TFlatProgressBar &bar = *h.bar;
    mainWindowSettings(bar);
    bar.SetMax(1000);
    h.panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&h.panel));
    settle();

    PaintSpy spy;
    bar.installEventFilter(&spy);
    bar.SetPosition(500); // 45 pixels
    settle();
    ASSERT_EQ(spy.regions.size(), 1);
    EXPECT_EQ(spy.regions[0], QRegion(2, 2, 45, 12));

    spy.regions.clear();
    bar.SetPosition(510); // still 45 pixels: nothing to show
    bar.SetPosition(600); // 54 pixels
    settle();
    ASSERT_EQ(spy.regions.size(), 1);
    EXPECT_EQ(spy.regions[0], QRegion(47, 2, 9, 12));
    EXPECT_EQ(area(shot(bar), clLime), QRect(QPoint(2, 2), QPoint(55, 13)));

    // Shrinking shows everything again.
    spy.regions.clear();
    bar.SetPosition(100);
    settle();
    ASSERT_EQ(spy.regions.size(), 1);
    EXPECT_EQ(spy.regions[0], QRegion(bar.rect()));
    bar.removeEventFilter(&spy);

    // What the window shows is the grown picture.
    bar.SetPosition(700);
    settle();
    const QImage window = h.panel.grab(bar.geometry()).toImage();
    EXPECT_EQ(area(window, clLime), QRect(QPoint(2, 2), QPoint(64, 13)));
}

TEST(TFlatProgressBar, GrowingBlocksRepaintOnlyTheNewBlocks)
{
    Host h;
    TFlatProgressBar &bar = *h.bar;
    h.panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&h.panel));
    bar.SetPosition(20); // 3 blocks
    settle();
    PaintSpy spy;
    bar.installEventFilter(&spy);
    bar.SetPosition(40); // 6 blocks
    settle();
    ASSERT_EQ(spy.regions.size(), 1);
    EXPECT_EQ(spy.regions[0].boundingRect(), QRect(QPoint(29, 2), QPoint(54, 13)));
}

// Above 100 %: at 200 % the bar is its 100 % picture at twice the
// resolution, and at 150 % every block keeps one width.
TEST(TFlatProgressBar, DenserScreens)
{
    Host h;
    TFlatProgressBar &bar = *h.bar; // 147 x 16, blocks
    bar.SetPosition(50);
    const QImage one = bar.Render(1), two = bar.Render(2);
    EXPECT_EQ(two.convertToFormat(QImage::Format_RGB32),
              one.scaled(one.size() * 2).convertToFormat(QImage::Format_RGB32));

    const QImage mid = bar.Render(1.5);
    const int y = mid.height() / 2;
    std::vector<int> widths;
    int run = 0;
    for (int x = 0; x <= mid.width(); ++x) {
        if (x < mid.width() && at(mid, x, y) == 0x00996633) {
            ++run;
        } else if (run) {
            widths.push_back(run);
            run = 0;
        }
    }
    ASSERT_EQ(widths.size(), 8u);
    for (int w : widths)
        EXPECT_EQ(w, 12); // 8 logical pixels
}
