// SPDX-License-Identifier: GPL-3.0-or-later
// The XP menu renderer: properties, attaching, measuring and painted pixels.
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <cmath>
#include <gtest/gtest.h>

#include "desktop/SysColors.h"
#include "desktop/SystemParameters.h"
#include "framework/Controls.h"
#include "framework/Menus.h"
#include "framework/TImageList.h"
#include "xpmenu/XPMenu.h"

using namespace framework;
using xpmenu::TXPMenu;

namespace {

platform::LogFont testMenuFont(const QString &face = QStringLiteral("DejaVu Sans"))
{
    platform::LogFont f;
    f.faceName = face;
    f.height = -12;
    return f;
}

class XPMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::ResetSysColors();
        platform::SetDisplayBitsPerPixel(32);
        platform::SetNonClientMetricsProvider([](platform::NonClientMetrics &m) {
            m.menuFont = testMenuFont();
            return true;
        });
        form = std::make_unique<TForm>();
        pop = new TPopupMenu(form.get(), QStringLiteral("Pop1"));
    }
    void TearDown() override
    {
        form.reset();
        platform::SetNonClientMetricsProvider({});
        platform::SetDisplayBitsPerPixel(0);
        platform::ResetSysColors();
    }

    TMenuItem *add(const QString &caption, TMenuItem *under = nullptr)
    {
        auto *item = new TMenuItem(pop, QString(), caption);
        (under ? under : pop->Items())->Add(item);
        return item;
    }

    // The component as the main window stores it.
    TXPMenu *storedXPMenu()
    {
        auto *xp = new TXPMenu(form.get());
        TFont f;
        f.Name = QStringLiteral("DejaVu Sans");
        f.Charset = GB2312_CHARSET;
        f.Height = -12;
        f.Color = clMenuText;
        xp->SetFont(f);
        xp->SetSelectColor(0x00F8F9D9);
        xp->SetSelectBorderColor(clBlack);
        xp->SetSelectFontColor(clMenuText);
        xp->SetUseSystemColors(false);
        xp->SetGradient(true);
        xp->SetActive(true);
        return xp;
    }

    static TColor rgbOf(TColor c) { return ColorToRGB(c); }

    std::unique_ptr<TForm> form;
    TPopupMenu *pop = nullptr;
};

TEST_F(XPMenuTest, DefaultsAndTheMenuFontRule)
{
    platform::SetNonClientMetricsProvider([](platform::NonClientMetrics &m) {
        EXPECT_EQ(m.cbSize, 340u);
        m.menuFont = testMenuFont(QStringLiteral("MS Sans Serif"));
        return true;
    });
    TXPMenu xp(form.get());
    EXPECT_EQ(xp.Font().Name, QStringLiteral("Tahoma"));
    EXPECT_EQ(xp.Font().Height, -12);
    EXPECT_EQ(xp.Font().Color, clMenuText);
    EXPECT_EQ(xp.SelectFontColor(), clMenuText);
    EXPECT_EQ(xp.Color(), clBtnFace);
    EXPECT_EQ(xp.IconBackColor(), clBtnFace);
    EXPECT_EQ(xp.MenuBarColor(), clBtnFace);
    EXPECT_EQ(xp.SelectColor(), clHighlight);
    EXPECT_EQ(xp.SelectBorderColor(), clHighlight);
    EXPECT_EQ(xp.DisabledColor(), clInactiveCaption);
    EXPECT_EQ(xp.SeparatorColor(), clBtnFace);
    EXPECT_EQ(xp.CheckedColor(), clHighlight);
    EXPECT_EQ(xp.IconWidth(), 24);
    EXPECT_TRUE(xp.DrawSelect());
    EXPECT_TRUE(xp.UseSystemColors());
    EXPECT_FALSE(xp.OverrideOwnerDraw() || xp.Gradient() || xp.FlatMenu() || xp.AutoDetect() || xp.Active());

    // A failed request leaves the font as it was, colour included.
    platform::SetNonClientMetricsProvider([](platform::NonClientMetrics &) { return false; });
    TXPMenu plain(form.get());
    EXPECT_EQ(plain.Font(), TFont());
    EXPECT_EQ(plain.SelectFontColor(), TFont().Color);
}

