// SPDX-License-Identifier: GPL-3.0-or-later
// The control base: parent colour and font following, tab order, mouse
// events, accelerators and the control under a screen point.
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include "desktop/Cursor.h"
#include "framework/Controls.h"

using namespace framework;

namespace {

TEST(ControlsTest, AcceleratorIsTheCharacterAfterASingleAmpersand)
{
    EXPECT_TRUE(IsAccel(QChar('a'), QStringLiteral("&Add Movie")));
    EXPECT_TRUE(IsAccel(QChar('M'), QStringLiteral("Add &movie")));
    EXPECT_FALSE(IsAccel(QChar('d'), QStringLiteral("&Add")));
    EXPECT_FALSE(IsAccel(QChar('b'), QStringLiteral("A&&b")));
    EXPECT_TRUE(IsAccel(QChar('c'), QStringLiteral("A&&b&c")));
    EXPECT_FALSE(IsAccel(QChar('&'), QStringLiteral("ends&")));
    EXPECT_FALSE(IsAccel(QChar('a'), QString()));
}

TEST(ControlsTest, ParentColourReachesOnlyChildrenThatFollowIt)
{
    TForm form;
    TPanel outer(&form), own(&outer);
    TPanel inner(&outer);
    outer.SetColor(clNavy);
    own.SetColor(clRed);
    inner.SetParentColor(true);
    TPanel grandchild(&inner);
    grandchild.SetParentColor(true);
    EXPECT_EQ(inner.Color(), clNavy);
    EXPECT_EQ(grandchild.Color(), clNavy);

    outer.SetColor(clTeal);
    EXPECT_EQ(inner.Color(), clTeal);
    EXPECT_EQ(grandchild.Color(), clTeal);
    EXPECT_EQ(own.Color(), clRed);
    // Setting a colour stops following.
    inner.SetColor(clLime);
    EXPECT_FALSE(inner.ParentColor());
    outer.SetColor(clBlack);
    EXPECT_EQ(inner.Color(), clLime);
    EXPECT_EQ(grandchild.Color(), clLime);
}

TEST(ControlsTest, FontFollowsTheParentUntilSet)
{
    TForm form;
    TPanel child(&form);
    TFont big;
    big.Name = QStringLiteral("Verdana");
    big.Height = -20;
    form.SetFont(big);
    EXPECT_EQ(child.Font(), big);
    TFont own = big;
    own.Height = -9;
    child.SetFont(own);
    form.SetFont(TFont());
    EXPECT_EQ(child.Font(), own);
    child.SetParentFont(true);
    EXPECT_EQ(child.Font(), TFont());
}

TEST(ControlsTest, TabOrderIsThePositionAmongTheSiblings)
{
    TForm form;
    TPanel a(&form), b(&form), c(&form);
    EXPECT_EQ(a.TabOrder(), 0);
    EXPECT_EQ(c.TabOrder(), 2);
    c.SetTabOrder(0);
    EXPECT_EQ(c.TabOrder(), 0);
    EXPECT_EQ(a.TabOrder(), 1);
    EXPECT_EQ(b.TabOrder(), 2);
    c.SetTabOrder(-1); // to the end
    EXPECT_EQ(c.TabOrder(), 2);
    {
        TPanel gone(&form);
        EXPECT_EQ(gone.TabOrder(), 3);
    }
    TPanel d(&form);
    EXPECT_EQ(d.TabOrder(), 3);
    d.setParent(&a);
    EXPECT_EQ(d.TabOrder(), 0);
    TPanel loose;
    EXPECT_EQ(loose.TabOrder(), -1);
}

TEST(ControlsTest, ChildrenOutliveTheirParentsPartOfDestruction)
{
    auto *form = new TForm;
    auto *panel = new TPanel(form);
    new TPanel(panel);
    new TPanel(panel);
    delete form;
    SUCCEED();
}

TEST(ControlsTest, MouseEventsCarryButtonShiftAndClientPoint)
{
    TForm form;
    TPanel panel(&form);
    panel.SetBounds(10, 10, 50, 50);
    std::vector<std::tuple<int, TShiftState, int, int>> downs;
    int moves = 0, ups = 0;
    panel.OnMouseDown = [&](QObject *, TMouseButton b, TShiftState s, int x, int y) { downs.emplace_back(b, s, x, y); };
    panel.OnMouseMove = [&](QObject *, TShiftState, int, int) { ++moves; };
    panel.OnMouseUp = [&](QObject *, TMouseButton, TShiftState, int, int) { ++ups; };
    QTest::mousePress(&panel, Qt::RightButton, Qt::ShiftModifier, QPoint(3, 4));
    QTest::mouseRelease(&panel, Qt::RightButton, Qt::NoModifier, QPoint(3, 4));
    QTest::mouseDClick(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(7, 8));
    QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &move);
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_EQ(downs[0], std::make_tuple(int(mbRight), TShiftState(ssShift | ssRight), 3, 4));
    EXPECT_EQ(std::get<1>(downs[1]) & ssDouble, TShiftState(ssDouble));
    EXPECT_EQ(ups, 1); // a double click arrives without a release of its own
    EXPECT_EQ(moves, 1);
}

