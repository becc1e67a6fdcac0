// SPDX-License-Identifier: GPL-3.0-or-later
// The flat button driven by mouse, keyboard and accelerator; its pictures
// checked by pixel colours (never by glyph shapes).
#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

#include "desktop/Cursor.h"
#include "flat/TFlatButtonUnit.h"
#include "framework/Controls.h"

using namespace framework;
using flat::TFlatButton;

namespace {

TColor px(const QImage &img, int x, int y) { return FromQRgb(img.pixel(x, y)); }

// Box around the pixels inside the frame that differ from the fill.
QRect inkBox(const QImage &img, TColor fill)
{
    QRect box;
    for (int y = 1; y < img.height() - 1; ++y)
        for (int x = 1; x < img.width() - 1; ++x)
            if (px(img, x, y) != fill)
                box |= QRect(x, y, 1, 1);
    return box;
}

class FlatButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.SetBounds(200, 200, 300, 200);
        form.SetColor(clBlack);
        panel = new TPanel(&form);
        panel->SetBounds(0, 0, 300, 200);
        panel->SetColor(clBlack);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QApplication::setActiveWindow(&form);
    }

    // The "Add Movie" button of the main window.
    TFlatButton *addMovie()
    {
        auto *b = make(0, 2, 97, 35);
        b->SetColor(0x00D0B879);
        b->SetColorFocused(0x0000E100);
        b->SetColorBorder(clBlack);
        b->SetCaption(QStringLiteral("Add Movie"));
        b->SetLayout(flat::blGlyphLeft);
        return b;
    }

    TFlatButton *make(int left, int top, int width, int height)
    {
        auto *b = new TFlatButton(panel);
        b->SetBounds(left, top, width, height);
        b->show();
        b->OnClick = [this](QObject *sender) { clicks.push_back(sender); };
        return b;
    }

    static void mouse(QWidget *w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent e(type, p, w->mapToGlobal(p), button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    static void press(QWidget *w, QPoint p) { mouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton); }
    static void drag(QWidget *w, QPoint p) { mouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }
    static void release(QWidget *w, QPoint p) { mouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton); }
    void click(TFlatButton *b)
    {
        press(b, QPoint(5, 5));
        release(b, QPoint(5, 5));
    }
    // Moves the pointer onto the button, as the desktop would report it.
    void hover(TFlatButton *b, QPoint p)
    {
        cursor.MoveTo(b->mapToGlobal(p));
        mouse(b, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton);
    }

    platform::CursorOverride cursor{QPoint(0, 0)};
    TForm form;
    TPanel *panel = nullptr;
    std::vector<QObject *> clicks;
};

TEST_F(FlatButtonTest, PressMoveOutAndBackThenReleaseClicksOnlyInside)
{
    TFlatButton *b = make(10, 10, 60, 20);
    press(b, QPoint(5, 5));
    EXPECT_EQ(b->State(), flat::fbsPressed);
    EXPECT_TRUE(b->Tracking());
    EXPECT_TRUE(b->hasFocus());
    drag(b, QPoint(80, 5));
    EXPECT_EQ(b->State(), flat::fbsUp);
    drag(b, QPoint(6, 6));
    EXPECT_EQ(b->State(), flat::fbsPressed);
    release(b, QPoint(6, 6));
    EXPECT_EQ(b->State(), flat::fbsUp);
    EXPECT_FALSE(b->Tracking());
    EXPECT_EQ(clicks, std::vector<QObject *>{b});

    press(b, QPoint(5, 5));
    drag(b, QPoint(5, -3));
    release(b, QPoint(5, -3));
    EXPECT_EQ(b->State(), flat::fbsUp);
    EXPECT_EQ(clicks.size(), 1u);
}