TEST_F(XPMenuTest, ColourHelpersRoundHalvesToEvenAndClamp)
{
    TCanvas c(1, 1);
    EXPECT_EQ(TXPMenu::LightenColor(c, 0x00F8F9D9, 75), RGB(245, 253, 253));
    EXPECT_EQ(TXPMenu::LightenColor(c, 0x00F8F9D9, 50), RGB(236, 252, 252));
    EXPECT_EQ(TXPMenu::LightenColor(c, clBlack, 250), clWhite); // capped at 100
    EXPECT_EQ(TXPMenu::DarkenColor(c, RGB(200, 100, 50), 30), RGB(170, 72, 20));
    EXPECT_EQ(TXPMenu::DarkenColor(c, RGB(10, 250, 240), 20), RGB(0, 232, 220));
    EXPECT_EQ(TXPMenu::DarkenColor(c, RGB(100, 100, 230), -40), RGB(140, 142, 255));
    EXPECT_EQ(TXPMenu::GreyLevelColor(c, RGB(30, 60, 90), 10), RGB(70, 70, 70));
    EXPECT_EQ(TXPMenu::GreyLevelColor(c, RGB(200, 220, 240), 100), RGB(240, 240, 240));
    // System colours are resolved first.
    platform::SetSysColor(platform::COLOR_BTNFACE, RGB(100, 100, 100));
    EXPECT_EQ(TXPMenu::DarkenColor(c, clBtnFace, 90), RGB(10, 12, 10));
    // A 256-colour display answers with a palette colour.
    platform::SetDisplayBitsPerPixel(8);
    EXPECT_EQ(TXPMenu::LightenColor(c, RGB(250, 2, 3), 0), clRed);
}

TEST_F(XPMenuTest, PaletteFollowsTheSwitchesAndTheDepth)
{
    TXPMenu xp(form.get());
    xp.SetUseSystemColors(false);
    xp.SetSelectColor(0x00F8F9D9);
    xp.SetSeparatorColor(clRed);
    TCanvas c(1, 1);
    xp.RefreshPaintColors(c);
    const auto &p = xp.PaintColors();
    EXPECT_TRUE(p.HighColor);
    EXPECT_EQ(p.SelectBack, 0x00F8F9D9u);
    EXPECT_EQ(p.SeparatorLine, clRed);
    EXPECT_EQ(p.CheckFill, RGB(245, 253, 253));
    EXPECT_EQ(p.CheckFillSelected, RGB(236, 252, 252));
    EXPECT_EQ(p.FrameDark, TXPMenu::DarkenColor(c, clBtnFace, 90));

    platform::SetDisplayBitsPerPixel(8);
    xp.RefreshPaintColors(c);
    EXPECT_FALSE(p.HighColor);
    EXPECT_EQ(p.CheckFill, clWhite);
    EXPECT_EQ(p.CheckFillSelected, clSilver);
    EXPECT_EQ(p.FrameDark, clBtnShadow);

    // With system colours the properties stop mattering, and the font is the desktop's.
    platform::SetDisplayBitsPerPixel(32);
    xp.SetUseSystemColors(true);
    TFont f;
    f.Name = QStringLiteral("Other");
    xp.SetFont(f);
    xp.RefreshPaintColors(c);
    const TColor before = p.SelectBack;
    xp.SetSelectColor(clLime);
    xp.RefreshPaintColors(c);
    EXPECT_EQ(p.SelectBack, before);
    EXPECT_EQ(p.SelectBack, TXPMenu::LightenColor(c, clHighlight, 68));
    EXPECT_EQ(p.SeparatorLine, TXPMenu::LightenColor(c, clBtnShadow, 25));
    EXPECT_EQ(xp.Font().Name, QStringLiteral("DejaVu Sans"));
}

