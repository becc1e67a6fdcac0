// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/Menus.h"

#include <QApplication>
#include <QFont>
#include <QHash>
#include <QKeySequence>
#include <QPaintEvent>
#include <QPainter>
#include <QPoint>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include "framework/ErrorBox.h"
#include "framework/TImageList.h"

namespace framework {

QString ShortCutToText(TShortCut shortCut)
{
    if (shortCut == 0)
        return {};
    return QKeySequence(QKeyCombination::fromCombined(shortCut)).toString(QKeySequence::PortableText);
}

namespace {

// The observers among the children of the object's owners (its parent, the
// parent's parent, ...), taken first: an observer may change the tree.
std::vector<QPointer<QObject>> observersAbove(QObject *object)
{
    std::vector<QPointer<QObject>> observers;
    for (QObject *owner = object ? object->parent() : nullptr; owner; owner = owner->parent()) {
        for (QObject *child : owner->children()) {
            if (child && child != object && dynamic_cast<TComponentObserver *>(child))
                observers.emplace_back(child);
        }
    }
    return observers;
}

} // namespace

void NotifyInsertion(QObject *component)
{
    for (const QPointer<QObject> &o : observersAbove(component)) {
        if (o)
            dynamic_cast<TComponentObserver *>(o.data())->Notification(component, opInsert);
    }
}

// ---------------------------------------------------------------------------
// Items

TMenuItem::TMenuItem(QObject *owner, const QString &name, const QString &caption) : QObject(owner), caption_(caption)
{
    setObjectName(name);
    NotifyInsertion(this);
}

TMenuItem::~TMenuItem()
{
    for (TMenuItem *child : items_)
        child->parent_ = nullptr;
    items_.clear();
    if (parent_)
        parent_->Remove(this);
}

void TMenuItem::Add(TMenuItem *item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem *item)
{
    if (!item || item == this)
        return;
    if (item->parent_)
        item->parent_->Remove(item);
    item->parent_ = this;
    if (!item->parent())
        item->setParent(this);
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, item);
    if (TMenu *menu = GetParentMenu()) {
        for (const QPointer<QObject> &o : observersAbove(menu)) {
            if (o)
                dynamic_cast<TComponentObserver *>(o.data())->MenuItemAdded(item);
        }
    }
}

void TMenuItem::Remove(TMenuItem *item)
{
    const auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end())
        return;
    items_.erase(it);
    item->parent_ = nullptr;
}

