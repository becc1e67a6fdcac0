// SPDX-License-Identifier: GPL-3.0-or-later
// The flat hint component and window: defaults, installation, the forwarded
// show-hint event, size and placement by the cursor, and the painted box.
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <set>
#include <utility>

#include "HintSettings.h"
#include "desktop/Cursor.h"
#include "desktop/Screens.h"
#include "desktop/WindowSystem.h"
#include "flat/TFlatHintUnit.h"
#include "framework/Controls.h"

using namespace framework;
using flat::TFlatHint;
using flat::TFlatHintWindow;

namespace {

constexpr unsigned MeasureFormat = DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX;

QRgb rgb(TColor c) { return ToQColor(c).rgb(); }

// The arrow with its tip at (0, 0) pointing up and left, as it is drawn for
// the top-left corner; the other corners mirror it.
constexpr const char *ArrowPicture[8] = {
    "#######.", "#######.", "#####...", "######..", "#######.", "##.#####", "##..####", ".....##.",
};

class FlatHintTest : public ::testing::Test {
protected:
    void SetUp() override { Application().SetMainForm(&form); }

    // The text's size as the hint font measures it within a width.
    static QSize measured(const QString &text, const TFont &font, int width)
    {
        TCanvas canvas;
        canvas.Font = font;
        TRect r = Rect(0, 0, width, 0);
        canvas.DrawText(text, r, MeasureFormat);
        return {r.Width(), r.Height()};
    }