TEST_F(FlatButtonTest, TheRowBelowCountsAsInsideTheColumnRightDoesNot)
{
    TFlatButton *b = make(10, 10, 60, 20);
    press(b, QPoint(5, 5));
    release(b, QPoint(5, 20));
    EXPECT_EQ(clicks.size(), 1u);
    press(b, QPoint(5, 5));
    release(b, QPoint(60, 5));
    EXPECT_EQ(clicks.size(), 1u);
    // Other mouse buttons do not press.
    mouse(b, QEvent::MouseButtonPress, QPoint(5, 5), Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(b->State(), flat::fbsUp);
    mouse(b, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(clicks.size(), 1u);
}

TEST_F(FlatButtonTest, GroupMembersLatchOneAtATime)
{
    TFlatButton *a = make(0, 0, 40, 20), *b = make(50, 0, 40, 20), *other = make(100, 0, 40, 20);
    a->SetGroupIndex(1);
    b->SetGroupIndex(1);
    other->SetGroupIndex(2);
    other->SetAllowAllUp(true);
    other->SetDown(true);

    click(a);
    EXPECT_TRUE(a->Down());
    EXPECT_EQ(a->State(), flat::fbsLatched);
    click(b);
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down());
    EXPECT_EQ(a->State(), flat::fbsUp);
    EXPECT_TRUE(other->Down()); // another group is left alone
    // A latched member stays down without AllowAllUp, and still clicks.
    click(b);
    EXPECT_TRUE(b->Down());
    EXPECT_EQ(b->State(), flat::fbsLatched);
    EXPECT_EQ(clicks, (std::vector<QObject *>{a, b, b}));

    // AllowAllUp reaches every member; then the latched one can be released.
    a->SetAllowAllUp(true);
    EXPECT_TRUE(b->AllowAllUp());
    click(b);
    EXPECT_FALSE(b->Down());
    EXPECT_EQ(b->State(), flat::fbsUp);
    EXPECT_EQ(clicks.size(), 4u);

    // Releasing a latched button outside keeps it latched and does not click.
    click(a);
    press(a, QPoint(5, 5));
    release(a, QPoint(5, 40));
    EXPECT_TRUE(a->Down());
    EXPECT_EQ(a->State(), flat::fbsLatched);
    EXPECT_EQ(clicks.size(), 5u);
}

TEST_F(FlatButtonTest, AnUngroupedButtonNeverLatches)
{
    TFlatButton *b = make(0, 0, 40, 20);
    b->SetDown(true);
    EXPECT_FALSE(b->Down());
    EXPECT_EQ(b->State(), flat::fbsUp);
}

TEST_F(FlatButtonTest, OnlyTheSpaceKeyPressesAndClicks)
{
    TFlatButton *b = make(0, 0, 40, 20);
    b->SetDefault(true);
    b->setFocus();
    ASSERT_TRUE(b->hasFocus());
    QTest::keyPress(b, Qt::Key_Space);
    EXPECT_EQ(b->State(), flat::fbsPressed);
    EXPECT_TRUE(clicks.empty());
    QTest::keyRelease(b, Qt::Key_Space);
    EXPECT_EQ(b->State(), flat::fbsUp);
    EXPECT_EQ(clicks.size(), 1u);
    QTest::keyClick(b, Qt::Key_Return);
    QTest::keyClick(b, Qt::Key_Enter);
    QTest::keyClick(b, Qt::Key_Escape);
    EXPECT_EQ(clicks.size(), 1u);

    // In a group: down latches, up clicks and stays latched without AllowAllUp.
    b->SetGroupIndex(3);
    QTest::keyPress(b, Qt::Key_Space);
    EXPECT_TRUE(b->Down());
    EXPECT_EQ(b->State(), flat::fbsLatched);
    QTest::keyRelease(b, Qt::Key_Space);
    EXPECT_TRUE(b->Down());
    EXPECT_EQ(clicks.size(), 2u);
    b->SetAllowAllUp(true);
    QTest::keyClick(b, Qt::Key_Space);
    EXPECT_FALSE(b->Down());
    EXPECT_EQ(b->State(), flat::fbsUp);
    EXPECT_EQ(clicks.size(), 3u);
}

TEST_F(FlatButtonTest, DisablingShowsTheDisabledStateUntilTheNextPaintAfterEnabling)
{
    TFlatButton *b = make(0, 0, 40, 20);
    b->setFocus();
    EXPECT_TRUE(b->Hot());
    b->setEnabled(false);
    EXPECT_EQ(b->State(), flat::fbsDisabled);
    EXPECT_FALSE(b->Hot());
    press(b, QPoint(5, 5)); // a disabled button does not press
    EXPECT_FALSE(b->Tracking());
    b->setEnabled(true);
    b->grab();
    EXPECT_EQ(b->State(), flat::fbsUp);

    b->SetGroupIndex(1);
    b->SetDown(true);
    b->setEnabled(false);
    b->grab();
    EXPECT_EQ(b->State(), flat::fbsDisabled);
    b->setEnabled(true);
    b->grab();
    EXPECT_EQ(b->State(), flat::fbsLatched);
}

TEST_F(FlatButtonTest, AddMovieIdleHotAndPressedPictures)
{
    TFlatButton *b = addMovie();
    const int w = b->width(), h = b->height();

    const QImage idle = b->grab().toImage();
    EXPECT_EQ(px(idle, 2, 2), 0x00D0B879u);
    EXPECT_EQ(px(idle, w - 3, h - 3), 0x00D0B879u);
    for (QPoint p : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1), QPoint(w / 2, 0)})
        EXPECT_EQ(px(idle, p.x(), p.y()), clBlack) << p.x() << "," << p.y();
    EXPECT_EQ(px(idle, 1, 1), 0x00D0B879u); // one pixel wide
    const QRect idleInk = inkBox(idle, 0x00D0B879);
    ASSERT_FALSE(idleInk.isEmpty());
    // The caption is centred across (no glyph, so the margin centres it).
    EXPECT_LE(std::abs(idleInk.left() - (w - 1 - idleInk.right())), 3);

    hover(b, QPoint(10, 10));
    ASSERT_TRUE(b->Hot());
    EXPECT_EQ(TFlatButton::HotButton(), b);
    const QImage hot = b->grab().toImage();
    EXPECT_EQ(px(hot, 2, 2), 0x0000E100u);
    EXPECT_EQ(px(hot, 0, 0), clWhite);
    EXPECT_EQ(px(hot, 0, h - 2), clWhite);
    EXPECT_EQ(px(hot, w - 2, 0), clWhite);
    EXPECT_EQ(px(hot, w - 1, 0), clBlack); // the top-right corner belongs to the bottom edge
    EXPECT_EQ(px(hot, w - 1, h - 1), clBlack);
    EXPECT_EQ(px(hot, 0, h - 1), clBlack);

    press(b, QPoint(10, 10));
    const QImage pressed = b->grab().toImage();
    EXPECT_EQ(px(pressed, 2, 2), 0x00C5D6D9u);
    EXPECT_EQ(px(pressed, 0, 0), clBlack);
    EXPECT_EQ(px(pressed, w - 1, h - 1), clWhite);
    EXPECT_EQ(px(pressed, w - 1, 0), clWhite);
    EXPECT_EQ(inkBox(pressed, 0x00C5D6D9), idleInk.translated(1, 1));
}

