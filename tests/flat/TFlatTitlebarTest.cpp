// SPDX-License-Identifier: GPL-3.0-or-later
// The title bar: where it may sit, its caption colours following the form's
// activation, and dragging the form.
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include "desktop/WindowSystem.h"
#include "flat/TFlatTitlebarUnit.h"
#include "platform/Exceptions.h"

using namespace framework;
using flat::TFlatTitlebar;

namespace {

bool contains(const QImage &img, TColor c)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (FromQRgb(img.pixel(x, y)) == c)
                return true;
    return false;
}

class FlatTitlebarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.SetBounds(100, 100, 300, 200);
        bar = new TFlatTitlebar(&form);
        bar->SetBounds(0, 0, 300, 21);
        bar->SetTitlebarColor(clNavy);
        bar->SetActiveTextColor(clWhite);
        bar->SetInactiveTextColor(clYellow);
        bar->SetCaption(QStringLiteral("Zantrope"));
        bar->Loaded();
    }

    void mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent e(type, p, bar->mapToGlobal(p), button, held, Qt::NoModifier);
        QApplication::sendEvent(bar, &e);
    }

    TForm form;
    TFlatTitlebar *bar = nullptr;
};

TEST_F(FlatTitlebarTest, OnlyAFormCanHoldIt)
{
    TPanel panel(&form);
    try {
        bar->SetParent(&panel);
        FAIL() << "no error";
    } catch (const platform::EInvalidOperation &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("TFlatTitlebar can only be placed on a descndant of a TCustomForm"));
    }
    EXPECT_EQ(bar->parentWidget(), &form);
    EXPECT_EQ(bar->HostForm(), &form);
    EXPECT_THROW(TFlatTitlebar{&panel}, platform::EInvalidOperation);

    TFlatTitlebar loose;
    EXPECT_EQ(loose.size(), QSize(100, 19));
    EXPECT_FALSE(loose.FormActive());
    loose.SetParent(&form);
    EXPECT_EQ(loose.HostForm(), &form);
}

TEST_F(FlatTitlebarTest, TheCaptionColourFollowsTheFormsActivation)
{
    int activations = 0, deactivations = 0;
    bar->OnActivate = [&](QObject *sender) {
        EXPECT_EQ(sender, bar);
        ++activations;
    };
    bar->OnDeactivate = [&](QObject *) { ++deactivations; };
    EXPECT_FALSE(bar->FormActive());
    QImage img = bar->grab().toImage();
    EXPECT_TRUE(contains(img, clYellow));
    EXPECT_FALSE(contains(img, clWhite));
    EXPECT_EQ(FromQRgb(img.pixel(1, 1)), clNavy);

    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activate);
    EXPECT_TRUE(bar->FormActive());
    EXPECT_EQ(activations, 1);
    img = bar->grab().toImage();
    EXPECT_TRUE(contains(img, clWhite));
    EXPECT_FALSE(contains(img, clYellow));

    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(&form, &deactivate);
    EXPECT_FALSE(bar->FormActive());
    EXPECT_EQ(deactivations, 1);
    EXPECT_TRUE(contains(bar->grab().toImage(), clYellow));
}

TEST_F(FlatTitlebarTest, NotFollowingBeforeLoadingOrAfterLeavingTheForm)
{
    TFlatTitlebar runtime(&form);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activate);
    EXPECT_FALSE(runtime.FormActive());
    EXPECT_TRUE(bar->FormActive());

    // A bar that leaves its form, or dies before it, no longer hears it.
    TForm other;
    bar->SetParent(&other);
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(&form, &deactivate);
    EXPECT_TRUE(bar->FormActive());
    delete bar;
    QApplication::sendEvent(&form, &activate);
}

TEST_F(FlatTitlebarTest, TheFormIsDestroyedBeforeAHookedBar)
{
    auto *f = new TForm;
    auto *b = new TFlatTitlebar(f);
    b->Loaded();
    delete f; // takes the bar with it
    SUCCEED();
}

