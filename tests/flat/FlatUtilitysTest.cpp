// SPDX-License-Identifier: GPL-3.0-or-later
#include <QFontMetrics>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

#include "PixelMap.h"

#include "flat/FlatUtilitys.h"
#include "flat/HSLUtils.h"

using namespace flat;
using framework::Rect;

namespace {

TColor grey(int v) { return framework::RGB(v, v, v); }

} // namespace

TEST(HSLUtils, ConversionsOnTheWorkedValues)
{
    EXPECT_EQ(ColorToScaledHsl(0x00E1EAEB), (TScaledHsl{36, 48, 216}));
    EXPECT_EQ(ColorToScaledHsl(0x00808080), (TScaledHsl{0, 0, 120}));
    EXPECT_EQ(ColorToScaledHsl(0x000000FF), (TScaledHsl{0, 240, 120}));
    EXPECT_EQ(ColorToScaledHsl(0x0000FF00), (TScaledHsl{80, 240, 120})); // 239 / 3 = 79.67
    EXPECT_EQ(ColorToScaledHsl(0x00FF0000), (TScaledHsl{159, 240, 120}));
    // A tie between red and blue counts as red: hue (G - B) / D / 6 + 1.
    EXPECT_NEAR(ColorToHsl(0x00FF00FF).H, 5.0 / 6.0, 1e-12);

    for (double h : {0.0, 0.3, 0.9})
        EXPECT_EQ(HslToColor(h, 0, 0.5), grey(128)) << "saturation 0 is grey whatever the hue";
    EXPECT_EQ(HslToColor(0, 1, 0.5), 0x000000FFu);
    EXPECT_EQ(HslToColor(1.0 / 3.0, 1, 0.5), 0x0000FF00u);
    EXPECT_EQ(ScaledHslToColor(0, 240, 120), 0x000000FFu);
    EXPECT_EQ(ScaledHslToColor(100, 0, 240), 0x00FFFFFFu);

    // Round trips of plain colours come back within rounding.
    for (TColor c : {0x00E1EAEBu, 0x00D0B879u, 0x0000E100u, 0x00123456u}) {
        const THsl hsl = ColorToHsl(c);
        EXPECT_EQ(HslToColor(hsl.H, hsl.S, hsl.L), c);
    }
    EXPECT_EQ(MaxOf(1.5, -2), 1.5);
    EXPECT_EQ(MinOf(1.5, -2), -2);
}

TEST(FlatUtilitys, ComputeAdvColor)
{
    EXPECT_EQ(ComputeAdvColor(0x00808080, 0x00ABCDEF, 0, false), 0x00ABCDEFu);
    EXPECT_EQ(ComputeAdvColor(0x00000000, 0x00ABCDEF, 0, true), 0x00ABCDEFu);
    // 120 + 10 + 10 is held at 100: lightening a mid grey gives a darker one.
    EXPECT_EQ(ComputeAdvColor(0x00808080, 0x00ABCDEF, 10, false), grey(106));
    EXPECT_EQ(ComputeAdvColor(0x00808080, 0x00ABCDEF, 50, true), grey(85));
    EXPECT_EQ(ComputeAdvColor(0x00808080, 0x00ABCDEF, 10, true), 0x00808080u);
    EXPECT_EQ(ComputeAdvColor(0x00000000, 0x00ABCDEF, 10, false), grey(21));
    EXPECT_EQ(ComputeAdvColor(0x00000000, 0x00ABCDEF, 100, true), grey(0)) << "never below 0";
    // A system colour is resolved before converting.
    EXPECT_EQ(ComputeAdvColor(framework::clBtnFace, 0, 30, true),
              ComputeAdvColor(framework::ColorToRGB(framework::clBtnFace), 0, 30, true));
    // Hue and saturation are the parent's.
    const TColor hot = ComputeAdvColor(0x00D0B879, 0, 30, true);
    const TScaledHsl parent = ColorToScaledHsl(0x00D0B879), got = ColorToScaledHsl(hot);
    EXPECT_NEAR(got.H, parent.H, 1);
    EXPECT_NEAR(got.S, parent.S, 2);
    EXPECT_NEAR(got.L, parent.L + 10 - 30, 1);
}