TEST_F(FlatButtonTest, CloseButtonFramesAreOneColour)
{
    TFlatButton *x = make(10, 10, 25, 17);
    x->SetColor(clSilver);
    x->SetColorBorder(0x00DDDDDD);
    x->SetColorHighLight(0x00FF2020);
    x->SetColorShadow(0x00FF2020);
    x->SetCaption(QStringLiteral("X"));
    auto corners = [](const QImage &img) {
        const int w = img.width(), h = img.height();
        return std::vector<TColor>{px(img, 0, 0),         px(img, w - 1, 0), px(img, 0, h - 1),
                                   px(img, w - 1, h - 1), px(img, w / 2, 0), px(img, 0, h / 2)};
    };
    EXPECT_EQ(corners(x->grab().toImage()), std::vector<TColor>(6, 0x00DDDDDD));
    hover(x, QPoint(3, 3));
    EXPECT_EQ(corners(x->grab().toImage()), std::vector<TColor>(6, 0x00FF2020));
    press(x, QPoint(3, 3));
    EXPECT_EQ(corners(x->grab().toImage()), std::vector<TColor>(6, 0x00FF2020));
}

TEST_F(FlatButtonTest, AGlyphsShapeSetsTheNumberOfImages)
{
    TFlatButton *b = make(0, 0, 40, 40);
    b->SetNumGlyphs(2);
    b->SetGlyph(TBitmap(40, 16));
    EXPECT_EQ(b->NumGlyphs(), 2);
    b->SetGlyph(TBitmap(64, 16));
    EXPECT_EQ(b->NumGlyphs(), 4);
    b->SetGlyph(TBitmap(96, 16));
    EXPECT_EQ(b->NumGlyphs(), 1);
    b->SetNumGlyphs(0); // no such count
    EXPECT_EQ(b->NumGlyphs(), 1);
    b->SetMargin(-2);
    EXPECT_EQ(b->Margin(), -1);
}