TEST_F(XPMenuTest, AttachingKeepsOwnPaintersAndDetachingRemovesOnlyItsOwn)
{
    TMenuItem *a = add(QStringLiteral("A"));
    TMenuItem *b = add(QStringLiteral("B"));
    TMenuItem *sub = add(QStringLiteral("Sub"), b);
    int ownDraws = 0;
    a->OnDrawItem = [&](QObject *, TCanvas &, TRect, bool) { ++ownDraws; };
    auto *empty = new TPopupMenu(form.get());
    empty->SetOwnerDraw(true);

    TXPMenu xp(form.get());
    xp.SetActive(true);
    EXPECT_TRUE(pop->OwnerDraw());
    EXPECT_TRUE(empty->OwnerDraw()); // a menu without items is left alone
    EXPECT_EQ(a->OnDrawItem.Code, nullptr);
    EXPECT_NE(a->OnMeasureItem.Code, nullptr);
    EXPECT_NE(b->OnDrawItem.Code, nullptr);
    EXPECT_NE(sub->OnDrawItem.Code, nullptr);

    TCanvas c(100, 20);
    a->DrawItem(c, Rect(0, 0, 100, 20), false);
    EXPECT_EQ(ownDraws, 1);

    xp.SetActive(false);
    EXPECT_FALSE(pop->OwnerDraw());
    EXPECT_TRUE(empty->OwnerDraw());
    EXPECT_TRUE(static_cast<bool>(a->OnDrawItem));
    EXPECT_FALSE(a->OnMeasureItem || b->OnDrawItem || b->OnMeasureItem || sub->OnDrawItem);

    // Under OverrideOwnerDraw the item's own painter is replaced and gone for good.
    xp.SetActive(true);
    xp.SetOverrideOwnerDraw(true);
    EXPECT_NE(a->OnDrawItem.Code, nullptr);
    xp.SetActive(false);
    EXPECT_FALSE(a->OnDrawItem);
}

TEST_F(XPMenuTest, HandlersDoNothingWhileInactiveOrAfterTheComponentIsGone)
{
    TMenuItem *a = add(QStringLiteral("A"));
    auto xp = std::make_unique<TXPMenu>(form.get());
    xp->SetActive(true);
    const TMenuMeasureItemEvent kept = a->OnMeasureItem;
    int w = 3, h = 4;
    TCanvas c(1, 1);
    xp->SetActive(false);
    xp->MenuItemMeasure(a, c, w, h);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 4);
    xp->SetActive(true);
    xp.reset();
    EXPECT_FALSE(a->OnMeasureItem); // the destructor detached
    kept(a, c, w, h);               // a copy left behind is harmless
    EXPECT_EQ(w, 3);
}

TEST_F(XPMenuTest, AutoDetectAndLateItemsGetTheHandlers)
{
    TXPMenu xp(form.get());
    xp.SetAutoDetect(true);
    new TPopupMenu(form.get()); // a menu is not an item
    EXPECT_FALSE(xp.Active());
    TMenuItem *first = add(QStringLiteral("First"));
    EXPECT_TRUE(xp.Active());
    // Items get the handlers as they join a menu of the form.
    EXPECT_NE(first->OnDrawItem.Code, nullptr);

    xp.SetAutoDetect(false);
    TMenuItem *late = add(QStringLiteral("Late"));
    TMenuItem *child = add(QStringLiteral("Child"), late);
    EXPECT_EQ(late->OnDrawItem.Code, first->OnDrawItem.Code);
    EXPECT_EQ(child->OnMeasureItem.Code, first->OnMeasureItem.Code);

    // Painting an item changes no item's handlers.
    late->OnDrawItem = {};
    TCanvas c(100, 20);
    first->DrawItem(c, Rect(0, 0, 100, 20), false);
    EXPECT_FALSE(late->OnDrawItem);
}

