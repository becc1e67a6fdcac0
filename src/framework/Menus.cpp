#include "framework/Menus.h"

#include <QMenu>
#include <QPoint>

#include "framework/TApplication.h"

namespace framework {

TMenuItem::TMenuItem(QObject *owner, const QString &name, const QString &caption)
    : QObject(owner), caption_(caption)
{
    setObjectName(name);
}

void TMenuItem::Add(TMenuItem *item)
{
    item->parent_ = this;
    if (!item->parent())
        item->setParent(this);
    items_.push_back(item);
}

void TMenuItem::Click()
{
    if (OnClick && enabled_)
        Application().Guard([&] { OnClick(this); });
}

TPopupMenu::TPopupMenu(QObject *owner, const QString &name)
    : QObject(owner), items_(new TMenuItem(this))
{
    setObjectName(name);
}

TPopupMenu::~TPopupMenu() = default;

namespace {

void fill(QMenu *menu, const TMenuItem *items)
{
    for (int i = 0; i < items->Count(); ++i) {
        TMenuItem *item = items->Items(i);
        if (!item->Visible())
            continue;
        if (item->IsLine()) {
            menu->addSeparator();
        } else if (item->Count() > 0) {
            QMenu *sub = menu->addMenu(item->Caption());
            sub->setObjectName(item->objectName());
            sub->setEnabled(item->Enabled());
            fill(sub, item);
        } else {
            QAction *action = menu->addAction(item->Caption());
            action->setObjectName(item->objectName());
            action->setEnabled(item->Enabled());
            action->setCheckable(item->Checked());
            action->setChecked(item->Checked());
            // The click runs after the menu has closed, like a command message.
            QObject::connect(action, &QAction::triggered, item, [item] {
                QMetaObject::invokeMethod(item, [item] { item->Click(); }, Qt::QueuedConnection);
            });
        }
    }
}

} // namespace

std::unique_ptr<QMenu> TPopupMenu::BuildMenu(QWidget *parent) const
{
    auto menu = std::make_unique<QMenu>(parent);
    menu->setObjectName(objectName());
    fill(menu.get(), items_);
    return menu;
}

void TPopupMenu::Popup(int x, int y)
{
    std::unique_ptr<QMenu> menu = BuildMenu();
    menu->exec(QPoint(x, y));
}

} // namespace framework
