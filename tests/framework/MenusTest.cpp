// SPDX-License-Identifier: GPL-3.0-or-later
// Menus shown through Qt: owner-draw requests reach the items, clicks come
// after the menu has closed, and the desktop look keeps working.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <gtest/gtest.h>

#include "framework/Controls.h"
#include "framework/Menus.h"

using namespace framework;

namespace {

struct Recorder {
    int measures = 0;
    std::vector<std::pair<QString, bool>> draws;
    QWidget *window = nullptr;
};

// An item that measures itself 50 + 10 per letter wide and 20 high (a line
// 6 high) and fills itself with its colour.
TMenuItem *ownerItem(TMenu *menu, const QString &caption, TColor colour, Recorder &rec, TMenuItem *under = nullptr)
{
    auto *item = new TMenuItem(menu, QString(), caption);
    (under ? under : menu->Items())->Add(item);
    item->OnMeasureItem = [&rec, caption](QObject *, TCanvas &, int &w, int &h) {
        ++rec.measures;
        w = 50 + 10 * static_cast<int>(caption.size());
        h = caption == QLatin1String("-") ? 6 : 20;
    };
    item->OnDrawItem = [&rec, caption, colour](QObject *, TCanvas &c, TRect r, bool selected) {
        rec.draws.emplace_back(caption, selected);
        rec.window = c.Window();
        c.Brush = {colour, bsSolid};
        c.FillRect(r);
    };
    return item;
}

TEST(MenusTest, ShortCutText)
{
    EXPECT_EQ(ShortCutToText(0), QString());
    EXPECT_EQ(ShortCutToText((Qt::CTRL | Qt::Key_S).toCombined()), QStringLiteral("Ctrl+S"));
    EXPECT_EQ(ShortCutToText(Qt::Key_F5), QStringLiteral("F5"));
}

TEST(MenusTest, OwnerDrawnPopupAsksItsItemsToMeasureAndPaint)
{
    QWidget form;
    TPopupMenu pop(&form);
    Recorder rec;
    ownerItem(&pop, QStringLiteral("One"), clRed, rec);
    ownerItem(&pop, QStringLiteral("-"), clLime, rec);
    ownerItem(&pop, QStringLiteral("Three"), clBlue, rec);
    pop.SetOwnerDraw(true);

    std::unique_ptr<QMenu> menu = pop.BuildMenu();
    menu->resize(menu->sizeHint());
    EXPECT_GE(rec.measures, 3);
    // The widest item with the check mark's width (13 at 96 dpi) and the sum
    // of the heights, inside a 3-pixel border.
    EXPECT_EQ(menu->width(), 100 + 13 + 6);
    EXPECT_EQ(menu->height(), 20 + 6 + 20 + 6);
    const QList<QAction *> actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(menu->actionGeometry(actions[1]), QRect(3, 23, 113, 6));

    menu->setActiveAction(actions[2]);
    const QImage img = menu->grab().toImage();
    EXPECT_EQ(FromQRgb(img.pixel(3, 3)), clRed);
    EXPECT_EQ(FromQRgb(img.pixel(102, 25)), clLime);
    EXPECT_EQ(FromQRgb(img.pixel(50, 48)), clBlue);
    EXPECT_NE(FromQRgb(img.pixel(1, 1)), clRed); // the border is the window's own
    ASSERT_EQ(rec.draws.size(), 3u);
    EXPECT_EQ(rec.draws[0], std::pair(QStringLiteral("One"), false));
    EXPECT_EQ(rec.draws[2], std::pair(QStringLiteral("Three"), true));
    EXPECT_EQ(rec.window, menu.get());
    TCanvas other(1, 1);
    EXPECT_EQ(other.Window(), nullptr);
}

TEST(MenusTest, WithoutOwnerDrawTheDesktopPaintsAndHandlersStayQuiet)
{
    TPopupMenu pop;
    Recorder rec;
    TMenuItem *save = ownerItem(&pop, QStringLiteral("&Save"), clRed, rec);
    save->SetShortCut(Qt::CTRL | Qt::Key_S);
    std::unique_ptr<QMenu> menu = pop.BuildMenu();
    menu->resize(menu->sizeHint());
    menu->grab();
    EXPECT_EQ(rec.measures, 0);
    EXPECT_TRUE(rec.draws.empty());
    EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("&Save\tCtrl+S"));
    EXPECT_FALSE(menu->actions().at(0)->isChecked());
    // A menu is built from its items each time it pops up: a check set
    // meanwhile shows.
    save->SetChecked(true);
    EXPECT_TRUE(pop.BuildMenu()->actions().at(0)->isChecked());
}