TEST_F(XPMenuTest, MeasuresCaptionsShortcutsSeparatorsAndImages)
{
    TXPMenu *xp = storedXPMenu();
    TCanvas c(1, 1);
    c.Font = xp->Font();
    const int th = c.TextHeight(QStringLiteral("W"));
    const int itemHeight = th + static_cast<int>(std::nearbyint(th * 0.75));

    auto measure = [&](TMenuItem *item, int w = 0, int h = 0) {
        item->MeasureItem(c, w, h);
        return std::pair{w, h};
    };
    TMenuItem *plain = add(QStringLiteral("Delete All"));
    TMenuItem *amp = add(QStringLiteral("&Save && &Quit"));
    TMenuItem *shortcut = add(QStringLiteral("Open"));
    shortcut->SetShortCut(Qt::CTRL | Qt::Key_O);
    TMenuItem *line = add(QStringLiteral("-"));
    TImageList images(16, 16);
    pop->SetImages(&images);
    TMenuItem *pictured = add(QStringLiteral("Add Movie"));
    pictured->SetImageIndex(0);
    xp->SetActive(true);

    EXPECT_EQ(measure(plain), std::pair(c.TextWidth(QStringLiteral("Delete All")) + 24 + 10, itemHeight));
    // A larger incoming size stays.
    EXPECT_EQ(measure(plain, 1000, 90), std::pair(1000, 90));

    EXPECT_EQ(measure(amp).first, c.TextWidth(amp->Caption()) - c.TextWidth(QStringLiteral("&")) + 34);

    EXPECT_EQ(measure(shortcut).first, c.TextWidth(QStringLiteral("OpenCtrl+OWWW")) + 34);

    EXPECT_EQ(measure(line, 0, 50), std::pair(34, 4));

    xp->SetIconWidth(10);
    EXPECT_EQ(measure(pictured).first, c.TextWidth(QStringLiteral("Add Movie")) + 16 + 10);
    EXPECT_GE(measure(pictured).second, 20);
}

TEST_F(XPMenuTest, MenuBarItemsGetNoIconColumnMinimum)
{
    auto *main = new TMainMenu(form.get(), QStringLiteral("MainMenu1"));
    form->SetMenu(main);
    auto *file = new TMenuItem(main, QString(), QStringLiteral("File"));
    main->Items()->Add(file);
    auto *open = new TMenuItem(main, QString(), QStringLiteral("Open"));
    file->Add(open);
    TXPMenu *xp = storedXPMenu();
    EXPECT_EQ(xp->ItemImageSize(file).cx, 0);
    EXPECT_EQ(xp->ItemImageSize(open).cx, 24);
}

// ---------------------------------------------------------------------------
// Painted pixels

class XPPaintTest : public XPMenuTest {
protected:
    void SetUp() override
    {
        XPMenuTest::SetUp();
        xp = storedXPMenu();
    }
    QImage paint(TMenuItem *item, bool selected, int w = 160, int h = 22)
    {
        TCanvas c(w, h);
        xp->PaintMenuItem(item, c, Rect(0, 0, w, h), selected);
        return c.Image();
    }
    static TColor at(const QImage &img, int x, int y) { return FromQRgb(img.pixel(x, y)); }
    static bool contains(const QImage &img, TColor colour)
    {
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (at(img, x, y) == colour)
                    return true;
        return false;
    }
    TColor lighten(TColor c, int p) const { return TXPMenu::LightenColor(TCanvas(1, 1), c, p); }
    TXPMenu *xp = nullptr;
};

TEST_F(XPPaintTest, GradientClimbsFastOverTheIconColumnThenSlowly)
{
    const QImage img = paint(add(QStringLiteral("-")), false, 160, 8);
    EXPECT_EQ(at(img, 0, 0), lighten(clBtnFace, 1));
    EXPECT_EQ(at(img, 1, 5), lighten(clBtnFace, 4));
    EXPECT_EQ(at(img, 28, 0), lighten(clBtnFace, 85));
    EXPECT_EQ(at(img, 29, 0), lighten(clBtnFace, 86));
    EXPECT_EQ(at(img, 39, 0), lighten(clBtnFace, 96));
    EXPECT_EQ(at(img, 159, 0), lighten(clBtnFace, 96));

    // Without the gradient, or on a shallow display: a plain column and background.
    xp->SetGradient(false);
    xp->SetColor(clWhite);
    xp->SetIconBackColor(clAqua);
    QImage flat = paint(add(QStringLiteral("X")), false);
    EXPECT_EQ(at(flat, 0, 0), clAqua);
    EXPECT_EQ(at(flat, 23, 21), clAqua);
    EXPECT_EQ(at(flat, 24, 0), clWhite);
    xp->SetGradient(true);
    platform::SetDisplayBitsPerPixel(8);
    flat = paint(add(QStringLiteral("X")), false);
    EXPECT_EQ(at(flat, 23, 10), clAqua);
    EXPECT_EQ(at(flat, 150, 10), clWhite);
}