    HintSettings settings;
    platform::ScreenOverride screens{{QRect(0, 0, 1024, 768), QRect(-800, 0, 800, 600)}};
    platform::CursorOverride cursor{QPoint(100, 100)};
    TForm form;
};

TEST_F(FlatHintTest, ANewComponentHasTheDefaultLook)
{
    TFlatHint hint(&form);
    EXPECT_EQ(hint.ColorBackground(), 0x00FFFFFFu);
    EXPECT_EQ(hint.ColorBorder(), 0x00000000u);
    EXPECT_EQ(hint.ColorArrowBackground(), 0x0053D2FFu);
    EXPECT_EQ(hint.ColorArrow(), 0x00000000u);
    EXPECT_EQ(hint.MaxHintWidth(), 200);
    EXPECT_EQ(hint.Font(), TFont());
    EXPECT_EQ(hint.Tag(), 0);
    EXPECT_FALSE(hint.OnShowHint);
    EXPECT_EQ(hint.parent(), &form);
}

TEST_F(FlatHintTest, TheColourSetterIsIndexedAndTheFontIsCopied)
{
    TFlatHint hint(&form);
    const TColor colours[] = {clYellow, clNavy, clTeal, clRed};
    for (int i = 0; i < 4; ++i)
        hint.SetColors(i, colours[i]);
    EXPECT_EQ(hint.ColorBackground(), clYellow);
    EXPECT_EQ(hint.ColorBorder(), clNavy);
    EXPECT_EQ(hint.ColorArrowBackground(), clTeal);
    EXPECT_EQ(hint.ColorArrow(), clRed);
    // An index outside the four colours changes nothing.
    hint.SetColors(4, clFuchsia);
    hint.SetColors(-1, clFuchsia);
    EXPECT_EQ(hint.ColorBackground(), clYellow);
    EXPECT_EQ(hint.ColorArrow(), clRed);

    TFont font;
    font.Name = QStringLiteral("Verdana");
    font.Height = -14;
    font.Color = clMaroon;
    hint.SetFont(font);
    font.Height = -20;
    EXPECT_EQ(hint.Font().Height, -14);
    EXPECT_EQ(hint.Font().Color, clMaroon);
}

TEST_F(FlatHintTest, CreatingItMakesFlatHintsTheApplicationsHints)
{
    TApplication &app = Application();
    app.SetShowHint(true);
    QPointer<THintWindow> before = app.HintWindow();
    TFlatHint hint(&form);
    EXPECT_EQ(app.HintWindowClass(), &CreateHintWindow<TFlatHintWindow>);
    EXPECT_TRUE(app.ShowHint());
    EXPECT_TRUE(before.isNull());
    EXPECT_NE(qobject_cast<TFlatHintWindow *>(app.HintWindow()), nullptr);
    EXPECT_EQ(app.HintPause(), 500);
    EXPECT_EQ(app.HintShortPause(), 25);
    EXPECT_EQ(app.HintHidePause(), 5000);
    EXPECT_TRUE(app.OnShowHint);
}

TEST_F(FlatHintTest, HintsSwitchedOffStayOff)
{
    TApplication &app = Application();
    app.SetShowHint(false);
    TFlatHint hint(&form);
    EXPECT_FALSE(app.ShowHint());
    EXPECT_EQ(app.HintWindow(), nullptr);
    app.SetShowHint(true);
    EXPECT_NE(qobject_cast<TFlatHintWindow *>(app.HintWindow()), nullptr);
}

TEST_F(FlatHintTest, ADesignedComponentLeavesTheApplicationAlone)
{
    TApplication &app = Application();
    app.SetHintPause(700);
    const THintWindowClass before = app.HintWindowClass();
    TFlatHint hint(&form, true);
    EXPECT_TRUE(hint.Designing());
    EXPECT_EQ(app.HintWindowClass(), before);
    EXPECT_EQ(app.HintPause(), 700);
    EXPECT_EQ(hint.MaxHintWidth(), 200);
}

TEST_F(FlatHintTest, TheShowHintEventIsForwardedUntilTheComponentGoes)
{
    TApplication &app = Application();
    auto first = std::make_unique<TFlatHint>(&form);
    int calls = 0;
    first->OnShowHint = [&](QString &text, bool &canShow, THintInfo &) {
        ++calls;
        text = QStringLiteral("changed");
        canShow = false;
    };
    QString text = QStringLiteral("Help?");
    bool canShow = true;
    THintInfo info;
    app.OnShowHint(text, canShow, info);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(text, QStringLiteral("changed"));
    EXPECT_FALSE(canShow);

    // Without a handler the values pass unchanged.
    first->OnShowHint = nullptr;
    text = QStringLiteral("Help?");
    canShow = true;
    app.OnShowHint(text, canShow, info);
    EXPECT_EQ(text, QStringLiteral("Help?"));
    EXPECT_TRUE(canShow);

    // The last one made forwards; removing an earlier one keeps that.
    auto second = std::make_unique<TFlatHint>(&form);
    int secondCalls = 0;
    second->OnShowHint = [&](QString &, bool &, THintInfo &) { ++secondCalls; };
    first.reset();
    ASSERT_TRUE(app.OnShowHint);
    app.OnShowHint(text, canShow, info);
    EXPECT_EQ(secondCalls, 1);
    // Removing the forwarding one detaches the event.
    second.reset();
    EXPECT_FALSE(app.OnShowHint);
}

TEST_F(FlatHintTest, TheWindowUsesTheFirstComponentOfTheMainForm)
{
    EXPECT_EQ(TFlatHintWindow::FindFlatHint(), nullptr);
    TForm otherForm;
    TFlatHint elsewhere(&otherForm);
    EXPECT_EQ(TFlatHintWindow::FindFlatHint(), nullptr);

    struct DerivedHint : TFlatHint {
        using TFlatHint::TFlatHint;
    };
    auto *derived = new DerivedHint(&form);
    auto *plain = new TFlatHint(&form);
    EXPECT_EQ(TFlatHintWindow::FindFlatHint(), derived);
    delete derived;
    EXPECT_EQ(TFlatHintWindow::FindFlatHint(), plain);
    Application().SetMainForm(nullptr);
    EXPECT_EQ(TFlatHintWindow::FindFlatHint(), nullptr);
}

TEST_F(FlatHintTest, InTheUpperLeftQuarterTheBoxLiesBelowRightOfTheCursor)
{
    TFlatHint hint(&form);
    TFlatHintWindow window;
    window.ActivateAtCursor(Rect(30, 40, 50, 60), QStringLiteral("Help?"));
    const QSize text = measured(QStringLiteral("Help?"), hint.Font(), 178);
    const int w = text.width() + 22, h = text.height() + 6;
    EXPECT_EQ(window.geometry(), QRect(112, 112, w, h));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.Caption(), QStringLiteral("Help?"));
    EXPECT_EQ(window.ArrowCorner(), flat::acTopLeft);
    EXPECT_EQ(window.HintComponent(), &hint);
    EXPECT_EQ(window.Canvas().Font, hint.Font());
    window.Render();
    EXPECT_EQ(window.ArrowAnchor(), Point(3, 3));
    EXPECT_EQ(TFlatHintWindow::ArrowPanelRect(flat::acTopLeft, w, h), Rect(1, 1, 15, h - 1));
    EXPECT_EQ(TFlatHintWindow::TextAreaRect(flat::acTopLeft, w, h), Rect(15, 1, w - 1, h - 1));
    // The painted frame is the whole border: no desktop frame around it.
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowTransparentForInput);
}

