// SPDX-License-Identifier: GPL-3.0-or-later
// The application's hint machinery: when a hint shows, switches and hides,
// which control's hint it is, the show-hint event, and the standard hint window.
#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

#include "HintSettings.h"
#include "desktop/Cursor.h"
#include "desktop/Desktop.h"
#include "desktop/Screens.h"
#include "framework/Controls.h"
#include "framework/TApplication.h"
#include "framework/THintWindow.h"

using namespace framework;

namespace {

struct RecordingBoxes : platform::MessageBoxes {
    QStringList texts;
    void Show(QWidget *, const QString &text, const QString &, platform::MsgIcon, const QString &) override
    {
        texts << text;
    }
    int Ask(QWidget *, const platform::Question &q) override { return q.EscapeAnswer; }
};

class HintTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.SetBounds(200, 200, 300, 200);
        helpSpot = panel(10, 10, 40, 30, true, QStringLiteral("Help?"));
        webSpot = panel(60, 10, 40, 30, true, QStringLiteral("Visit the web site"));
        plain = panel(110, 10, 40, 30, false, QStringLiteral("never shown"));
        silent = panel(160, 10, 40, 30, true, QString());
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QApplication::setActiveWindow(&form);
        QApplication::processEvents();
        Application().CancelHint();
    }

    TPanel *panel(int x, int y, int w, int h, bool showHint, const QString &hint)
    {
        auto *p = new TPanel(&form);
        p->SetBounds(x, y, w, h);
        p->SetShowHint(showHint);
        p->SetHint(hint);
        return p;
    }

    // The pointer comes to rest at p in w, as the desktop would report it.
    void hover(QWidget *w, QPoint p = QPoint(5, 5))
    {
        cursor.MoveTo(w->mapToGlobal(p));
        QMouseEvent move(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }
    void enter(QWidget *w, QPoint p = QPoint(5, 5))
    {
        cursor.MoveTo(w->mapToGlobal(p));
        QEnterEvent e(p, p, w->mapToGlobal(p));
        QApplication::sendEvent(w, &e);
    }
    // The pointer leaves w for the screen point to.
    void leave(QWidget *w, QPoint to)
    {
        cursor.MoveTo(to);
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(w, &e);
    }
    void showHintOf(QWidget *w)
    {
        hover(w);
        ASSERT_TRUE(Application().HintTimerActive());
        Application().FireHintTimer();
        ASSERT_TRUE(Application().HintShowing());
    }
    QString shownText() const
    {
        return Application().HintShowing() ? Application().HintWindow()->Caption() : QString();
    }

    HintSettings settings;
    platform::ScreenOverride screens{{QRect(0, 0, 1024, 768)}};
    platform::CursorOverride cursor{QPoint(0, 0)};
    TForm form;
    TPanel *helpSpot = nullptr, *webSpot = nullptr, *plain = nullptr, *silent = nullptr;
};

TEST_F(HintTest, ShowsAfterThePauseAndHidesAfterTheHidePause)
{
    TApplication &app = Application();
    app.SetHintPause(500);
    app.SetHintHidePause(5000);
    hover(helpSpot);
    EXPECT_EQ(app.HintControl(), helpSpot);
    EXPECT_TRUE(app.HintTimerActive());
    EXPECT_EQ(app.HintTimerInterval(), 500);
    EXPECT_FALSE(app.HintShowing());
    // Moving on the same control does not start the pause again.
    hover(helpSpot, QPoint(20, 20));
    EXPECT_EQ(app.HintTimerInterval(), 500);

    app.FireHintTimer();
    EXPECT_EQ(shownText(), QStringLiteral("Help?"));
    EXPECT_TRUE(app.HintWindow()->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(app.HintWindow()->isWindow());
    EXPECT_EQ(app.HintTimerInterval(), 5000);

    app.FireHintTimer();
    EXPECT_FALSE(app.HintShowing());
    EXPECT_FALSE(app.HintTimerActive());
    // It stays hidden while the pointer stays on the control.
    hover(helpSpot, QPoint(6, 7));
    EXPECT_FALSE(app.HintTimerActive());
    EXPECT_FALSE(app.HintShowing());
    // With no hint showing any more, the next control waits the whole pause.
    app.SetHintShortPause(25);
    hover(webSpot);
    EXPECT_EQ(app.HintTimerInterval(), 500);
}

TEST_F(HintTest, TheRealTimersShowAndHideTheHint)
{
    TApplication &app = Application();
    app.SetHintPause(30);
    app.SetHintHidePause(80);
    enter(helpSpot);
    EXPECT_TRUE(QTest::qWaitFor([&] { return app.HintShowing(); }, 3000));
    EXPECT_EQ(shownText(), QStringLiteral("Help?"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app.HintShowing(); }, 3000));
}