TEST_F(FlatButtonTest, GlyphCellsAreDrawnWithTheBottomLeftPixelTransparent)
{
    // Two cells on a fuchsia background: red square for up, blue for disabled.
    TBitmap glyph(32, 16);
    TCanvas &g = glyph.Canvas();
    g.Brush = {clFuchsia, bsSolid};
    g.FillRect(Rect(0, 0, 32, 16));
    g.Brush.Color = clRed;
    g.FillRect(Rect(4, 4, 12, 12));
    g.Brush.Color = clBlue;
    g.FillRect(Rect(20, 4, 28, 12));
    TFlatButton *b = make(0, 0, 40, 40);
    b->SetColor(clSilver);
    b->SetGlyph(glyph);
    ASSERT_EQ(b->NumGlyphs(), 2);
    QImage img = b->grab().toImage();
    const framework::TPoint o = b->GlyphOrigin();
    EXPECT_EQ(px(img, o.X + 8, o.Y + 8), clRed);
    EXPECT_EQ(px(img, o.X + 1, o.Y + 1), clSilver); // mask colour left out
    b->setEnabled(false);
    img = b->grab().toImage();
    EXPECT_EQ(px(img, b->GlyphOrigin().X + 8, b->GlyphOrigin().Y + 8), clBlue);
}

TEST_F(FlatButtonTest, TheHoverTimerLivesFromTheFirstButtonToTheLast)
{
    EXPECT_EQ(TFlatButton::ButtonCount(), 0);
    EXPECT_EQ(TFlatButton::HoverTimer(), nullptr);
    auto first = std::make_unique<TFlatButton>();
    QTimer *timer = TFlatButton::HoverTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 100);
    EXPECT_FALSE(timer->isActive());
    auto second = std::make_unique<TFlatButton>();
    EXPECT_EQ(TFlatButton::HoverTimer(), timer);
    EXPECT_EQ(TFlatButton::ButtonCount(), 2);
    first.reset();
    EXPECT_EQ(TFlatButton::HoverTimer(), timer);
    second.reset();
    EXPECT_EQ(TFlatButton::ButtonCount(), 0);
    EXPECT_EQ(TFlatButton::HoverTimer(), nullptr);
    TFlatButton third;
    EXPECT_NE(TFlatButton::HoverTimer(), nullptr);
}

TEST_F(FlatButtonTest, TheHotLookFollowsThePointerBetweenButtons)
{
    TFlatButton *a = make(0, 0, 40, 20), *b = make(50, 0, 40, 20);
    hover(a, QPoint(5, 5));
    EXPECT_TRUE(a->Hot());
    EXPECT_TRUE(TFlatButton::HoverTimer()->isActive());
    // Onto the other button: the first cools at once.
    hover(b, QPoint(5, 5));
    EXPECT_FALSE(a->Hot());
    EXPECT_TRUE(b->Hot());
    EXPECT_EQ(TFlatButton::HotButton(), b);
    // Away from every button: the next tick cools it and stops the timer.
    cursor.MoveTo(form.mapToGlobal(QPoint(150, 150)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !b->Hot(); }, 2000));
    EXPECT_EQ(TFlatButton::HotButton(), nullptr);
    EXPECT_FALSE(TFlatButton::HoverTimer()->isActive());
}

