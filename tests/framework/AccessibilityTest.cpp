// SPDX-License-Identifier: GPL-3.0-or-later
// What screen readers learn of the framework's controls, and what the
// keyboard alone can do with the list.
#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "framework/Accessibility.h"
#include "framework/Menus.h"
#include "framework/TApplication.h"
#include "framework/TListView.h"

using namespace framework;

namespace {

QAccessibleInterface *Of(QObject *o) { return QAccessible::queryAccessibleInterface(o); }

} // namespace

TEST(AccessibilityTest, PaintedControlsReadAsWhatTheyAre)
{
    EXPECT_EQ(StripAccel(QStringLiteral("&Yes && no&")), QStringLiteral("Yes & no"));

    TForm form;
    form.setWindowTitle(QStringLiteral("Zantrope"));
    auto *panel = new TPanel(&form);
    auto *picture = new TImage(panel);
    picture->SetPicture(QImage(4, 4, QImage::Format_RGB32));
    auto *spot = new TImage(panel);
    spot->setAccessibleName(QStringLiteral("Help"));
    spot->SetHint(QStringLiteral("Help?"));
    int clicks = 0;
    spot->OnClick = [&](QObject *) { ++clicks; };

    EXPECT_EQ(Of(&form)->role(), QAccessible::Window);
    EXPECT_EQ(Of(&form)->text(QAccessible::Name), QStringLiteral("Zantrope"));
    EXPECT_EQ(Of(panel)->role(), QAccessible::Pane);
    EXPECT_EQ(Of(picture)->role(), QAccessible::Graphic);
    QAccessibleInterface *link = Of(spot);
    EXPECT_EQ(link->role(), QAccessible::Link);
    EXPECT_EQ(link->text(QAccessible::Name), QStringLiteral("Help"));
    EXPECT_EQ(link->text(QAccessible::Description), QStringLiteral("Help?"));
    ASSERT_TRUE(link->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 1);
}

TEST(AccessibilityTest, TheListIsNamedByItsColumnAndItsItemsTellTheirImage)
{
    TListView list;
    list.AddColumn(QStringLiteral("Movie List"), 200);
    list.SetImageNames({QStringLiteral("queued"), QStringLiteral("joined")});
    list.AddItem(QStringLiteral("/tmp/a.mpg"), 0);
    list.AddItem(QStringLiteral("/tmp/b.mpg"), 1);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QAccessibleInterface *view = Of(list.View());
    EXPECT_EQ(view->text(QAccessible::Name), QStringLiteral("Movie List"));
    ASSERT_NE(view->tableInterface(), nullptr);
    auto cell = [&](int row) {
        QAccessibleInterface *c = view->tableInterface()->cellAt(row, 0);
        return c ? c : view; // the failure below names the row
    };
    auto description = [&](int row) { return cell(row)->text(QAccessible::Description); };
    EXPECT_EQ(cell(0)->text(QAccessible::Name), QStringLiteral("/tmp/a.mpg"));
    EXPECT_EQ(description(0), QStringLiteral("queued"));
    EXPECT_EQ(description(1), QStringLiteral("joined"));
    // Before, the change came with no event: a screen reader kept "queued".
    QStringList told;
    const AnnouncementSpy spy([&](QAccessibleEvent &e) {
        if (e.type() == QAccessible::DescriptionChanged)
            told << e.accessibleInterface()->text(QAccessible::Name) + " " +
                        e.accessibleInterface()->text(QAccessible::Description);
    });
    list.SetItemImageIndex(0, 1);
    EXPECT_EQ(description(0), QStringLiteral("joined"));
    EXPECT_EQ(told, QStringList{"/tmp/a.mpg joined"});
}

TEST(AccessibilityTest, TheNoticeIsSentAsAnAlert)
{
    QList<QObject *> alerted;
    const AnnouncementSpy spy([&](QAccessibleEvent &e) {
        if (e.type() == QAccessible::Alert || e.type() == QAccessible::ObjectShow)
            alerted << e.object();
    });
    TPanel button;
    button.resize(80, 30);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    Application().ShowNotice(&button, QStringLiteral("Joined 2 files"));

    THintWindow *notice = Application().Notice();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(alerted, (QList<QObject *>{notice, notice})) << "shown, then alerted";
    EXPECT_EQ(Of(notice)->role(), QAccessible::AlertMessage);
    EXPECT_EQ(Of(notice)->text(QAccessible::Name), QStringLiteral("Joined 2 files"));
    // Moving the window takes the notice away rather than leaving it behind.
    button.move(button.pos() + QPoint(40, 0));
    EXPECT_TRUE(QTest::qWaitFor([] { return Application().Notice() == nullptr; }, 2000));
}

TEST(AccessibilityTest, ShiftF10OpensTheListsMenuAndKeysShowTheFocusMark)
{
    TForm form;
    form.resize(300, 200);
    auto *other = new TPanel(&form);
    other->setFocusPolicy(Qt::StrongFocus);
    other->setGeometry(0, 0, 300, 20);
    auto *list = new TListView(&form);
    list->setGeometry(0, 20, 300, 180);
    list->AddColumn(QStringLiteral("Movie List"), 200);
    list->AddItem(QStringLiteral("/tmp/a.mpg"), 0);
    auto *menu = new TPopupMenu(&form, QStringLiteral("menu"));
    menu->Items()->Add(new TMenuItem(menu, QStringLiteral("play"), QStringLiteral("Play")));
    list->SetPopupMenu(menu);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QWidget *viewport = list->View()->viewport();
    const QRgb highlight = list->View()->palette().color(QPalette::Highlight).rgb();
    auto marked = [&] { return viewport->grab().toImage().pixel(0, viewport->height() - 1) == highlight; };

    list->View()->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(marked()) << "no mark for focus that came by the mouse";
    other->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(other, Qt::Key_Tab);
    ASSERT_TRUE(list->View()->hasFocus());
    EXPECT_TRUE(marked()) << "the focus came by the keyboard";

    QStringList shown;
    QTimer::singleShot(0, [&] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            for (QAction *a : popup->actions())
                shown << a->text();
            popup->close();
        }
    });
    QTest::keyClick(list->View(), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(shown, QStringList{QStringLiteral("Play")});

    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(50, 60));
    EXPECT_FALSE(marked()) << "the mouse took over";
}
