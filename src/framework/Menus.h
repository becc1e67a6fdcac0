// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Menu items, popup menus and main menus, shown through QMenu and QMenuBar.
// An owner-drawn menu asks each item to measure and paint itself into a
// TCanvas; the picture is copied into the Qt menu.
#include <QMenu>
#include <QMenuBar>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "framework/TBitmap.h"
#include "framework/TCanvas.h"
#include "framework/TRect.h"

namespace framework {

class TImageList;
class TMenu;

// A key with its modifiers, as Qt combines them (Qt::CTRL | Qt::Key_S); 0 is none.
using TShortCut = int;
// The text menus show for a shortcut ("Ctrl+S"); empty for none.
QString ShortCutToText(TShortCut shortCut);

// An event bound to a routine. Code names the routine and Data the object it
// runs for, so that code which installed a handler can recognise it again.
template <class Fn>
struct TMethodEvent {
    Fn Handler;
    const void *Code = nullptr;
    const void *Data = nullptr;

    TMethodEvent() = default;
    TMethodEvent(std::nullptr_t) {}
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, TMethodEvent> &&
                                                std::is_constructible_v<Fn, F &&>>>
    TMethodEvent(F &&f) : Handler(std::forward<F>(f))
    {}
    TMethodEvent(Fn f, const void *code, const void *data) : Handler(std::move(f)), Code(code), Data(data) {}
    explicit operator bool() const { return static_cast<bool>(Handler); }
    template <class... A>
    void operator()(A &&...args) const
    {
        Handler(std::forward<A>(args)...);
    }
};

using TMenuMeasureItemEvent =
    TMethodEvent<std::function<void(QObject *sender, TCanvas &canvas, int &width, int &height)>>;
using TMenuDrawItemEvent =
    TMethodEvent<std::function<void(QObject *sender, TCanvas &canvas, TRect rect, bool selected)>>;

// Told about components created below the object it lives under.
enum TOperation { opInsert, opRemove };
class TMenuItem;
class TComponentObserver {
public:
    virtual ~TComponentObserver() = default;
    virtual void Notification(QObject *component, TOperation operation) = 0;
    // An item joined a menu (or an item of one) owned at or below the
    // observer's owners.
    virtual void MenuItemAdded(TMenuItem *) {}
};
// Tells every observer among the children of the component's owners (its
// parent, the parent's parent, ...) that the component was inserted.
void NotifyInsertion(QObject *component);

class TMenuItem : public QObject {
    Q_OBJECT
public:
    explicit TMenuItem(QObject *owner = nullptr, const QString &name = QString(), const QString &caption = QString());
    // Leaves its parent item; its own items lose their parent.
    ~TMenuItem() override;

    QString Caption() const { return caption_; }
    void SetCaption(const QString &caption) { caption_ = caption; }
    bool IsLine() const { return caption_ == QLatin1String("-"); }
    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(TShortCut value) { shortCut_ = value; }
    void SetShortCut(QKeyCombination value) { shortCut_ = value.toCombined(); }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    bool Checked() const { return checked_; }
    void SetChecked(bool value) { checked_ = value; }
    bool RadioItem() const { return radioItem_; }
    void SetRadioItem(bool value) { radioItem_ = value; }
    bool Default() const { return default_; }
    void SetDefault(bool value) { default_ = value; }
    bool Visible() const { return visible_; }
    void SetVisible(bool value) { visible_ = value; }
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index) { imageIndex_ = index; }
    // The item's own picture, used when the menu's image list gives none.
    const TBitmap &Bitmap() const { return bitmap_; }
    TBitmap &Bitmap() { return bitmap_; }

    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem *Items(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    // The item above this one; a top-level item's parent is its menu's root
    // item. An item deleted leaves its parent, so the links never dangle.
    TMenuItem *Parent() const { return parent_; }
    void Add(TMenuItem *item);
    void Insert(int index, TMenuItem *item);
    void Remove(TMenuItem *item);
    int IndexOf(const TMenuItem *item) const;

    // The menu the item belongs to, or none.
    TMenu *GetParentMenu() const;
    // The menu for a top-level item, the item above for the others.
    QObject *GetParentComponent() const;

    // Runs OnClick through the application's error guard.
    void Click();
    std::function<void(QObject *sender)> OnClick;

    // Owner-draw requests, made while the item's menu is owner-drawn.
    TMenuMeasureItemEvent OnMeasureItem;
    TMenuDrawItemEvent OnDrawItem;
    // Answers a request: the handler when there is one, else a plain default.
    void MeasureItem(TCanvas &canvas, int &width, int &height);
    void DrawItem(TCanvas &canvas, const TRect &rect, bool selected);

private:
    friend class TMenu;
    void defaultDraw(TCanvas &canvas, const TRect &rect, bool selected);

    QString caption_;
    TShortCut shortCut_ = 0;
    bool enabled_ = true, checked_ = false, radioItem_ = false, default_ = false, visible_ = true;
    int imageIndex_ = -1;
    TBitmap bitmap_;
    TMenuItem *parent_ = nullptr;
    TMenu *menu_ = nullptr; // set on a menu's root item only
    std::vector<TMenuItem *> items_;
};

enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

// What popup and main menus share: the root item, owner-draw and images.
class TMenu : public QObject {
    Q_OBJECT
public:
    explicit TMenu(QObject *owner = nullptr, const QString &name = QString());
    ~TMenu() override;

    TMenuItem *Items() const { return items_; }
    bool OwnerDraw() const { return ownerDraw_; }
    void SetOwnerDraw(bool value) { ownerDraw_ = value; }
    TImageList *Images() const { return images_; }
    void SetImages(TImageList *images) { images_ = images; }
    TBiDiMode BiDiMode() const { return biDiMode_; }
    // Right to left when the desktop reads right to left and the menu does not insist on left to right.
    bool IsRightToLeft() const;

protected:
    // Fills a Qt menu with the items below parent.
    void fill(QMenu *menu, const TMenuItem *parent) const;

private:
    TMenuItem *items_;
    bool ownerDraw_ = false;
    TImageList *images_ = nullptr;
    TBiDiMode biDiMode_ = bdLeftToRight;
};

class TPopupMenu : public TMenu {
    Q_OBJECT
public:
    explicit TPopupMenu(QObject *owner = nullptr, const QString &name = QString());
    ~TPopupMenu() override;

    // Shows the menu at a screen point and returns when it has closed.
    void Popup(int x, int y);
    // The QMenu for the current items; owned by the caller.
    std::unique_ptr<QMenu> BuildMenu(QWidget *parent = nullptr) const;
};

class TMainMenu : public TMenu {
    Q_OBJECT
public:
    explicit TMainMenu(QObject *owner = nullptr, const QString &name = QString());
    ~TMainMenu() override;

    // The QMenuBar for the current items; owned by the caller. The menu keeps
    // track of the latest one so that its form can repaint it.
    std::unique_ptr<QMenuBar> BuildMenuBar(QWidget *parent = nullptr);
    QMenuBar *MenuBar() const { return bar_; }

private:
    QPointer<QMenuBar> bar_;
};

// A canvas over a menu window's whole area, frame included, in the window's
// own coordinates; what is drawn into it during the window's paint shows in
// its frame. None for a window that is not an owner-drawn menu window.
TCanvas *MenuWindowCanvas(QWidget *window);
// The part of a menu window where the items are, in the window's coordinates.
TRect MenuWindowClientRect(QWidget *window);

} // namespace framework