TEST_F(XPPaintTest, SelectionBarHasItsFillAndBorder)
{
    TMenuItem *item = add(QStringLiteral("Move up"));
    QImage img = paint(item, true);
    EXPECT_EQ(at(img, 0, 0), lighten(clBtnFace, 1)); // the top row is left out
    EXPECT_EQ(at(img, 0, 1), clBlack);
    EXPECT_EQ(at(img, 159, 21), clBlack); // bottom row = rect bottom (extended by one, less one)
    EXPECT_EQ(at(img, 159, 10), clBlack);
    EXPECT_EQ(at(img, 1, 2), 0x00F8F9D9u);
    EXPECT_EQ(at(img, 158, 20), 0x00F8F9D9u);

    xp->SetFlatMenu(true);
    img = paint(item, true);
    EXPECT_EQ(at(img, 158, 10), clBlack);
    EXPECT_EQ(at(img, 159, 10), lighten(clBtnFace, 96));

    // A selected disabled item gets no bar; without DrawSelect nothing does.
    item->SetEnabled(false);
    img = paint(item, true);
    EXPECT_FALSE(contains(img, 0x00F8F9D9));
    item->SetEnabled(true);
    xp->SetDrawSelect(false);
    EXPECT_FALSE(contains(paint(item, true), 0x00F8F9D9));
}

TEST_F(XPPaintTest, SeparatorLineLiesHalfWayDownAndStartsPastTheColumn)
{
    xp->SetSeparatorColor(clRed);
    const QImage img = paint(add(QStringLiteral("-")), false, 100, 4);
    for (int x = 0; x < 100; ++x) {
        EXPECT_EQ(at(img, x, 2) == clRed, x >= 24 + 7) << x;
        EXPECT_NE(at(img, x, 1), clRed);
        EXPECT_NE(at(img, x, 3), clRed);
    }
}

TEST_F(XPPaintTest, CheckAndRadioMarks)
{
    xp->SetCheckedColor(clBlue);
    TMenuItem *item = add(QStringLiteral("Checked"));
    item->SetChecked(true);
    QImage img = paint(item, false);
    // The 10 x 10 box is centred in the 24 x 23 column: (7, 6)-(17, 16).
    EXPECT_EQ(at(img, 7, 6), clBlue);
    EXPECT_EQ(at(img, 16, 15), clBlue);
    EXPECT_EQ(at(img, 8, 7), RGB(245, 253, 253)); // filled with the light select colour
    EXPECT_EQ(at(img, 8, 11), clBlack);           // first tick stroke starts at (L + 1, T + 5)
    EXPECT_EQ(at(img, 18, 6), clBlack);           // the long stroke reaches past the box
    img = paint(item, true);
    EXPECT_EQ(at(img, 8, 7), RGB(236, 252, 252));

    item->SetRadioItem(true);
    img = paint(item, false);
    EXPECT_EQ(at(img, 12, 11), RGB(245, 253, 253));   // the circle's inside
    EXPECT_EQ(at(img, 12, 6), clBlack);               // its rim in the select border colour
    EXPECT_EQ(at(img, 7, 6), lighten(clBtnFace, 22)); // corners stay background
    item->SetChecked(false);
    EXPECT_FALSE(contains(paint(item, false), RGB(245, 253, 253)));
}

TEST_F(XPPaintTest, TextColoursForNormalSelectedAndDisabledItems)
{
    xp->SetGradient(false);
    xp->SetColor(clWhite);
    TFont f = xp->Font();
    f.Color = clRed;
    xp->SetFont(f);
    xp->SetSelectFontColor(clBlue);
    xp->SetDisabledColor(RGB(0, 128, 0));
    TMenuItem *item = add(QStringLiteral("MMMM"));
    EXPECT_TRUE(contains(paint(item, false), clRed));
    EXPECT_TRUE(contains(paint(item, true), clBlue));
    item->SetEnabled(false);
    QImage img = paint(item, false);
    EXPECT_TRUE(contains(img, RGB(0, 128, 0)));
    EXPECT_FALSE(contains(img, clRed));
    img = paint(item, true);
    EXPECT_TRUE(contains(img, lighten(RGB(0, 128, 0), 10)));
}