TEST(MenusTest, SubmenusAndTheDefaultLookOfItemsWithoutPainters)
{
    TPopupMenu pop;
    pop.SetOwnerDraw(true);
    Recorder rec;
    auto *about = new TMenuItem(&pop, QString(), QStringLiteral("About"));
    pop.Items()->Add(about);
    ownerItem(&pop, QStringLiteral("Help"), clRed, rec, about);
    TMenuItem *more = ownerItem(&pop, QStringLiteral("More"), clRed, rec);
    ownerItem(&pop, QStringLiteral("Less"), clRed, rec, more);
    std::unique_ptr<QMenu> menu = pop.BuildMenu();
    menu->resize(menu->sizeHint());
    EXPECT_GT(menu->width(), 6);
    // The submenu arrow lies right of what the item measured for itself.
    const QImage withArrow = menu->grab().toImage();
    const QRect moreRect = menu->actionGeometry(menu->actions().at(1));
    const int y = moreRect.center().y();
    for (int x = moreRect.left(); x < moreRect.left() + 90; ++x)
        ASSERT_EQ(FromQRgb(withArrow.pixel(x, y)), clRed) << x;
    bool arrow = false;
    for (int x = moreRect.left() + 90; x <= moreRect.right(); ++x)
        arrow |= FromQRgb(withArrow.pixel(x, y)) != clRed;
    EXPECT_TRUE(arrow);
    QMenu *sub = menu->actions().at(0)->menu();
    ASSERT_NE(sub, nullptr);
    sub->resize(sub->sizeHint());
    EXPECT_EQ(FromQRgb(sub->grab().toImage().pixel(3, 3)), clRed);
    // Without a painter the item gets the menu colour.
    EXPECT_EQ(FromQRgb(menu->grab().toImage().pixel(3, 3)), ColorToRGB(clMenu));
}

TEST(MenusTest, DeletedItemsLeaveTheirParentAndDeletedParentsTheirItems)
{
    TPopupMenu pop;
    auto *file = new TMenuItem(&pop, QString(), QStringLiteral("File"));
    auto *open = new TMenuItem(&pop, QString(), QStringLiteral("Open"));
    auto *save = new TMenuItem(&pop, QString(), QStringLiteral("Save"));
    pop.Items()->Add(file);
    file->Add(open);
    file->Add(save);
    delete open;
    ASSERT_EQ(file->Count(), 1);
    EXPECT_EQ(file->Items(0), save);
    delete file;
    EXPECT_EQ(pop.Items()->Count(), 0);
    EXPECT_EQ(save->Parent(), nullptr);
    EXPECT_TRUE(pop.BuildMenu()->actions().isEmpty());
}

TEST(MenusTest, ClickRunsAfterTheMenuHasClosed)
{
    TPopupMenu pop;
    pop.SetOwnerDraw(true);
    auto *item = new TMenuItem(&pop, QString(), QStringLiteral("Go"));
    pop.Items()->Add(item);
    int clicks = 0;
    item->OnClick = [&](QObject *sender) {
        EXPECT_EQ(sender, item);
        ++clicks;
    };
    std::unique_ptr<QMenu> menu = pop.BuildMenu();
    menu->actions().at(0)->trigger();
    EXPECT_EQ(clicks, 0);
    QApplication::processEvents();
    EXPECT_EQ(clicks, 1);
    item->SetEnabled(false);
    item->Click();
    EXPECT_EQ(clicks, 1);
}

TEST(MenusTest, MethodEventsKeepTheirRoutine)
{
    static const char routine = 0;
    TMenuItem item;
    item.OnDrawItem = TMenuDrawItemEvent([](QObject *, TCanvas &, TRect, bool) {}, &routine, nullptr);
    const TMenuDrawItemEvent copy = item.OnDrawItem;
    EXPECT_EQ(copy.Code, &routine);
    item.OnDrawItem = [](QObject *, TCanvas &, TRect, bool) {};
    EXPECT_EQ(item.OnDrawItem.Code, nullptr);
    item.OnDrawItem = {};
    EXPECT_FALSE(item.OnDrawItem);
}

class Observer : public QObject, public TComponentObserver {
public:
    using QObject::QObject;
    void Notification(QObject *component, TOperation op) override
    {
        if (op == opInsert)
            seen.push_back(component);
    }
    std::vector<QObject *> seen;
};

TEST(MenusTest, ItemsAreAnnouncedToObserversAboveThem)
{
    QObject form;
    auto *observer = new Observer(&form);
    auto *pop = new TPopupMenu(&form);
    EXPECT_TRUE(observer->seen.empty()); // the menu's own root item is not announced
    auto *item = new TMenuItem(pop);
    ASSERT_EQ(observer->seen.size(), 1u);
    EXPECT_EQ(observer->seen[0], item);
    EXPECT_EQ(item->GetParentMenu(), nullptr); // not in the menu yet
    pop->Items()->Add(item);
    EXPECT_EQ(item->GetParentMenu(), pop);
    EXPECT_EQ(item->GetParentComponent(), pop);
    auto *child = new TMenuItem(pop);
    item->Add(child);
    EXPECT_EQ(child->GetParentComponent(), item);
}

TEST(MenusTest, OwnerDrawnMenuBar)
{
    TForm form;
    auto *main = new TMainMenu(&form, QStringLiteral("MainMenu1"));
    form.SetMenu(main);
    EXPECT_EQ(form.Menu(), main);
    Recorder rec;
    TMenuItem *file = ownerItem(main, QStringLiteral("File"), clYellow, rec);
    ownerItem(main, QStringLiteral("Open"), clRed, rec, file);
    main->SetOwnerDraw(true);
    std::unique_ptr<QMenuBar> bar = main->BuildMenuBar(&form);
    EXPECT_EQ(main->MenuBar(), bar.get());
    bar->resize(200, bar->sizeHint().height());
    EXPECT_EQ(bar->actionGeometry(bar->actions().at(0)).size(), QSize(90, 20));
    const QImage img = bar->grab().toImage();
    EXPECT_EQ(FromQRgb(img.pixel(5, 5)), clYellow);
    form.DrawMenuBar(); // repaints without trouble
    bar.reset();
    EXPECT_EQ(main->MenuBar(), nullptr);
    delete main;
    EXPECT_EQ(form.Menu(), nullptr);
}

} // namespace