TEST_F(FlatButtonTest, AClickedButtonLosesTheHotLookWhenThePointerHasLeft)
{
    TFlatButton *b = make(0, 0, 40, 20);
    hover(b, QPoint(5, 5));
    press(b, QPoint(5, 5));
    // The pointer leaves while the button is held: it stays hot while tracking.
    cursor.MoveTo(form.mapToGlobal(QPoint(150, 150)));
    b->HoverTimerTick();
    EXPECT_TRUE(b->Hot());
    release(b, QPoint(5, 5));
    EXPECT_EQ(clicks.size(), 1u);
    EXPECT_FALSE(b->Hot());
    EXPECT_TRUE(b->hasFocus());
}

TEST_F(FlatButtonTest, AfterADialogOnlyTheButtonUnderThePointerIsHot)
{
    TFlatButton *saveAs = make(0, 0, 40, 20), *other = make(50, 0, 40, 20);
    saveAs->OnClick = [&](QObject *) {
        QDialog dialog(&form);
        QTimer::singleShot(0, &dialog, [&] {
            cursor.MoveTo(form.mapToGlobal(QPoint(150, 150)));
            dialog.accept();
        });
        dialog.exec();
    };
    hover(saveAs, QPoint(5, 5));
    click(saveAs);
    // The desktop makes the form active again, which gives the button its focus back.
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_TRUE(saveAs->hasFocus());
    EXPECT_FALSE(saveAs->Hot());
    hover(other, QPoint(5, 5));
    EXPECT_TRUE(other->Hot());
    EXPECT_FALSE(saveAs->Hot());
}

TEST_F(FlatButtonTest, AdvancedColoursComeFromTheParentColour)
{
    panel->SetColor(clGray);
    TFlatButton *b = make(0, 0, 40, 20);
    b->SetColor(clRed);
    b->SetUseAdvColors(true);
    EXPECT_TRUE(b->ParentColor());
    EXPECT_EQ(b->Color(), clGray);
    EXPECT_EQ(b->ColorFocused(), RGB(106, 106, 106));
    EXPECT_EQ(b->ColorDown(), clGray);
    EXPECT_EQ(b->ColorBorder(), RGB(85, 85, 85));
    // A new parent colour is followed at once.
    panel->SetColor(clBlack);
    EXPECT_EQ(b->Color(), clBlack);
    EXPECT_EQ(b->ColorFocused(), RGB(21, 21, 21));
    // Switched off, the derived colours stay.
    b->SetUseAdvColors(false);
    EXPECT_EQ(b->ColorFocused(), RGB(21, 21, 21));
}

TEST_F(FlatButtonTest, TheAcceleratorClicksAndLatches)
{
    TFlatButton *b = make(0, 0, 40, 20);
    b->SetCaption(QStringLiteral("&Add"));
    TFlatButton *plain = make(50, 0, 40, 20);
    plain->SetCaption(QStringLiteral("&&Bee"));
    EXPECT_FALSE(b->DialogChar(QChar('x')));
    EXPECT_FALSE(plain->DialogChar(QChar('b')));
    QTest::keyClick(&form, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(clicks, std::vector<QObject *>{b});
    b->SetGroupIndex(4);
    EXPECT_TRUE(b->DialogChar(QChar('A')));
    EXPECT_TRUE(b->Down());
    b->setEnabled(false);
    EXPECT_FALSE(b->DialogChar(QChar('a')));
    EXPECT_EQ(clicks.size(), 2u);
}

TEST_F(FlatButtonTest, EveryClickWritesTheModalResultToTheForm)
{
    TFlatButton *b = make(0, 0, 40, 20);
    form.SetModalResult(7);
    click(b);
    EXPECT_EQ(form.ModalResult(), 0);
    b->SetModalResult(2);
    click(b);
    EXPECT_EQ(form.ModalResult(), 2);
}

TEST_F(FlatButtonTest, DoubleClickFiresOnlyWhenLatched)
{
    TFlatButton *b = make(0, 0, 40, 20);
    int doubles = 0;
    b->OnDblClick = [&](QObject *) { ++doubles; };
    QTest::mouseDClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(doubles, 0);
    b->SetGroupIndex(1);
    b->SetDown(true);
    QTest::mouseDClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(doubles, 1);
}

} // namespace