// Qt's coarse timers fire up to 5 % early: hints showed from 477 ms after
// the pointer came to rest and hid from 4748 ms. Never early now.
TEST_F(HintTest, ThePausesAreNeverCutShort)
{
    TApplication &app = Application();
    app.SetHintPause(500);
    app.SetHintHidePause(500);
    for (int i = 0; i < 2; ++i) {
        QElapsedTimer clock;
        enter(i % 2 ? helpSpot : webSpot);
        clock.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return app.HintShowing(); }, 3000));
        EXPECT_GE(clock.restart(), 500);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !app.HintShowing(); }, 3000));
        // The clock restarted when the wait above saw the hint, which may be
        // one of its 10-ms steps after the hint showed and its pause began.
        EXPECT_GE(clock.elapsed(), 500 - 10);
    }
}

TEST_F(HintTest, NoHintWithoutShowHintOrWithoutText)
{
    TApplication &app = Application();
    hover(plain);
    EXPECT_EQ(app.HintControl(), nullptr);
    EXPECT_FALSE(app.HintTimerActive());

    hover(silent);
    EXPECT_EQ(app.HintControl(), silent);
    app.FireHintTimer();
    EXPECT_FALSE(app.HintShowing());

    // Switched off for the whole application.
    app.SetShowHint(false);
    EXPECT_EQ(app.HintWindow(), nullptr);
    hover(helpSpot);
    EXPECT_FALSE(app.HintTimerActive());
    app.ActivateHint(platform::GetCursorPos());
    EXPECT_FALSE(app.HintShowing());
}

TEST_F(HintTest, MovingOnFromAShownHintUsesTheShortPause)
{
    TApplication &app = Application();
    app.SetHintPause(500);
    app.SetHintShortPause(25);
    showHintOf(helpSpot);
    hover(webSpot);
    EXPECT_FALSE(app.HintShowing());
    EXPECT_EQ(app.HintControl(), webSpot);
    EXPECT_EQ(app.HintTimerInterval(), 25);
    app.FireHintTimer();
    EXPECT_EQ(shownText(), QStringLiteral("Visit the web site"));

    // Over a control without hints the run ends: the next hint waits the full pause.
    hover(plain);
    EXPECT_FALSE(app.HintShowing());
    hover(helpSpot);
    EXPECT_EQ(app.HintTimerInterval(), 500);
}

TEST_F(HintTest, LeavingPressingOrTypingEndsTheHint)
{
    TApplication &app = Application();
    showHintOf(helpSpot);
    leave(helpSpot, form.mapToGlobal(QPoint(250, 150))); // onto the bare form
    EXPECT_FALSE(app.HintShowing());
    EXPECT_EQ(app.HintControl(), nullptr);

    showHintOf(helpSpot);
    leave(&form, QPoint(5, 5)); // out of the application
    EXPECT_FALSE(app.HintShowing());

    showHintOf(helpSpot);
    QTest::mousePress(helpSpot, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(app.HintShowing());
    EXPECT_FALSE(app.HintTimerActive());
    QTest::mouseRelease(helpSpot, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));

    showHintOf(webSpot);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&form, &key);
    EXPECT_FALSE(app.HintShowing());

    // A pending hint whose pointer went away without a word shows nothing.
    hover(helpSpot);
    cursor.MoveTo(QPoint(5, 5));
    app.FireHintTimer();
    EXPECT_FALSE(app.HintShowing());
    EXPECT_EQ(app.HintControl(), nullptr);
}

TEST_F(HintTest, ChildrenShowTheHintOfTheirControl)
{
    TApplication &app = Application();
    // A widget that is not a control, and a control without a hint of its own.
    auto *inner = new QWidget(helpSpot);
    inner->setGeometry(2, 2, 10, 10);
    inner->show();
    hover(inner, QPoint(3, 3));
    EXPECT_EQ(app.HintControl(), helpSpot);

    auto *child = new TPanel(webSpot);
    child->SetBounds(2, 2, 10, 10);
    child->show();
    EXPECT_TRUE(child->ShowHint());
    EXPECT_TRUE(child->ParentShowHint());
    showHintOf(child);
    EXPECT_EQ(app.HintControl(), child);
    EXPECT_EQ(shownText(), QStringLiteral("Visit the web site"));

    // The parent's setting reaches the children that follow it, not the others.
    auto *own = new TPanel(webSpot);
    own->SetShowHint(true);
    webSpot->SetShowHint(false);
    EXPECT_FALSE(child->ShowHint());
    EXPECT_TRUE(own->ShowHint());
    EXPECT_FALSE(own->ParentShowHint());
    own->SetParentShowHint(true);
    EXPECT_FALSE(own->ShowHint());
}