TEST(FlatUtilitys, DrawBevelFrameRings)
{
    constexpr TColor top = framework::clRed, bottom = framework::clBlue;
    TCanvas c(4, 4);
    const TRect r = Rect(0, 0, 4, 4);
    DrawBevelFrame(c, r, top, bottom, 1);
    EXPECT_EQ(map(c, top), rows({"###.", "#...", "#...", "...."}));
    EXPECT_EQ(map(c, bottom), rows({"...#", "...#", "...#", "####"}));
    EXPECT_EQ(r, Rect(0, 0, 4, 4));
    EXPECT_EQ(c.Pen.Color, bottom);
    EXPECT_EQ(c.Pen.Width, 1);

    TCanvas two(6, 6);
    DrawBevelFrame(two, Rect(0, 0, 6, 6), top, bottom, 2);
    EXPECT_EQ(map(two, top), rows({"#####.", "####..", "##....", "##....", "#.....", "......"}));
    EXPECT_EQ(map(two, bottom), rows({".....#", "....##", "....##", "....##", ".#####", "######"}));

    TCanvas same(6, 6);
    DrawBevelFrame(same, Rect(0, 0, 6, 6), top, top, 2);
    EXPECT_EQ(map(same, top), rows({"######", "######", "##..##", "##..##", "######", "######"}));

    TCanvas none(3, 3);
    DrawBevelFrame(none, Rect(0, 0, 3, 3), top, bottom, 0);
    EXPECT_EQ(map(none, framework::clWhite), rows({"###", "###", "###"}));
}

TEST(FlatUtilitys, MakeDisabledGlyphEmbossesKeyPixels)
{
    TBitmap glyph(4, 3);
    TCanvas &g = glyph.Canvas();
    g.Brush.Color = framework::clWhite;
    g.FillRect(Rect(0, 0, 4, 3));
    g.SetPixels(0, 0, framework::clBlack);
    g.SetPixels(1, 1, framework::clBlack);
    g.SetPixels(3, 2, framework::clBlack); // its highlight falls outside the picture
    g.SetPixels(2, 0, 0x00010101);         // close to the key but not equal

    constexpr TColor back = 0x00C0C0C0, light = 0x00FFFFFF, shadow = 0x00808080;
    const auto result = MakeDisabledGlyph(glyph, framework::clBlack, back, light, shadow, true);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->Width(), 4);
    EXPECT_EQ(result->Height(), 3);
    EXPECT_EQ(map(result->Canvas(), shadow), rows({"#...", ".#..", "...#"}));
    EXPECT_EQ(map(result->Canvas(), light), rows({"....", "....", "..#."}));
    EXPECT_EQ(map(result->Canvas(), back), rows({".###", "#.##", "##.."}));
    EXPECT_EQ(glyph.Canvas().Pixels(0, 0), framework::clBlack) << "the source is untouched";
    EXPECT_FALSE(glyph.Monochrome());

    const auto flatResult = MakeDisabledGlyph(glyph, framework::clBlack, back, light, shadow, false);
    EXPECT_EQ(map(flatResult->Canvas(), light), rows({"....", "....", "...."}));
    EXPECT_EQ(map(flatResult->Canvas(), shadow), rows({"#...", ".#..", "...#"}));
}

class Layout : public ::testing::Test {
protected:
    TCanvas c{1, 1};
    TBitmap glyph{32, 16};                      // two images of 16 x 16
    const TRect client = Rect(10, 20, 110, 60); // 100 x 40
    const TPoint offset{1, 1};
    const QString caption = QStringLiteral("Add Movie");
    int tw = 0, th = 0;

    void SetUp() override
    {
        c.Font.Height = -11;
        const QFontMetrics fm(c.Font.ToQFont());
        tw = fm.horizontalAdvance(caption);
        th = fm.height();
        ASSERT_LT(tw, 60);
    }
    TGlyphLayout run(TButtonLayout layout, int margin, int spacing, bool withGlyph = true,
                     const QString *text = nullptr)
    {
        return LayoutGlyphAndCaption(c, client, offset, text ? *text : caption, layout, margin, spacing,
                                     withGlyph ? &glyph : nullptr, 2);
    }
    // Expected result from positions inside the client rectangle.
    TGlyphLayout at(int gx, int gy, int tx, int ty, int w, int h) const
    {
        const int dx = client.Left + offset.X, dy = client.Top + offset.Y;
        return {{gx + dx, gy + dy}, Rect(tx + dx, ty + dy, tx + dx + w, ty + dy + h)};
    }
};