TEST_F(FlatHintTest, TheQuarterOfTheCursorChoosesSideAndGap)
{
    TFlatHint hint(&form);
    const QSize text = measured(QStringLiteral("Help?"), hint.Font(), 178);
    const int w = text.width() + 22, h = text.height() + 6;
    struct Case {
        QPoint cursor;
        flat::TArrowCorner corner;
        QPoint topLeft;
    };
    const Case cases[] = {
        {{900, 100}, flat::acTopRight, {900 - 5 - w, 105}},
        {{100, 700}, flat::acBottomLeft, {105, 700 - 5 - h}},
        {{900, 700}, flat::acBottomRight, {900 - 5 - w, 700 - 5 - h}},
        // The middle column belongs to the right, the middle row to the bottom.
        {{512, 100}, flat::acTopRight, {512 - 5 - w, 105}},
        {{511, 383}, flat::acTopLeft, {523, 395}},
        {{100, 384}, flat::acBottomLeft, {105, 384 - 5 - h}},
        // On the monitor left of the primary one, its own upper-right quarter.
        {{-50, 100}, flat::acTopRight, {-55 - w, 105}},
        // Off every screen: the lower-right rule.
        {{100, -20}, flat::acBottomRight, {95 - w, -25 - h}},
        {{1024, 100}, flat::acBottomRight, {1019 - w, 95 - h}},
        {{100, 768}, flat::acBottomRight, {95 - w, 763 - h}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.cursor.x() << "," << c.cursor.y());
        cursor.MoveTo(c.cursor);
        TFlatHintWindow window;
        window.ActivateAtCursor(Rect(0, 0, 0, 0), QStringLiteral("Help?"));
        EXPECT_EQ(window.ArrowCorner(), c.corner);
        EXPECT_EQ(window.geometry(), QRect(c.topLeft, QSize(w, h)));
    }
}

// Before, every hint on a monitor beside the primary one opened above-left
// of the pointer, the rule for a point off the primary screen.
TEST_F(FlatHintTest, OnAnotherMonitorTheQuartersAreThatMonitors)
{
    platform::ScreenOverride monitors{{QRect(0, 0, 1024, 768), QRect(1024, 0, 1280, 1024), QRect(-800, 0, 800, 600)}};
    TFlatHint hint(&form);
    const QSize text = measured(QStringLiteral("Help?"), hint.Font(), 178);
    TFlatHintWindow window;
    cursor.MoveTo({1100, 100});
    window.ActivateAtCursor(Rect(0, 0, 0, 0), QStringLiteral("Help?"));
    EXPECT_EQ(window.ArrowCorner(), flat::acTopLeft);
    EXPECT_EQ(window.pos(), QPoint(1112, 112));
    cursor.MoveTo({-700, 500});
    window.ActivateAtCursor(Rect(0, 0, 0, 0), QStringLiteral("Help?"));
    EXPECT_EQ(window.ArrowCorner(), flat::acBottomLeft);
    EXPECT_EQ(window.pos(), QPoint(-695, 495 - text.height() - 6));
}

TEST_F(FlatHintTest, WhereWindowsDoNotKnowTheirPlaceTheQuartersAreTheWindows)
{
    // Every window there says it is at 0/0, so the screen's quarters tell nothing.
    platform::WindowSystemOverride wayland(false, true);
    TFlatHint hint(&form);
    form.setGeometry(0, 0, 566, 439);
    auto *control = new TPanel(&form);
    TFlatHintWindow window;
    window.ActivateAtPoint(Rect(0, 0, 0, 0), QStringLiteral("Help?"), QPoint(400, 300), control);
    EXPECT_EQ(window.ArrowCorner(), flat::acBottomRight);
    window.ActivateAtPoint(Rect(0, 0, 0, 0), QStringLiteral("Help?"), QPoint(100, 300), control);
    EXPECT_EQ(window.ArrowCorner(), flat::acBottomLeft);
}