int TMenuItem::IndexOf(const TMenuItem *item) const
{
    const auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TMenu *TMenuItem::GetParentMenu() const
{
    const TMenuItem *root = this;
    while (root->parent_)
        root = root->parent_;
    return root->menu_;
}

QObject *TMenuItem::GetParentComponent() const
{
    if (parent_ && parent_->menu_)
        return parent_->menu_;
    return parent_;
}

void TMenuItem::Click()
{
    if (OnClick && enabled_)
        ErrorBox().Guard([&] { OnClick(this); });
}

void TMenuItem::MeasureItem(TCanvas &canvas, int &width, int &height)
{
    if (OnMeasureItem) {
        ErrorBox().Guard([&] { OnMeasureItem(this, canvas, width, height); });
        return;
    }
    if (IsLine()) {
        width = std::max(width, 10);
        height = std::max(height, 8);
        return;
    }
    const QString shortcut = ShortCutToText(shortCut_);
    int w = canvas.TextWidth(QString(caption_).remove(QLatin1Char('&'))) + 40;
    if (!shortcut.isEmpty())
        w += canvas.TextWidth(shortcut) + 16;
    width = std::max(width, w);
    height = std::max(height, canvas.TextHeight(caption_) + 6);
}

void TMenuItem::DrawItem(TCanvas &canvas, const TRect &rect, bool selected)
{
    if (OnDrawItem) {
        ErrorBox().Guard([&] { OnDrawItem(this, canvas, rect, selected); });
        return;
    }
    defaultDraw(canvas, rect, selected);
}

// The classic look, for owner-drawn menus whose items have no painter of their own.
void TMenuItem::defaultDraw(TCanvas &canvas, const TRect &rect, bool selected)
{
    const TSavedDC saved(canvas);
    const bool hot = selected && enabled_ && !IsLine();
    canvas.Brush = {hot ? clHighlight : clMenu, bsSolid};
    canvas.FillRect(rect);
    if (IsLine()) {
        const int y = rect.Top + rect.Height() / 2 - 1;
        canvas.Pen = {clBtnShadow};
        canvas.MoveTo(rect.Left + 1, y);
        canvas.LineTo(rect.Right - 1, y);
        canvas.Pen = {clBtnHighlight};
        canvas.MoveTo(rect.Left + 1, y + 1);
        canvas.LineTo(rect.Right - 1, y + 1);
        return;
    }
    const TColor ink = !enabled_ ? clGrayText : hot ? clHighlightText : clMenuText;
    canvas.SetTextColor(ink);
    canvas.SetBkMode(TRANSPARENT);
    if (checked_) {
        canvas.Pen = {ink};
        const int x = rect.Left + 5, y = rect.Top + rect.Height() / 2;
        canvas.Polyline({{x, y}, {x + 2, y + 2}, {x + 7, y - 3}});
    }
    TRect text = rect;
    text.Left += 20;
    text.Right -= 8;
    canvas.DrawText(caption_, text, DT_SINGLELINE | DT_VCENTER);
    canvas.DrawText(ShortCutToText(shortCut_), text, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
}

// ---------------------------------------------------------------------------
// The Qt side of owner-drawn menus

namespace {

// A Qt menu window or menu bar that knows which item each of its actions shows.
class TOwnerDrawHost {
public:
    virtual ~TOwnerDrawHost() = default;
    bool IsOwnerDrawn() const { return ownerDraw_; }
    void Map(const QAction *action, TMenuItem *item) { items_.insert(action, item); }
    // The item of the action whose style option was prepared last: Qt prepares
    // an action's option right before it measures or paints that action.
    TMenuItem *StyledItem() const { return items_.value(styled_).data(); }

protected:
    bool ownerDraw_ = false;
    mutable const QAction *styled_ = nullptr;

private:
    QHash<const QAction *, QPointer<TMenuItem>> items_;
};

// Sides of the frame round a popup, as wide as the desktop's menu border.
constexpr int kMenuFrame = 3;

// The desktop widens every owner-drawn popup item by the width of a check
// mark: 13 pixels at 96 dots per inch. The submenu arrow lies in that strip.
int menuCheckMarkWidth(const QWidget *widget)
{
    const int dpi = widget ? widget->logicalDpiX() : 96;
    return (13 * dpi + 48) / 96;
}

class TOwnerDrawStyle : public QProxyStyle {
public:
    static TOwnerDrawStyle *instance()
    {
        static QPointer<TOwnerDrawStyle> style;
        if (!style) {
            style = new TOwnerDrawStyle;
            style->setParent(qApp);
        }
        return style;
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override
    {
        if (type == CT_MenuItem || type == CT_MenuBarItem) {
            if (TMenuItem *item = ownerDrawnItem(widget)) {
                // Measured in the faces that will draw the item.
                TCanvas canvas(1, 1, widget ? widget->devicePixelRatioF() : 1);
                int width = 0, height = 0;
                item->MeasureItem(canvas, width, height);
                if (type == CT_MenuItem)
                    width = std::max(0, width) + menuCheckMarkWidth(widget);
                return QSize(std::max(0, width), std::max(0, height));
            }
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_MenuItem || element == CE_MenuBarItem) {
            if (TMenuItem *item = ownerDrawnItem(widget)) {
                const QRect r = option->rect;
                if (r.isEmpty())
                    return;
                TCanvas canvas(r.width(), r.height(), widget ? widget->devicePixelRatioF() : 1);
                canvas.SetViewportOrg(-r.x(), -r.y());
                canvas.SetWindow(const_cast<QWidget *>(widget));
                const bool selected =
                    option->state & (element == CE_MenuItem ? State_Selected : (State_Selected | State_Sunken));
                item->DrawItem(canvas, TRect::FromQRect(r), selected);
                painter->drawImage(r.topLeft(), canvas.Image());
                // Like the desktop, the menu marks an item that opens a submenu
                // itself, after the item has painted.
                const auto *menuOption = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
                if (element == CE_MenuItem && menuOption && menuOption->menuItemType == QStyleOptionMenuItem::SubMenu) {
                    QStyleOption arrow(*option);
                    arrow.rect = QRect(r.right() - 12, r.top(), 9, r.height());
                    arrow.palette.setColor(QPalette::ButtonText, ToQColor(clMenuText));
                    arrow.palette.setColor(QPalette::WindowText, ToQColor(clMenuText));
                    QProxyStyle::drawPrimitive(PE_IndicatorArrowRight, &arrow, painter, widget);
                }
                return;
            }
        }
        if (element == CE_MenuEmptyArea || element == CE_MenuBarEmptyArea) {
            if (isOwnerDrawn(widget)) {
                painter->fillRect(option->rect, ToQColor(clMenu));
                return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if ((element == PE_FrameMenu || element == PE_PanelMenu || element == PE_PanelMenuBar) &&
            isOwnerDrawn(widget)) {
            // The frame is the window's own (see TMenuWindow); the panel is the menu colour.
            if (element != PE_FrameMenu)
                painter->fillRect(option->rect, ToQColor(clMenu));
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (isOwnerDrawn(widget)) {
            switch (metric) {
            case PM_MenuPanelWidth: return kMenuFrame;
            case PM_MenuHMargin:
            case PM_MenuVMargin:
            case PM_MenuBarPanelWidth:
            case PM_MenuBarItemSpacing:
            case PM_MenuBarHMargin:
            case PM_MenuBarVMargin:
            case PM_MenuDesktopFrameWidth:
            case PM_MenuTearoffHeight: return 0;
            case PM_SubMenuOverlap: return -kMenuFrame;
            default: break;
            }
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        // The desktop highlights disabled items too; the item decides how they look.
        if (hint == SH_Menu_AllowActiveAndDisabled && isOwnerDrawn(widget))
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

private:
    static const TOwnerDrawHost *host(const QWidget *widget) { return dynamic_cast<const TOwnerDrawHost *>(widget); }
    static bool isOwnerDrawn(const QWidget *widget)
    {
        const TOwnerDrawHost *h = host(widget);
        return h && h->IsOwnerDrawn();
    }
    static TMenuItem *ownerDrawnItem(const QWidget *widget)
    {
        const TOwnerDrawHost *h = host(widget);
        return h && h->IsOwnerDrawn() ? h->StyledItem() : nullptr;
    }
};

// Draws the desktop's classic raised menu border into the frame canvas.
void paintClassicFrame(TCanvas &c)
{
    const int w = c.Width(), h = c.Height();
    const TSavedDC saved(c);
    c.ResetClip();
    c.SetViewportOrg(0, 0);
    struct Ring {
        TColor light, dark;
    };
    const Ring rings[kMenuFrame] = {{cl3DLight, cl3DDkShadow}, {clBtnHighlight, clBtnShadow}, {clMenu, clMenu}};
    for (int i = 0; i < kMenuFrame; ++i) {
        const int l = i, t = i, r = w - i, b = h - i;
        if (r - l < 2 || b - t < 2)
            break;
        c.Brush = {rings[i].light, bsSolid};
        c.FillRect(Rect(l, t, r - 1, t + 1));
        c.FillRect(Rect(l, t, l + 1, b - 1));
        c.Brush = {rings[i].dark, bsSolid};
        c.FillRect(Rect(l, b - 1, r, b));
        c.FillRect(Rect(r - 1, t, r, b));
    }
}

class TMenuWindow : public QMenu, public TOwnerDrawHost {
public:
    TMenuWindow(QWidget *parent, bool ownerDraw) : QMenu(parent)
    {
        ownerDraw_ = ownerDraw;
        if (ownerDraw) {
            setStyle(TOwnerDrawStyle::instance());
            // The desktop shows every separator as it stands.
            setSeparatorsCollapsible(false);
        }
    }

    TCanvas &FrameCanvas()
    {
        frame_.SetDevicePixelRatio(devicePixelRatioF());
        frame_.Resize(width(), height());
        return frame_;
    }
    TRect ClientRect() const { return Rect(kMenuFrame, kMenuFrame, width() - kMenuFrame, height() - kMenuFrame); }

protected:
    void initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const override
    {
        QMenu::initStyleOption(option, action);
        styled_ = action;
    }

    void paintEvent(QPaintEvent *event) override
    {
        if (!ownerDraw_) {
            QMenu::paintEvent(event);
            return;
        }
        // The border is painted first, so that items may paint over it while
        // they are drawn; it is copied in after them.
        paintClassicFrame(FrameCanvas());
        QMenu::paintEvent(event);
        QPainter p(this);
        p.setClipRegion(QRegion(rect()) - QRegion(ClientRect().ToQRect()));
        p.drawImage(0, 0, frame_.Image());
    }

private:
    TCanvas frame_;
};

class TMenuBarWindow : public QMenuBar, public TOwnerDrawHost {
public:
    TMenuBarWindow(QWidget *parent, bool ownerDraw) : QMenuBar(parent)
    {
        ownerDraw_ = ownerDraw;
        if (ownerDraw)
            setStyle(TOwnerDrawStyle::instance());
    }

protected:
    void initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const override
    {
        QMenuBar::initStyleOption(option, action);
        styled_ = action;
    }
};

// The item's picture for a menu the desktop paints.
QIcon itemIcon(const TMenuItem *item, const TImageList *images)
{
    if (images && item->ImageIndex() >= 0 && item->ImageIndex() < images->Count())
        return images->ToQIcon(item->ImageIndex());
    if (!item->Bitmap().Empty())
        return QIcon(item->Bitmap().ToQPixmap());
    return {};
}

void connectClick(QAction *action, TMenuItem *item)
{
    // The click runs after the menu has closed, like a command message.
    QObject::connect(action, &QAction::triggered, item, [item] {
        QMetaObject::invokeMethod(
            item, [item] { item->Click(); }, Qt::QueuedConnection);
    });
}

} // namespace

// ---------------------------------------------------------------------------
// Menus

TMenu::TMenu(QObject *owner, const QString &name) : QObject(owner), items_(new TMenuItem)
{
    setObjectName(name);
    // The root item is the menu's own part, not an item added to the form.
    items_->setParent(this);
    items_->menu_ = this;
}

TMenu::~TMenu() = default;

bool TMenu::IsRightToLeft() const
{
    return QGuiApplication::layoutDirection() == Qt::RightToLeft && biDiMode_ != bdLeftToRight;
}

void TMenu::fill(QMenu *menu, const TMenuItem *parent) const
{
    auto *host = dynamic_cast<TMenuWindow *>(menu);
    const bool ownerDraw = host && host->IsOwnerDrawn();
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem *item = parent->Items(i);
        if (!item->Visible())
            continue;
        QAction *action = nullptr;
        if (item->IsLine()) {
            action = menu->addSeparator();
        } else if (item->Count() > 0) {
            auto *sub = new TMenuWindow(menu, ownerDraw);
            sub->setTitle(item->Caption());
            sub->setObjectName(item->objectName());
            sub->setEnabled(item->Enabled());
            fill(sub, item);
            action = menu->addMenu(sub);
        } else {
            QString text = item->Caption();
            if (!ownerDraw && item->ShortCut() != 0)
                text += QLatin1Char('\t') + ShortCutToText(item->ShortCut());
            action = menu->addAction(text);
            action->setEnabled(item->Enabled());
            action->setCheckable(item->Checked());
            action->setChecked(item->Checked());
            connectClick(action, item);
        }
        action->setObjectName(item->objectName());
        if (!ownerDraw) {
            action->setIcon(itemIcon(item, images_));
            if (item->Default()) {
                QFont bold = action->font();
                bold.setBold(true);
                action->setFont(bold);
            }
        }
        if (host)
            host->Map(action, item);
    }
}

TPopupMenu::TPopupMenu(QObject *owner, const QString &name) : TMenu(owner, name) {}

TPopupMenu::~TPopupMenu() = default;

std::unique_ptr<QMenu> TPopupMenu::BuildMenu(QWidget *parent) const
{
    auto menu = std::make_unique<TMenuWindow>(parent, OwnerDraw());
    menu->setObjectName(objectName());
    fill(menu.get(), Items());
    return menu;
}

void TPopupMenu::Popup(int x, int y)
{
    std::unique_ptr<QMenu> menu = BuildMenu();
    menu->exec(QPoint(x, y));
}

TMainMenu::TMainMenu(QObject *owner, const QString &name) : TMenu(owner, name) {}

TMainMenu::~TMainMenu() = default;

std::unique_ptr<QMenuBar> TMainMenu::BuildMenuBar(QWidget *parent)
{
    auto bar = std::make_unique<TMenuBarWindow>(parent, OwnerDraw());
    bar->setObjectName(objectName());
    for (int i = 0; i < Items()->Count(); ++i) {
        TMenuItem *item = Items()->Items(i);
        if (!item->Visible())
            continue;
        QAction *action = nullptr;
        if (item->Count() > 0) {
            auto *sub = new TMenuWindow(bar.get(), OwnerDraw());
            sub->setTitle(item->Caption());
            sub->setObjectName(item->objectName());
            fill(sub, item);
            action = bar->addMenu(sub);
        } else {
            action = bar->addAction(item->Caption());
            connectClick(action, item);
        }
        action->setEnabled(item->Enabled());
        action->setObjectName(item->objectName());
        bar->Map(action, item);
    }
    bar_ = bar.get();
    return bar;
}

TCanvas *MenuWindowCanvas(QWidget *window)
{
    auto *menu = dynamic_cast<TMenuWindow *>(window);
    return menu && menu->IsOwnerDrawn() ? &menu->FrameCanvas() : nullptr;
}

TRect MenuWindowClientRect(QWidget *window)
{
    if (auto *menu = dynamic_cast<TMenuWindow *>(window))
        return menu->ClientRect();
    return window ? Rect(0, 0, window->width(), window->height()) : TRect{};
}

} // namespace framework
