// SPDX-License-Identifier: GPL-3.0-or-later
// Pixel rules of the canvas, each on a small picture.
#include <QFontMetrics>
#include <gtest/gtest.h>

#include "PixelMap.h"

#include "framework/TBitmap.h"
#include "framework/TCanvas.h"
#include "framework/TImageList.h"

using namespace framework;

namespace {

constexpr TColor kBack = clWhite, kInk = clRed, kFill = clBlue;

void clear(TCanvas &c, TColor colour = kBack)
{
    const TSavedDC saved(c);
    c.ResetClip();
    c.SetViewportOrg(0, 0);
    c.Brush = {colour, bsSolid};
    c.FillRect(Rect(0, 0, c.Width(), c.Height()));
}

} // namespace

TEST(TCanvas, FillCoversLeftTopButNotRightBottom)
{
    TCanvas c(6, 5);
    clear(c);
    c.Brush.Color = kFill;
    c.FillRect(Rect(1, 1, 4, 3));
    EXPECT_EQ(map(c, kFill), rows({"......", ".###..", ".###..", "......", "......"}));

    c.Brush.Style = bsClear;
    c.FillRect(Rect(0, 0, 6, 5));
    EXPECT_EQ(c.Pixels(0, 0), kBack);
}

TEST(TCanvas, FrameRectIsTheRingJustInsideInBrushColour)
{
    TCanvas c(6, 5);
    clear(c);
    c.Pen.Color = kInk;
    c.Brush.Color = kFill;
    c.FrameRect(Rect(1, 0, 5, 4));
    EXPECT_EQ(map(c, kFill), rows({".####.", ".#..#.", ".#..#.", ".####.", "......"}));
}

TEST(TCanvas, RectangleOutlinesWithPenAndFillsWithBrush)
{
    TCanvas c(5, 5);
    clear(c);
    c.Pen.Color = kInk;
    c.Brush.Color = kFill;
    c.Rectangle(0, 0, 4, 4);
    EXPECT_EQ(map(c, kInk), rows({"####.", "#..#.", "#..#.", "####.", "....."}));
    EXPECT_EQ(map(c, kFill), rows({".....", ".##..", ".##..", ".....", "....."}));

    clear(c);
    c.Brush.Style = bsClear;
    c.Rectangle(Rect(1, 1, 5, 5));
    EXPECT_EQ(map(c, kBack), rows({"#####", "#....", "#.##.", "#.##.", "#...."}));
}

TEST(TCanvas, LineLeavesOutItsEndPointAndMovesThePen)
{
    TCanvas c(6, 6);
    clear(c);
    c.Pen.Color = kInk;
    c.MoveTo(0, 0);
    c.LineTo(4, 0);
    EXPECT_EQ(c.PenPos(), Point(4, 0));
    c.LineTo(4, 4);
    c.MoveTo(0, 5);
    c.LineTo(3, 2);
    EXPECT_EQ(map(c, kInk), rows({"#####.", "....#.", "....#.", "..#.#.", ".#....", "#....."}));
}

TEST(TCanvas, PolylineNeverPaintsItsLastPoint)
{
    TCanvas c(4, 4);
    clear(c);
    c.Pen.Color = kInk;
    c.Polyline({{0, 3}, {0, 0}, {3, 0}});
    EXPECT_EQ(map(c, kInk), rows({"###.", "#...", "#...", "#..."}));
    EXPECT_EQ(c.PenPos(), Point(0, 0)); // a polyline does not move the pen
}