// A Wayland popup cannot move or grow once shown: the notice that grew by a
// line stood 52 px low. There a hint that changes is hidden and shown anew.
TEST_F(FlatHintTest, WhereWindowsDoNotKnowTheirPlaceAChangedHintIsShownAnew)
{
    platform::WindowSystemOverride wayland(false, true);
    TFlatHint hint(&form);
    TFlatHintWindow window;
    struct Hides : QObject {
        int count = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            count += e->type() == QEvent::Hide;
            return false;
        }
    } hides;
    window.installEventFilter(&hides);
    window.ActivateAtCursor(Rect(0, 0, 0, 0), QStringLiteral("Joined 3 files"));
    window.ActivateAtCursor(Rect(0, 0, 0, 0), QStringLiteral("Joined 3 files"));
    EXPECT_EQ(hides.count, 0) << "unchanged, it stays";
    window.ActivateAtCursor(Rect(0, 0, 0, 0), QStringLiteral("Joined 3 files\nThey play as one movie"));
    EXPECT_EQ(hides.count, 1);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(FlatHintTest, TextWrapsToTheMaximumWidthButALongWordWidensTheBox)
{
    TFlatHint hint(&form);
    TFlatHintWindow window;
    const QString words = QStringLiteral("Join the movies of the list end to end into the output file");
    window.ActivateAtCursor(Rect(0, 0, 0, 0), words);
    const QSize wrapped = measured(words, hint.Font(), 178);
    const int lineHeight = measured(QStringLiteral("x"), hint.Font(), 178).height();
    EXPECT_GT(wrapped.height(), lineHeight);
    EXPECT_LE(window.width(), 200);
    EXPECT_EQ(window.size(), QSize(wrapped.width() + 22, wrapped.height() + 6));

    // A narrower maximum takes effect at the next hint.
    hint.SetMaxHintWidth(100);
    window.ActivateAtCursor(Rect(0, 0, 0, 0), words);
    EXPECT_LE(window.width(), 100);

    const QString oneWord = QStringLiteral("C:/Movies/a_rather_long_folder_name/and_an_even_longer_file_name.mpg");
    window.ActivateAtCursor(Rect(0, 0, 0, 0), oneWord);
    EXPECT_GT(window.width(), 100);
    EXPECT_EQ(window.height(), lineHeight + 6);

    // A maximum narrower than the frame and panel still gives a box per word.
    hint.SetMaxHintWidth(10);
    window.ActivateAtCursor(Rect(0, 0, 0, 0), QStringLiteral("a b"));
    EXPECT_EQ(window.height(), 2 * lineHeight + 6);
}

TEST_F(FlatHintTest, AnAmpersandIsTextNotAPrefix)
{
    TFlatHint hint(&form);
    TFlatHintWindow window;
    window.ActivateAtCursor(Rect(0, 0, 0, 0), QStringLiteral("Save && Join"));
    TCanvas canvas;
    canvas.Font = hint.Font();
    EXPECT_EQ(window.width(), canvas.TextWidth(QStringLiteral("Save && Join")) + 22);
}