TEST_F(XPPaintTest, ItemImagesAreFadedRaisedAndGreyed)
{
    xp->SetGradient(false);
    TImageList images(16, 16);
    TBitmap pic(16, 16);
    pic.Canvas().Brush = {clFuchsia, bsSolid};
    pic.Canvas().FillRect(Rect(0, 0, 16, 16));
    pic.Canvas().Brush = {RGB(0, 0, 200), bsSolid};
    pic.Canvas().FillRect(Rect(4, 4, 12, 12));
    images.AddMasked(pic, clFuchsia);
    pop->SetImages(&images);
    TMenuItem *item = add(QStringLiteral("Add Movie"));
    item->SetImageIndex(0);

    // At rest: x = (24 - 16) / 2 - 1 = 3, y = 4; the square is faded 30 %.
    QImage img = paint(item, false);
    EXPECT_EQ(at(img, 3 + 4, 4 + 4), lighten(RGB(0, 0, 200), 30));
    EXPECT_EQ(at(img, 3 + 3, 4 + 4), ColorToRGB(clBtnFace)); // transparent around it

    // Selected: raised one up and left, shadow one right and down of the rest place.
    img = paint(item, true);
    EXPECT_EQ(at(img, 2 + 4, 3 + 4), RGB(0, 0, 200));
    const TColor shadow = TXPMenu::DarkenColor(TCanvas(1, 1), 0x00F8F9D9, 50);
    EXPECT_EQ(at(img, 4 + 11, 5 + 11), shadow);

    item->SetEnabled(false);
    img = paint(item, false);
    EXPECT_EQ(at(img, 3 + 4, 4 + 4), RGB(126, 126, 126)); // 200 / 3 + 60
}

TEST_F(XPPaintTest, ImageEffectsWorkInPlace)
{
    TBitmap bmp(3, 1);
    bmp.Canvas().SetPixels(0, 0, RGB(0, 0, 0));
    bmp.Canvas().SetPixels(1, 0, RGB(0, 0, 0));
    bmp.Canvas().SetPixels(2, 0, RGB(100, 100, 100));
    TXPMenu::FadeImage(bmp, 50);
    EXPECT_EQ(bmp.Canvas().Pixels(1, 0), RGB(128, 128, 128));
    EXPECT_EQ(bmp.Canvas().Pixels(2, 0), RGB(178, 178, 178));
    TXPMenu::GreyOutImage(bmp, 100);
    EXPECT_EQ(bmp.Canvas().Pixels(0, 0), RGB(228, 228, 228));
    EXPECT_EQ(bmp.Canvas().Pixels(2, 0), RGB(240, 240, 240));

    TBitmap shape(2, 2);
    shape.Canvas().Brush = {clWhite, bsSolid};
    shape.Canvas().FillRect(Rect(0, 0, 2, 2));
    shape.Canvas().SetPixels(1, 0, clRed);
    TCanvas target(4, 4);
    TXPMenu::PaintImageShadow(shape, target, 1, 1, clNavy);
    EXPECT_EQ(target.Pixels(2, 1), clNavy);
    EXPECT_EQ(target.Pixels(1, 1), clWhite);
    EXPECT_EQ(target.Pixels(1, 2), clWhite);
}