TEST_F(HintTest, TheShowHintEventChangesOrSuppressesTheHint)
{
    TApplication &app = Application();
    THintInfo seen;
    app.OnShowHint = [&](QString &text, bool &, THintInfo &info) {
        seen = info;
        text = text + QStringLiteral(" (F1)");
    };
    showHintOf(helpSpot);
    EXPECT_EQ(shownText(), QStringLiteral("Help? (F1)"));
    EXPECT_EQ(seen.HintControl, helpSpot);
    EXPECT_EQ(seen.HintStr, QStringLiteral("Help?"));
    EXPECT_EQ(seen.CursorPos, QPoint(5, 5));
    EXPECT_EQ(seen.CursorRect, helpSpot->ClientRect());
    EXPECT_EQ(seen.HideTimeout, app.HintHidePause());

    app.OnShowHint = [](QString &, bool &canShow, THintInfo &) { canShow = false; };
    hover(webSpot);
    app.FireHintTimer();
    EXPECT_FALSE(app.HintShowing());

    // A failing handler shows its error and no hint.
    RecordingBoxes boxes;
    platform::Override<platform::MessageBoxes> standIn(boxes);
    app.OnShowHint = [](QString &, bool &, THintInfo &) { throw std::runtime_error("no hints today"); };
    hover(helpSpot);
    app.FireHintTimer();
    EXPECT_FALSE(app.HintShowing());
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("no hints today.")});

    // A handler that destroys the control leaves no hint behind.
    app.OnShowHint = [&](QString &, bool &, THintInfo &) {
        delete webSpot;
        webSpot = nullptr;
    };
    hover(webSpot);
    app.FireHintTimer();
    EXPECT_FALSE(app.HintShowing());
    EXPECT_EQ(app.HintControl(), nullptr);
}

TEST_F(HintTest, AControlDestroyedWhileItsHintWaitsShowsNothing)
{
    TApplication &app = Application();
    hover(webSpot);
    delete webSpot;
    app.FireHintTimer();
    EXPECT_FALSE(app.HintShowing());
    EXPECT_EQ(app.HintControl(), nullptr);
}

class ColouredHint : public THintWindow {};

TEST_F(HintTest, TheWindowClassTakesEffectWhenHintsAreSwitchedOnAgain)
{
    TApplication &app = Application();
    app.SetHintColor(clYellow);
    app.SetHintWindowClass(&CreateHintWindow<ColouredHint>);
    EXPECT_EQ(dynamic_cast<ColouredHint *>(app.HintWindow()), nullptr);
    app.SetShowHint(false);
    app.SetShowHint(true);
    ASSERT_NE(dynamic_cast<ColouredHint *>(app.HintWindow()), nullptr);
    EXPECT_EQ(app.HintWindow()->Color(), clYellow);
    app.SetHintColor(clAqua);
    EXPECT_EQ(app.HintWindow()->Color(), clAqua);
    // A missing class keeps the one there is.
    app.SetHintWindowClass(nullptr);
    EXPECT_EQ(app.HintWindowClass(), &CreateHintWindow<ColouredHint>);
}

TEST_F(HintTest, TheStandardWindowFitsItsTextAndStaysOnTheScreen)
{
    THintWindow window;
    const QString text = QStringLiteral("Help?");
    TCanvas measure;
    measure.Font = window.Canvas().Font;
    const TSize extent = measure.TextExtent(text);
    const TRect r = window.CalcHintRect(300, text);
    EXPECT_EQ(r, Rect(0, 0, extent.cx + 8, extent.cy + 6));

    // Past the right and bottom edges: moved back in.
    TRect at = r;
    OffsetRect(at, 1020, 760);
    window.ActivateHint(at, text);
    EXPECT_EQ(window.geometry(), QRect(1024 - r.Width(), 768 - r.Height(), r.Width(), r.Height()));
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.windowFlags() & Qt::WindowTransparentForInput);

    window.SetColor(clYellow);
    const QImage picture = window.Render();
    EXPECT_EQ(picture.pixel(0, 0), ToQColor(clWindowFrame).rgb());
    EXPECT_EQ(picture.pixel(r.Width() - 1, r.Height() - 1), ToQColor(clWindowFrame).rgb());
    EXPECT_EQ(picture.pixel(1, 1), ToQColor(clYellow).rgb());
    EXPECT_EQ(picture.pixel(r.Width() - 2, r.Height() - 2), ToQColor(clYellow).rgb());

    window.ReleaseHandle();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.HandleAllocated());
    window.ActivateHint(at, text);
    EXPECT_TRUE(window.isVisible());
}

} // namespace