TEST_F(FlatHintTest, TheBoxIsPaintedInTheComponentsColours)
{
    TFlatHint hint(&form);
    hint.SetColorBorder(clNavy);
    hint.SetColorArrow(clRed);
    hint.SetColorArrowBackground(clYellow);
    hint.SetColorBackground(clAqua);
    const std::pair<QPoint, flat::TArrowCorner> corners[] = {
        {{100, 100}, flat::acTopLeft},
        {{900, 100}, flat::acTopRight},
        {{100, 700}, flat::acBottomLeft},
        {{900, 700}, flat::acBottomRight},
    };
    const QString text = QStringLiteral("Help me with this one\nplease");
    for (const auto &[at, corner] : corners) {
        SCOPED_TRACE(static_cast<int>(corner));
        cursor.MoveTo(at);
        TFlatHintWindow window;
        window.ActivateAtCursor(Rect(0, 0, 0, 0), text);
        ASSERT_EQ(window.ArrowCorner(), corner);
        const QImage picture = window.Render();
        const int w = picture.width(), h = picture.height();
        const bool left = corner == flat::acTopLeft || corner == flat::acBottomLeft;
        const bool top = corner == flat::acTopLeft || corner == flat::acTopRight;
        const TPoint anchor{left ? 3 : w - 4, top ? 3 : h - 4};
        EXPECT_EQ(window.ArrowAnchor(), anchor);

        // The border ring.
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(picture.pixel(x, 0), rgb(clNavy));
            EXPECT_EQ(picture.pixel(x, h - 1), rgb(clNavy));
        }
        for (int y = 0; y < h; ++y) {
            EXPECT_EQ(picture.pixel(0, y), rgb(clNavy));
            EXPECT_EQ(picture.pixel(w - 1, y), rgb(clNavy));
        }
        // The panel: the arrow at the anchor, panel colour around it.
        const TRect panel = TFlatHintWindow::ArrowPanelRect(corner, w, h);
        EXPECT_EQ(panel.Width(), 14);
        const int sx = left ? 1 : -1, sy = top ? 1 : -1;
        std::set<std::pair<int, int>> arrow;
        for (int dy = 0; dy < 8; ++dy)
            for (int dx = 0; dx < 8; ++dx)
                if (ArrowPicture[dy][dx] == '#')
                    arrow.insert({anchor.X + sx * dx, anchor.Y + sy * dy});
        for (int y = panel.Top; y < panel.Bottom; ++y)
            for (int x = panel.Left; x < panel.Right; ++x)
                EXPECT_EQ(picture.pixel(x, y), rgb(arrow.count({x, y}) ? clRed : clYellow)) << x << "," << y;
        // The text area's margins around the text rectangle.
        const TRect area = TFlatHintWindow::TextAreaRect(corner, w, h);
        EXPECT_EQ(area.Width(), w - 16);
        for (int y = area.Top; y < area.Bottom; ++y)
            for (int x : {area.Left, area.Left + 2, area.Right - 3, area.Right - 1})
                EXPECT_EQ(picture.pixel(x, y), rgb(clAqua)) << x << "," << y;
        for (int x = area.Left; x < area.Right; ++x) {
            EXPECT_EQ(picture.pixel(x, area.Top), rgb(clAqua));
            EXPECT_EQ(picture.pixel(x, area.Bottom - 1), rgb(clAqua));
        }
    }
}

TEST_F(FlatHintTest, ColourChangesShowAtTheNextPaint)
{
    auto hint = std::make_unique<TFlatHint>(&form);
    TFlatHintWindow window;
    window.ActivateAtCursor(Rect(0, 0, 0, 0), QStringLiteral("Help?"));
    const int w = window.width();
    EXPECT_EQ(window.Render().pixel(w - 2, 1), rgb(clWhite));
    hint->SetColorBackground(clLime);
    hint->SetColorArrowBackground(clSilver);
    EXPECT_EQ(window.Render().pixel(w - 2, 1), rgb(clLime));
    EXPECT_EQ(window.Render().pixel(1, window.height() - 2), rgb(clSilver));

    // Without a component the window keeps the default look.
    hint.reset();
    EXPECT_EQ(window.HintComponent(), nullptr);
    EXPECT_EQ(window.Render().pixel(w - 2, 1), rgb(0x00FFFFFF));
    EXPECT_EQ(window.Render().pixel(1, window.height() - 2), rgb(0x0053D2FF));
    window.ActivateAtCursor(Rect(0, 0, 0, 0), QStringLiteral("Help?"));
    EXPECT_EQ(window.width(), w);
}

TEST_F(FlatHintTest, HoveringAControlShowsItsHintInTheFlatWindow)
{
    TFlatHint hint(&form);
    TFont font;
    font.Name = QStringLiteral("MS Sans Serif");
    font.Height = -11;
    hint.SetFont(font);
    form.SetBounds(50, 50, 566, 200);
    auto *spot = new TImage(&form);
    spot->SetBounds(405, 11, 28, 27);
    spot->SetShowHint(true);
    spot->SetHint(QStringLiteral("Help?"));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QApplication::setActiveWindow(&form);
    QApplication::processEvents();

    const QPoint at = spot->mapToGlobal(QPoint(10, 10));
    cursor.MoveTo(at);
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(spot, &move);
    TApplication &app = Application();
    EXPECT_EQ(app.HintTimerInterval(), 500);
    app.FireHintTimer();
    auto *window = qobject_cast<TFlatHintWindow *>(app.HintWindow());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->Caption(), QStringLiteral("Help?"));
    EXPECT_EQ(window->ArrowCorner(), flat::acTopLeft); // (465, 71) is in the upper left
    EXPECT_EQ(window->pos(), at + QPoint(12, 12));
    EXPECT_EQ(app.HintTimerInterval(), 5000);
}

} // namespace