TEST_F(Layout, GlyphLeftForEachMarginAndSpacing)
{
    const int ty = (40 - th + 1) / 2, gy = (40 - 16 + 1) / 2;
    int m = (100 - (16 + tw)) / 3;
    EXPECT_EQ(run(blGlyphLeft, -1, -1), at(m, gy, m + 16 + m, ty, tw, th)) << "three equal parts";
    m = (100 - (16 + 4 + tw) + 1) / 2;
    EXPECT_EQ(run(blGlyphLeft, -1, 4), at(m, gy, m + 20, ty, tw, th)) << "the pair is centred";
    const int s = ((100 - (3 + 16)) - tw) / 2;
    EXPECT_EQ(run(blGlyphLeft, 3, -1), at(3, gy, 3 + 16 + s, ty, tw, th));
    EXPECT_EQ(run(blGlyphLeft, 3, 4), at(3, gy, 23, ty, tw, th));
}

TEST_F(Layout, OtherSides)
{
    const int ty = (40 - th + 1) / 2, gy = (40 - 16 + 1) / 2;
    EXPECT_EQ(run(blGlyphRight, 3, 4), at(81, gy, 81 - 4 - tw, ty, tw, th));
    const int gx = (100 - 16 + 1) / 2, tx = (100 - tw + 1) / 2;
    EXPECT_EQ(run(blGlyphTop, 3, 4), at(gx, 3, tx, 23, tw, th));
    EXPECT_EQ(run(blGlyphBottom, 3, 4), at(gx, 21, tx, 21 - 4 - th, tw, th));
    const int m = (40 - (16 + th)) / 3;
    EXPECT_EQ(run(blGlyphTop, -1, -1), at(gx, m, tx, m + 16 + m, tw, th));
    const int mb = (40 - (16 + 2 + th) + 1) / 2;
    EXPECT_EQ(run(blGlyphBottom, -1, 2), at(gx, 40 - mb - 16, tx, 40 - mb - 16 - 2 - th, tw, th));
}

TEST_F(Layout, MissingGlyphOrCaptionDropsTheSpacing)
{
    // No glyph: the spacing of 4 becomes 0 and the caption is centred.
    const int m = (100 - tw + 1) / 2;
    EXPECT_EQ(run(blGlyphLeft, -1, 4, false), at(m, 20, m, (40 - th + 1) / 2, tw, th));
    // No caption: the glyph is centred and the caption rectangle is empty.
    const QString empty;
    const int gm = (100 - 16 + 1) / 2;
    EXPECT_EQ(run(blGlyphLeft, -1, -1, true, &empty), at(gm, 12, gm + 16, 20, 0, 0));
    // An empty glyph bitmap counts as none.
    TBitmap nothing;
    EXPECT_EQ(LayoutGlyphAndCaption(c, client, offset, caption, blGlyphLeft, -1, 4, &nothing, 1),
              run(blGlyphLeft, -1, 4, false));
    // A count of 0 images does not divide by zero.
    EXPECT_EQ(LayoutGlyphAndCaption(c, client, {}, caption, blGlyphLeft, 3, 4, &glyph, 0).GlyphPos, (TPoint{13, 32}));
}

TEST_F(Layout, CaptionWiderThanTheClientTruncatesTowardZero)
{
    const TRect narrow = Rect(0, 0, 10, 10);
    const TGlyphLayout l = LayoutGlyphAndCaption(c, narrow, {}, caption, blGlyphLeft, -1, 4, nullptr, 1);
    const int m = (10 - tw + 1) / 2; // negative, rounded toward zero
    EXPECT_EQ(l.TextBounds.Left, m);
    EXPECT_EQ(l.TextBounds.Width(), tw);
}

TEST(FlatUtilitys, MeasuringHelpers)
{
    EXPECT_EQ(SmallerWord(8, 3), 3);
    EXPECT_EQ(SmallerWord(3, 8), 3);
    EXPECT_EQ(SmallerWord(7, 7), 7);
    EXPECT_EQ(SmallerWord(0xFFFF, 1), 1) << "compared unsigned";

    EXPECT_EQ(LineHeightForTextHeight(16), 18);
    EXPECT_EQ(LineHeightForTextHeight(12), 14); // 13.5 to the even 14
    EXPECT_EQ(LineHeightForTextHeight(20), 22); // 22.5 to the even 22
    TFont f;
    f.Height = -13;
    const framework::TTextMetric tm = ReadFontMetrics(f);
    EXPECT_EQ(tm.tmHeight, QFontMetrics(f.ToQFont()).height());
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_EQ(FontLineHeight(f), LineHeightForTextHeight(tm.tmHeight));

    EXPECT_TRUE(RectsOverlap(Rect(0, 0, 5, 5), Rect(4, 4, 8, 8)));
    EXPECT_FALSE(RectsOverlap(Rect(0, 0, 5, 5), Rect(5, 0, 8, 5))) << "right edges are exclusive";
    EXPECT_FALSE(RectsOverlap(Rect(0, 0, 5, 5), Rect(2, 2, 2, 4))) << "an empty rectangle meets nothing";
}