TEST_F(FlatTitlebarTest, DraggingWithTheLeftButtonMovesTheFormByTheCursorsMovement)
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        GTEST_SKIP() << "the desktop moves windows itself";
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QPoint start = form.pos();
    mouse(QEvent::MouseButtonPress, QPoint(10, 5), Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(bar->Dragging());
    mouse(QEvent::MouseMove, QPoint(30, 12), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(form.pos(), start + QPoint(20, 7));
    // The bar moved with the form, so the grabbed point is under the cursor again.
    mouse(QEvent::MouseMove, QPoint(10, 5), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(form.pos(), start + QPoint(20, 7));
    mouse(QEvent::MouseMove, QPoint(5, 8), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(form.pos(), start + QPoint(15, 10));

    // A right press during the drag moves the grab point; its release ends the drag.
    mouse(QEvent::MouseButtonPress, QPoint(50, 10), Qt::RightButton, Qt::LeftButton | Qt::RightButton);
    mouse(QEvent::MouseMove, QPoint(52, 10), Qt::NoButton, Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(form.pos(), start + QPoint(17, 10));
    mouse(QEvent::MouseButtonRelease, QPoint(52, 10), Qt::RightButton, Qt::LeftButton);
    EXPECT_FALSE(bar->Dragging());
    mouse(QEvent::MouseMove, QPoint(90, 15), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(form.pos(), start + QPoint(17, 10));
    mouse(QEvent::MouseButtonRelease, QPoint(90, 15), Qt::LeftButton, Qt::NoButton);

    // The right button alone does not drag.
    mouse(QEvent::MouseButtonPress, QPoint(10, 5), Qt::RightButton, Qt::RightButton);
    mouse(QEvent::MouseMove, QPoint(60, 9), Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(form.pos(), start + QPoint(17, 10));
    mouse(QEvent::MouseButtonRelease, QPoint(60, 9), Qt::RightButton, Qt::NoButton);
}

TEST_F(FlatTitlebarTest, APressSoonAfterAClickStillDrags)
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        GTEST_SKIP() << "the desktop moves windows itself";
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QPoint start = form.pos();
    // Through the window system, with times close enough for Qt to make the
    // second press a double click.
    QWindow *window = form.windowHandle();
    int time = QTest::lastMouseTimestamp += 1000;
    auto send = [&](QEvent::Type type, QPoint p, Qt::MouseButtons held) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        qt_handleMouseEvent(window, p, form.mapToGlobal(p), held, button, type, Qt::NoModifier, time += 10);
        QApplication::processEvents();
    };
    send(QEvent::MouseButtonPress, QPoint(10, 5), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, QPoint(10, 5), Qt::NoButton);
    send(QEvent::MouseButtonPress, QPoint(10, 5), Qt::LeftButton);
    EXPECT_TRUE(bar->Dragging());
    send(QEvent::MouseMove, QPoint(30, 12), Qt::LeftButton);
    EXPECT_EQ(form.pos(), start + QPoint(20, 7));
    send(QEvent::MouseButtonRelease, QPoint(10, 5), Qt::NoButton);
    QTest::lastMouseTimestamp = time + QTest::mouseDoubleClickInterval;
}

TEST_F(FlatTitlebarTest, WhereTheDesktopMovesTheFormTheWindowGetsItsReleaseBack)
{
    platform::WindowSystemOverride desktop(true, true);
    auto *below = new TPanel(&form);
    below->setGeometry(0, 40, 300, 100);
    struct EnterCount : QObject {
        int enters = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            enters += e->type() == QEvent::Enter;
            return false;
        }
    } count;
    below->installEventFilter(&count);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QPoint start = form.pos();
    // The desktop keeps the release to itself: the window sees a press, then moves.
    QWindow *window = form.windowHandle();
    int time = QTest::lastMouseTimestamp += 1000;
    auto send = [&](QEvent::Type type, QPoint p, Qt::MouseButtons held, Qt::MouseButton button) {
        qt_handleMouseEvent(window, p, form.mapToGlobal(p), held, button, type, Qt::NoModifier, time += 10);
        QApplication::processEvents();
    };
    send(QEvent::MouseButtonPress, QPoint(10, 5), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(desktop.SystemMoves(), 1);
    EXPECT_FALSE(bar->Dragging());
    send(QEvent::MouseMove, QPoint(50, 60), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(form.pos(), start) << "only the desktop moves it";
    EXPECT_EQ(count.enters, 1) << "hover works right after the move";
    QTest::lastMouseTimestamp = time + QTest::mouseDoubleClickInterval;
}

TEST_F(FlatTitlebarTest, TheCaptionIsCentredByHalvesAndMayStartAboveTheBar)
{
    EXPECT_EQ(TFlatTitlebar::CaptionOrigin(19 + 81, 19, 40, 21), (TPoint{30, -1}));
    EXPECT_EQ(TFlatTitlebar::CaptionOrigin(101, 21, 41, 13), (TPoint{30, 4}));
    // Wider than the bar: starts left of it.
    EXPECT_EQ(TFlatTitlebar::CaptionOrigin(50, 19, 120, 13).X, -35);
}

} // namespace