TEST(ControlsTest, OwnerIsTheFormUnlessGiven)
{
    TForm form;
    TPanel panel(&form);
    TPanel inner(&panel);
    EXPECT_EQ(inner.Owner(), &form);
    QObject other;
    inner.SetOwner(&other);
    EXPECT_EQ(inner.Owner(), &other);
}

TEST(ControlsTest, TheControlUnderAPointIncludesDisabledOnesAndTheTopmost)
{
    TForm form;
    form.SetBounds(300, 300, 200, 100);
    TPanel back(&form);
    back.SetBounds(0, 0, 100, 100);
    TPanel front(&form);
    front.SetBounds(50, 0, 100, 100);
    TPanel inner(&back);
    inner.SetBounds(10, 10, 20, 20);
    inner.setEnabled(false);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(FindControlAtPos(inner.mapToGlobal(QPoint(5, 5))), &inner);
    EXPECT_EQ(FindControlAtPos(back.mapToGlobal(QPoint(60, 50))), &front);
    EXPECT_EQ(FindControlAtPos(form.mapToGlobal(QPoint(180, 50))), &form);
    EXPECT_EQ(FindControlAtPos(form.mapToGlobal(QPoint(-50, -50))), nullptr);
    front.hide();
    EXPECT_EQ(FindControlAtPos(back.mapToGlobal(QPoint(60, 50))), &back);
}

TEST(ControlsTest, TheCursorPositionCanBeFixedForATest)
{
    {
        platform::CursorOverride outer(QPoint(5, 6));
        EXPECT_EQ(platform::GetCursorPos(), QPoint(5, 6));
        {
            platform::CursorOverride inner(QPoint(7, 8));
            EXPECT_EQ(platform::GetCursorPos(), QPoint(7, 8));
            inner.MoveTo(QPoint(9, 9));
            EXPECT_EQ(platform::GetCursorPos(), QPoint(9, 9));
        }
        EXPECT_EQ(platform::GetCursorPos(), QPoint(5, 6));
    }
    EXPECT_EQ(platform::GetCursorPos(), QCursor::pos());
}

TEST(ControlsTest, TheFormsActiveControlIsItsFocusChild)
{
    TForm form;
    TPanel a(&form), b(&form);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QApplication::setActiveWindow(&form);
    form.SetActiveControl(&b);
    EXPECT_EQ(form.ActiveControl(), &b);
    TForm other;
    TPanel elsewhere(&other);
    form.SetActiveControl(&elsewhere); // not on this form: ignored
    EXPECT_EQ(form.ActiveControl(), &b);
}

} // namespace

namespace {

TEST(ControlsTest, AnImageShowsOnlyItsPictureAndLetsWhatLiesBeneathShowElsewhere)
{
    TPanel panel;
    panel.resize(40, 20);
    panel.SetColor(clBlue);
    auto *banner = new TImage(&panel);
    banner->SetBounds(0, 0, 40, 20);
    QImage red(30, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    banner->SetPicture(red);
    auto *spot = new TImage(&panel); // a hot-spot without a picture, over the banner
    spot->SetBounds(20, 0, 20, 20);
    const QImage shot = panel.grab().toImage();
    EXPECT_EQ(FromQRgb(shot.pixel(25, 5)), clRed);
    EXPECT_EQ(FromQRgb(shot.pixel(35, 5)), clBlue);
}

} // namespace