TEST(TCanvas, PolygonFillsInsideAndOutlinesClosed)
{
    // The small drop-down triangle: five pixels wide, three rows high.
    TCanvas c(7, 4);
    clear(c);
    c.Pen.Color = kInk;
    c.Brush.Color = kFill;
    c.Polygon({{1, 0}, {5, 0}, {3, 2}});
    EXPECT_EQ(map(c, kBack), rows({"#.....#", "##...##", "###.###", "#######"}));
    EXPECT_EQ(c.Pixels(3, 2), kInk) << "the closing edge is drawn";
    EXPECT_EQ(c.Pixels(3, 1), kFill);

    // A larger square: the fill reaches every pixel the outline leaves.
    TCanvas s(6, 6);
    clear(s);
    s.Pen.Color = kInk;
    s.Brush.Color = kFill;
    s.Polygon({{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    EXPECT_EQ(map(s, kInk), rows({"#####.", "#...#.", "#...#.", "#...#.", "#####.", "......"}));
    EXPECT_EQ(map(s, kFill), rows({"......", ".###..", ".###..", ".###..", "......", "......"}));
}

TEST(TCanvas, EllipseAndRoundRectStayInsideTheirRectangle)
{
    for (int shape = 0; shape < 2; ++shape) {
        TCanvas c(14, 12);
        clear(c);
        c.Pen.Color = kInk;
        c.Brush.Color = kFill;
        if (shape == 0)
            c.Ellipse(2, 1, 12, 11);
        else
            c.RoundRect(2, 1, 12, 11, 6, 6);
        int minX = 99, minY = 99, maxX = -1, maxY = -1;
        for (int y = 0; y < c.Height(); ++y)
            for (int x = 0; x < c.Width(); ++x)
                if (c.Pixels(x, y) != kBack) {
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                    minY = std::min(minY, y);
                    maxY = std::max(maxY, y);
                }
        EXPECT_EQ(minX, 2) << shape;
        EXPECT_EQ(maxX, 11) << shape;
        EXPECT_EQ(minY, 1) << shape;
        EXPECT_EQ(maxY, 10) << shape;
        EXPECT_EQ(c.Pixels(7, 6), kFill) << shape;
        EXPECT_EQ(c.Pixels(2, 1), kBack) << "corners are rounded";
    }
}

TEST(TCanvas, ClippingAndSavedStates)
{
    TCanvas c(6, 4);
    clear(c);
    c.Brush.Color = kFill;
    c.Pen.Color = kInk;
    const int id = c.SaveDC();
    c.IntersectClipRect(1, 0, 5, 4);
    c.ExcludeClipRect(2, 1, 4, 3);
    c.Brush.Color = clLime;
    EXPECT_EQ(c.ClipRect(), Rect(1, 0, 5, 4));
    c.FillRect(Rect(0, 0, 6, 4));
    EXPECT_EQ(map(c, clLime), rows({".####.", ".#..#.", ".#..#.", ".####."}));
    // Pixels and lines respect the clip too.
    c.SetPixels(0, 0, kInk);
    c.MoveTo(0, 1);
    c.LineTo(6, 1);
    EXPECT_EQ(c.Pixels(0, 0), kBack);
    EXPECT_EQ(map(c, kInk), rows({"......", ".#..#.", "......", "......"}));

    EXPECT_TRUE(c.RestoreDC(id));
    EXPECT_FALSE(c.HasClip());
    EXPECT_EQ(c.Brush.Color, kFill);
    EXPECT_FALSE(c.RestoreDC(id)) << "a state is restored once";

    {
        const TSavedDC guard(c);
        c.IntersectClipRect(0, 0, 1, 1);
        c.Pen.Color = clYellow;
    }
    EXPECT_FALSE(c.HasClip());
    EXPECT_EQ(c.Pen.Color, kInk);

    // Relative restore: -1 is the latest state.
    c.SaveDC();
    c.Brush.Color = clAqua;
    c.SaveDC();
    c.Brush.Color = clYellow;
    EXPECT_TRUE(c.RestoreDC(-1));
    EXPECT_EQ(c.Brush.Color, clAqua);
    EXPECT_TRUE(c.RestoreDC(-1));
    EXPECT_EQ(c.Brush.Color, kFill);
}

TEST(TCanvas, ViewportOriginMovesLogicalZero)
{
    TCanvas c(6, 6);
    clear(c);
    const TPoint old = c.SetViewportOrg(2, 3);
    EXPECT_EQ(old, Point(0, 0));
    c.Brush.Color = kFill;
    c.FillRect(Rect(0, 0, 2, 1));
    c.SetPixels(-2, -3, kInk);
    EXPECT_EQ(c.Pixels(0, 0), kFill);
    EXPECT_EQ(c.Pixels(-2, -3), kInk);
    // A clip given after the origin moved is held in device pixels.
    c.IntersectClipRect(0, 0, 1, 1);
    c.SetViewportOrg(0, 0);
    EXPECT_EQ(c.ClipRect(), Rect(2, 3, 3, 4));
    EXPECT_EQ(map(c, kFill), rows({"......", "......", "......", "..##..", "......", "......"}));
    EXPECT_EQ(c.Pixels(6, 0), CLR_INVALID);
}

TEST(TCanvas, SystemColoursResolveThroughTheTable)
{
    TCanvas c(2, 1);
    c.Brush.Color = clBtnFace;
    c.FillRect(Rect(0, 0, 2, 1));
    EXPECT_EQ(c.Pixels(0, 0), ColorToRGB(clBtnFace));
}

TEST(TCanvas, BitBltRasterOperations)
{
    using Pair = std::pair<TColor, TColor>;
    TCanvas src(2, 1), dst(2, 1);
    src.SetPixels(0, 0, 0x000F0F0F);
    src.SetPixels(1, 0, 0x00F0F0F0);
    auto run = [&](std::uint32_t rop, TColor d) {
        dst.SetPixels(0, 0, d);
        dst.SetPixels(1, 0, d);
        EXPECT_TRUE(BitBlt(dst, 0, 0, 2, 1, &src, 0, 0, rop));
        return std::pair(dst.Pixels(0, 0), dst.Pixels(1, 0));
    };
    EXPECT_EQ(run(SRCCOPY, 0x00123456), Pair(0x000F0F0F, 0x00F0F0F0));
    EXPECT_EQ(run(SRCAND, 0x003C3C3C), Pair(0x000C0C0C, 0x00303030));
    EXPECT_EQ(run(SRCPAINT, 0x003C3C3C), Pair(0x003F3F3F, 0x00FCFCFC));
    EXPECT_EQ(run(SRCINVERT, 0x003C3C3C), Pair(0x00333333, 0x00CCCCCC));
    EXPECT_EQ(run(NOTSRCCOPY, 0), Pair(0x00F0F0F0, 0x000F0F0F));
    EXPECT_EQ(run(DSTINVERT, 0x003C3C3C), Pair(0x00C3C3C3, 0x00C3C3C3));
    dst.Brush.Color = 0x00ABCDEF;
    EXPECT_EQ(run(PATCOPY, 0), Pair(0x00ABCDEF, 0x00ABCDEF));
    EXPECT_FALSE(BitBlt(dst, 0, 0, 2, 1, nullptr, 0, 0, SRCCOPY)) << "a copy needs a source";
}

TEST(TCanvas, BrushWhereMaskIsWhiteDestinationWhereBlack)
{
    // A mask made from a colour picture: key pixels white, others black.
    TBitmap mask(3, 2);
    TCanvas &m = mask.Canvas();
    m.Brush.Color = clBlue;
    m.FillRect(Rect(0, 0, 3, 2));
    m.SetPixels(1, 0, clRed);
    m.SetPixels(2, 1, clRed);
    m.Brush.Color = clRed;
    mask.SetMonochrome(true);
    EXPECT_EQ(map(m, clWhite), rows({".#.", "..#"}));
    EXPECT_EQ(map(m, clBlack), rows({"#.#", "##."}));

    TCanvas dst(4, 3);
    clear(dst, clGray);
    dst.SetTextColor(clBlack);
    dst.SetBkColor(clWhite);
    dst.Brush.Color = clLime;
    ASSERT_TRUE(BitBlt(dst, 1, 1, 3, 2, &mask.Canvas(), 0, 0, ROP_DSPDxax));
    EXPECT_EQ(map(dst, clLime), rows({"....", "..#.", "...#"}));
    EXPECT_EQ(map(dst, clGray), rows({"####", "##.#", "###."}));
}

TEST(TCanvas, CopiesFromAOneBitPictureUseTextAndBackgroundColours)
{
    TBitmap mono(2, 1);
    mono.Canvas().SetPixels(0, 0, clBlack);
    mono.Canvas().SetPixels(1, 0, clWhite);
    mono.SetPixelFormat(pf1bit); // brush white: white stays white
    TCanvas dst(2, 1);
    dst.SetTextColor(clRed);
    dst.SetBkColor(clBlue);
    BitBlt(dst, 0, 0, 2, 1, &mono.Canvas(), 0, 0, SRCCOPY);
    EXPECT_EQ(dst.Pixels(0, 0), clRed);
    EXPECT_EQ(dst.Pixels(1, 0), clBlue);
}

TEST(TCanvas, StretchAndTransparentDraw)
{
    TBitmap b(2, 2);
    b.Canvas().SetPixels(0, 0, clRed);
    b.Canvas().SetPixels(1, 0, clLime);
    b.Canvas().SetPixels(0, 1, clBlue); // bottom-left: the transparent colour
    b.Canvas().SetPixels(1, 1, clBlue);
    TCanvas c(4, 4);
    clear(c);
    b.StretchDraw(c, Rect(0, 0, 4, 4));
    EXPECT_EQ(map(c, clRed), rows({"##..", "##..", "....", "...."}));
    EXPECT_EQ(map(c, clBlue), rows({"....", "....", "####", "####"}));

    clear(c);
    b.SetTransparent(true);
    EXPECT_EQ(b.TransparentColor(), clBlue);
    b.Draw(c, 1, 1);
    EXPECT_EQ(map(c, kBack), rows({"####", "#..#", "####", "####"}));

    // Copy within one picture reads the source before writing.
    TCanvas s(4, 1);
    s.SetPixels(0, 0, clRed);
    s.SetPixels(1, 0, clLime);
    s.CopyRect(Rect(1, 0, 3, 1), s, Rect(0, 0, 2, 1));
    EXPECT_EQ(s.Pixels(1, 0), clRed);
    EXPECT_EQ(s.Pixels(2, 0), clLime);
}

TEST(TBitmap, SizeAssignAndMonochromeByKey)
{
    TBitmap b;
    EXPECT_TRUE(b.Empty());
    b.SetSize(3, 1);
    EXPECT_EQ(b.Canvas().Pixels(2, 0), clWhite);
    b.Canvas().SetPixels(0, 0, 0x00102030);
    b.Canvas().SetPixels(1, 0, 0x00102031);
    b.SetWidth(4);
    EXPECT_EQ(b.Canvas().Pixels(0, 0), 0x00102030u) << "resizing keeps the picture";

    TBitmap copy(b);
    copy.Canvas().SetPixels(0, 0, clBlack);
    EXPECT_EQ(b.Canvas().Pixels(0, 0), 0x00102030u) << "a copy has its own pixels";

    copy.Assign(b);
    copy.ConvertToMonochrome(0x00102030);
    EXPECT_TRUE(copy.Monochrome());
    EXPECT_EQ(copy.Canvas().Pixels(0, 0), clWhite);
    EXPECT_EQ(copy.Canvas().Pixels(1, 0), clBlack) << "only the exact key is white";
    EXPECT_EQ(copy.Canvas().Pixels(2, 0), clBlack);

    // Drawing on a one-bit picture gives the nearer of black and white.
    copy.Canvas().SetPixels(2, 0, clSilver);
    EXPECT_EQ(copy.Canvas().Pixels(2, 0), clWhite);
}

TEST(TImageList, MaskColourPixelsStayTransparent)
{
    TBitmap strip(6, 2);
    TCanvas &s = strip.Canvas();
    s.Brush.Color = clFuchsia;
    s.FillRect(Rect(0, 0, 6, 2));
    s.SetPixels(0, 0, clRed);
    s.SetPixels(4, 1, clLime);

    TImageList list(3, 2);
    EXPECT_EQ(list.AddMasked(strip, clFuchsia), 0);
    EXPECT_EQ(list.Count(), 2) << "a strip is cut into images of the list's width";

    TCanvas c(4, 3);
    clear(c, clGray);
    list.Draw(c, 1, 1, 1);
    EXPECT_EQ(map(c, clGray), rows({"####", "####", "##.#"}));
    EXPECT_EQ(c.Pixels(2, 2), clLime);
    list.Draw(c, 0, 0, 7); // no such image: nothing happens
    EXPECT_EQ(c.Pixels(0, 0), clGray);

    const QImage icon = list.ToQImage(0);
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 255);
    EXPECT_EQ(qAlpha(icon.pixel(1, 0)), 0);
    EXPECT_FALSE(list.ToQIcon(0).isNull());
}

// Text: positions and sizes against the font's own metrics, never glyph pixels.
class CanvasText : public ::testing::Test {
protected:
    TCanvas c{120, 40};
    QFontMetrics fm() const { return QFontMetrics(c.Font.ToQFont()); }
    void SetUp() override
    {
        c.Font.Height = -12;
        c.Font.Color = clBlack;
        clear(c);
    }
    // Box around every non-background pixel.
    TRect inked() const
    {
        TRect r{999, 999, -1, -1};
        for (int y = 0; y < c.Height(); ++y)
            for (int x = 0; x < c.Width(); ++x)
                if (c.Pixels(x, y) != kBack) {
                    r.Left = std::min(r.Left, x);
                    r.Top = std::min(r.Top, y);
                    r.Right = std::max(r.Right, x + 1);
                    r.Bottom = std::max(r.Bottom, y + 1);
                }
        return r;
    }
};

TEST_F(CanvasText, MeasuresWithTheFontsMetrics)
{
    EXPECT_EQ(c.TextWidth("Add Movie"), fm().horizontalAdvance("Add Movie"));
    EXPECT_EQ(c.TextHeight("Add Movie"), fm().height());
    EXPECT_EQ(c.TextExtent("Wy"), (TSize{fm().horizontalAdvance("Wy"), fm().height()}));
    const TTextMetric tm = c.GetTextMetrics();
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_EQ(tm.tmHeight, fm().height());
    EXPECT_GE(tm.tmHeight, 12);
}

TEST_F(CanvasText, CalcRectSizesAndPrefixes)
{
    TRect r = Rect(5, 7, 200, 7);
    const int h = c.DrawText("Add Movie", r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r, Rect(5, 7, 5 + fm().horizontalAdvance("Add Movie"), 7 + fm().height()));
    EXPECT_EQ(h, fm().height());

    auto width = [&](const QString &t, unsigned extra) {
        TRect m = Rect(0, 0, 100, 0);
        c.DrawText(t, m, DT_CALCRECT | DT_SINGLELINE | extra);
        return m.Width();
    };
    EXPECT_EQ(width("a&&b", 0), fm().horizontalAdvance("a&b"));
    EXPECT_EQ(width("&x", 0), fm().horizontalAdvance("x"));
    EXPECT_EQ(width("&Play", 0), fm().horizontalAdvance("Play"));
    EXPECT_EQ(width("a&&b", DT_NOPREFIX), fm().horizontalAdvance("a&&b"));
    EXPECT_EQ(width("&x", DT_NOPREFIX), fm().horizontalAdvance("&x"));
}

TEST_F(CanvasText, WordBreakWrapsAndWidensForLongWords)
{
    const QString text = "one two three";
    const int room = fm().horizontalAdvance("one two") + 1;
    TRect r = Rect(0, 0, room, 0);
    c.DrawText(text, r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    EXPECT_EQ(r.Height(), 2 * fm().height());
    EXPECT_EQ(r.Width(), std::max(fm().horizontalAdvance("one two"), fm().horizontalAdvance("three")));

    TRect narrow = Rect(0, 0, 3, 0);
    c.DrawText("unbreakable", narrow, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(narrow.Width(), fm().horizontalAdvance("unbreakable"));
    EXPECT_EQ(narrow.Height(), fm().height());

    TRect lines = Rect(0, 0, 100, 0);
    c.DrawText("a\nb", lines, DT_CALCRECT);
    EXPECT_EQ(lines.Height(), 2 * fm().height());
}

TEST_F(CanvasText, CentredTextAndOpaqueBackground)
{
    const TRect box = Rect(10, 5, 110, 35);
    c.SetBkMode(OPAQUE);
    c.SetBkColor(clYellow);
    c.DrawText("Wide", box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    const int w = fm().horizontalAdvance("Wide"), h = fm().height();
    const TRect cell = Bounds(10 + (100 - w) / 2, 5 + (30 - h) / 2, w, h);
    EXPECT_EQ(inked(), cell) << "the background cell is the text's measured box";

    clear(c);
    c.SetBkMode(TRANSPARENT);
    c.DrawText("Wide", box, DT_RIGHT | DT_SINGLELINE);
    const TRect ink = inked();
    EXPECT_LE(ink.Right, box.Right);
    EXPECT_GE(ink.Left, box.Right - w);
    EXPECT_EQ(c.Pixels(box.Right - w - 1, box.Top), kBack);

    clear(c);
    c.SetBkMode(OPAQUE);
    c.TextOut(3, 4, "Hi");
    EXPECT_EQ(inked(), Bounds(3, 4, fm().horizontalAdvance("Hi"), h));
    EXPECT_EQ(c.PenPos(), Point(3 + fm().horizontalAdvance("Hi"), 4));
}

TEST_F(CanvasText, TextIsClippedToItsRectangle)
{
    c.DrawText("WWWWWWWW", Rect(10, 5, 20, 35), DT_SINGLELINE);
    const TRect ink = inked();
    EXPECT_GE(ink.Left, 10);
    EXPECT_LE(ink.Right, 20);
}

TEST_F(CanvasText, MnemonicIsUnderlined)
{
    // The underline adds ink below the baseline under the marked letter only.
    c.DrawText("&x", Rect(0, 0, 100, 40), DT_SINGLELINE);
    TRect underlined = inked();
    clear(c);
    c.DrawText("x", Rect(0, 0, 100, 40), DT_SINGLELINE);
    TRect plain = inked();
    EXPECT_GT(underlined.Bottom, plain.Bottom);
    clear(c);
    c.DrawText("&&x", Rect(0, 0, 100, 40), DT_SINGLELINE);
    EXPECT_LE(inked().Right, fm().horizontalAdvance("&x"));
}