namespace {

// Red everywhere with a blue 10 x 10 square at (20, 10).
class PatternParent : public QWidget {
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::red);
        p.fillRect(QRect(20, 10, 10, 10), Qt::blue);
    }
};

} // namespace

TEST(FlatUtilitys, PaintParentBackgroundShowsTheParentUnderTheControl)
{
    PatternParent parent;
    parent.resize(30, 22);
    QWidget control(&parent);
    control.setGeometry(15, 5, 20, 20);
    QWidget sibling(&parent); // other children are not painted
    sibling.setAutoFillBackground(true);
    QPalette pal = sibling.palette();
    pal.setColor(QPalette::Window, Qt::green);
    sibling.setPalette(pal);
    sibling.setGeometry(15, 5, 3, 3);

    TCanvas c(20, 20);
    PaintParentBackground(&control, c);
    // Control (x, y) shows parent (x + 15, y + 5): the square at (5..14, 5..14);
    // the parent ends at x = 15 and y = 17 of the control.
    std::string blue = map(c, framework::clBlue);
    EXPECT_EQ(blue.substr(0, 21), "....................\n");
    EXPECT_EQ(c.Pixels(5, 5), framework::clBlue);
    EXPECT_EQ(c.Pixels(14, 14), framework::clBlue);
    EXPECT_EQ(c.Pixels(14, 4), framework::clRed);
    EXPECT_EQ(c.Pixels(0, 0), framework::clRed);
    EXPECT_EQ(c.Pixels(0, 16), framework::clRed);
    EXPECT_EQ(c.Pixels(15, 14), framework::clWhite) << "outside the parent's client area";
    EXPECT_EQ(c.Pixels(0, 17), framework::clWhite);
    EXPECT_FALSE(c.HasClip());
    EXPECT_EQ(c.GetViewportOrg(), (TPoint{0, 0}));

    // The canvas's own origin and clip apply on top.
    TCanvas moved(20, 20);
    moved.SetViewportOrg(2, 3);
    moved.IntersectClipRect(0, 0, 6, 20);
    PaintParentBackground(&control, moved);
    EXPECT_EQ(moved.Pixels(5, 5), framework::clBlue); // device (7, 8)
    EXPECT_EQ(moved.Pixels(4, 5), framework::clRed);
    EXPECT_EQ(moved.Pixels(6, 5), framework::clWhite) << "clipped";
    EXPECT_EQ(moved.GetViewportOrg(), (TPoint{2, 3}));
    EXPECT_EQ(moved.ClipRect(), Rect(0, 0, 6, 17));

    // Without a parent nothing is drawn.
    QWidget orphan;
    TCanvas none(4, 4);
    PaintParentBackground(&orphan, none);
    PaintParentBackground(nullptr, none);
    EXPECT_EQ(map(none, framework::clWhite), rows({"####", "####", "####", "####"}));
}

namespace {

// A control that composes its picture over its parent's, as the flat
// controls do from their paint handler.
class SeeThrough : public QWidget {
public:
    using QWidget::QWidget;
    TCanvas picture{20, 20};

protected:
    void paintEvent(QPaintEvent *) override
    {
        PaintParentBackground(this, picture);
        QPainter(this).drawImage(0, 0, picture.Image());
    }
};

} // namespace

TEST(FlatUtilitys, PaintParentBackgroundFromTheControlsOwnPaint)
{
    PatternParent parent;
    parent.resize(30, 22);
    SeeThrough control(&parent);
    control.setGeometry(15, 5, 20, 20);
    const QImage shot = parent.grab().toImage();
    EXPECT_EQ(control.picture.Pixels(5, 5), framework::clBlue);
    EXPECT_EQ(control.picture.Pixels(0, 0), framework::clRed);
    EXPECT_EQ(QColor(shot.pixel(20, 10)), QColor(Qt::blue));
}