TEST_F(XPPaintTest, MenuBarTabWithSoftShadowOrSimpleFrame)
{
    auto *main = new TMainMenu(form.get(), QStringLiteral("MainMenu1"));
    auto *file = new TMenuItem(main, QString(), QStringLiteral("File"));
    main->Items()->Add(file);
    xp->SetMenuBarColor(RGB(200, 200, 200));
    xp->SetIconBackColor(clWhite);
    TCanvas probe(1, 1);
    const TColor dark = TXPMenu::DarkenColor(probe, clBtnFace, 90);

    QImage img = paint(file, true, 60, 20); // R bottom becomes 21
    EXPECT_EQ(at(img, 0, 0), dark);
    EXPECT_EQ(at(img, 0, 19), dark);
    EXPECT_EQ(at(img, 52, 0), dark); // Rt - 8
    EXPECT_EQ(at(img, 5, 5) == clWhite || at(img, 5, 5) != dark, true);
    EXPECT_EQ(at(img, 58, 0), TXPMenu::DarkenColor(probe, RGB(200, 200, 200), 10));
    EXPECT_EQ(at(img, 59, 1), RGB(200, 200, 200)); // the rounded upper end
    EXPECT_EQ(at(img, 54, 19), TXPMenu::DarkenColor(probe, RGB(200, 200, 200), 100));
    // Not selected: the bar colour only.
    EXPECT_EQ(at(paint(file, false, 60, 20), 0, 0), RGB(200, 200, 200));

    platform::SetDisplayBitsPerPixel(8);
    img = paint(file, true, 60, 20);
    EXPECT_EQ(at(img, 57, 0), ColorToRGB(clBtnShadow)); // Rt - 3
    EXPECT_EQ(at(img, 58, 1), clWhite);
    EXPECT_EQ(at(img, 58, 2), ColorToRGB(clBtnShadow));
    EXPECT_EQ(at(img, 59, 19), ColorToRGB(clBtnShadow));
}

// ---------------------------------------------------------------------------
// Through a real Qt menu

TEST_F(XPPaintTest, QtMenuAsksTheItemsToMeasureAndPaint)
{
    add(QStringLiteral("Add Movie"));
    add(QStringLiteral("-"));
    add(QStringLiteral("Delete All"));
    xp->SetActive(true);
    std::unique_ptr<QMenu> menu = pop->BuildMenu();
    menu->resize(menu->sizeHint());
    const QImage img = menu->grab().toImage();

    TCanvas c(1, 1);
    c.Font = xp->Font();
    const int th = c.TextHeight(QStringLiteral("W"));
    const int itemHeight = th + static_cast<int>(std::nearbyint(th * 0.75));
    EXPECT_EQ(img.height(), 2 * itemHeight + 4 + 6);
    const int widest = std::max(c.TextWidth(QStringLiteral("Add Movie")), c.TextWidth(QStringLiteral("Delete All")));
    EXPECT_EQ(img.width(), widest + 34 + 13 + 6);
    // First column of the first item, inside the 3-pixel border.
    EXPECT_EQ(FromQRgb(img.pixel(3, 3)), lighten(clBtnFace, 1));
    EXPECT_EQ(FromQRgb(img.pixel(3 + 39, 3 + itemHeight + 1)), lighten(clBtnFace, 96));
    // The separator line, in the separator colour (the button face here), past the column.
    EXPECT_EQ(FromQRgb(img.pixel(3 + 40, 3 + itemHeight + 2)), ColorToRGB(clBtnFace));
}

TEST_F(XPPaintTest, FlatMenuFrameIsPaintedOverTheBorder)
{
    xp->SetFlatMenu(true);
    add(QStringLiteral("Add Movie"));
    xp->SetActive(true);
    std::unique_ptr<QMenu> menu = pop->BuildMenu();
    menu->resize(menu->sizeHint());
    const QImage img = menu->grab().toImage();
    const int w = img.width(), h = img.height();
    TCanvas probe(1, 1);
    const TColor dark = TXPMenu::DarkenColor(probe, clBtnFace, 90);
    const TColor light = TXPMenu::DarkenColor(probe, clBtnFace, 76);
    EXPECT_EQ(FromQRgb(img.pixel(0, 0)), dark);
    EXPECT_EQ(FromQRgb(img.pixel(w - 3, h - 3)), dark);
    EXPECT_EQ(FromQRgb(img.pixel(w - 1, h - 1)), light);
    EXPECT_EQ(FromQRgb(img.pixel(w - 1, 0)), ColorToRGB(clBtnFace)); // IconBack corner
    EXPECT_EQ(FromQRgb(img.pixel(1, 5)), ColorToRGB(clBtnFace));     // IconBack down the left
}

} // namespace
