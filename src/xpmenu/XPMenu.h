// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TXPMenu: while active, measures and paints every item of every menu its
// form owns in the flat XP look: an icon column (optionally a gradient), a
// framed selection bar, drawn check and radio marks, faded and greyed item
// images, raised menu-bar tabs and an optional flat popup frame.
#include <QObject>
#include <QPointer>
#include <QString>

#include "framework/Menus.h"
#include "framework/TBitmap.h"
#include "framework/TCanvas.h"
#include "framework/TColor.h"
#include "framework/TFont.h"
#include "framework/TRect.h"

class QWidget;

namespace xpmenu {

using framework::TBitmap;
using framework::TCanvas;
using framework::TColor;
using framework::TFont;
using framework::TMenuItem;
using framework::TRect;

// The colours one paint works with, derived from the properties at its start.
struct TXPPaintColors {
    bool HighColor = true;
    TColor ItemBack = 0, IconBack = 0, SelectBack = 0, SelectFrame = 0, SelectText = 0, CheckFill = 0,
           CheckFillSelected = 0, CheckFrame = 0, BarBack = 0, DisabledText = 0, SeparatorLine = 0, FrameDark = 0,
           FrameLight = 0;
};

class TXPMenu : public QObject, public framework::TComponentObserver {
    Q_OBJECT
public:
    // The owner is the form whose menus the component takes over.
    explicit TXPMenu(QObject *owner);
    ~TXPMenu() override;

    // The font items are measured and painted in: the one set, or while
    // UseSystemColors is on the desktop's menu font (read when asked).
    TFont Font() const;
    void SetFont(const TFont &font);
    TColor Color() const { return color_; }
    void SetColor(TColor value) { color_ = value; }
    TColor IconBackColor() const { return iconBackColor_; }
    void SetIconBackColor(TColor value) { iconBackColor_ = value; }
    TColor MenuBarColor() const { return menuBarColor_; }
    void SetMenuBarColor(TColor value);
    TColor SelectColor() const { return selectColor_; }
    void SetSelectColor(TColor value) { selectColor_ = value; }
    TColor SelectBorderColor() const { return selectBorderColor_; }
    void SetSelectBorderColor(TColor value) { selectBorderColor_ = value; }
    TColor SelectFontColor() const { return selectFontColor_; }
    void SetSelectFontColor(TColor value) { selectFontColor_ = value; }
    TColor DisabledColor() const { return disabledColor_; }
    void SetDisabledColor(TColor value) { disabledColor_ = value; }
    TColor SeparatorColor() const { return separatorColor_; }
    void SetSeparatorColor(TColor value) { separatorColor_ = value; }
    TColor CheckedColor() const { return checkedColor_; }
    void SetCheckedColor(TColor value) { checkedColor_ = value; }
    int IconWidth() const { return iconWidth_; }
    void SetIconWidth(int value) { iconWidth_ = value; }
    bool DrawSelect() const { return drawSelect_; }
    void SetDrawSelect(bool value) { drawSelect_ = value; }
    bool UseSystemColors() const { return useSystemColors_; }
    void SetUseSystemColors(bool value);
    bool OverrideOwnerDraw() const { return overrideOwnerDraw_; }
    void SetOverrideOwnerDraw(bool value);
    bool Gradient() const { return gradient_; }
    void SetGradient(bool value) { gradient_ = value; }
    bool FlatMenu() const { return flatMenu_; }
    void SetFlatMenu(bool value) { flatMenu_ = value; }
    bool AutoDetect() const { return autoDetect_; }
    void SetAutoDetect(bool value) { autoDetect_ = value; }
    bool Active() const { return active_; }
    void SetActive(bool value);

    QObject *OwnerForm() const { return form_; }

    // Makes the form's menus owner-drawn and gives their items this
    // component's handlers, or takes the handlers away again.
    void AttachMenus(bool enable);
    // Switches the component on when a menu item is added under AutoDetect.
    void Notification(QObject *component, framework::TOperation operation) override;
    // An item that joins one of the form's menus while the component is
    // active gets the handlers (see RefreshItemHooks).
    void MenuItemAdded(TMenuItem *item) override;

    // The item handlers; both do nothing while the component is inactive.
    void MenuItemDraw(QObject *sender, TCanvas &canvas, TRect rect, bool selected);
    void MenuItemMeasure(QObject *sender, TCanvas &canvas, int &width, int &height);
    // Gives the handlers to items added since attaching (the item, its
    // siblings and everything below them).
    void RefreshItemHooks(TMenuItem *item);

    // The palette of the next paint.
    void RefreshPaintColors(TCanvas &canvas);
    const TXPPaintColors &PaintColors() const { return colors_; }
    // The desktop's menu font with the menu text colour; untouched when the
    // desktop cannot say.
    static void LoadSystemMenuFont(TFont &font);

    // Colour helpers, matched to the canvas's device.
    static TColor LightenColor(const TCanvas &canvas, TColor color, int percent);
    static TColor DarkenColor(const TCanvas &canvas, TColor color, int amount);
    static TColor GreyLevelColor(const TCanvas &canvas, TColor color, int lift);

    // The room the item's picture takes: the image list's size or its own
    // bitmap's, at least IconWidth except on the menu bar.
    framework::TSize ItemImageSize(const TMenuItem *item) const;

    // Painting of one item and its parts.
    void PaintMenuItem(TMenuItem *item, TCanvas &canvas, TRect rect, bool selected);
    void PaintItemGradient(TCanvas &canvas, const TRect &g, bool rightToLeft);
    void PaintCheckMark(const TMenuItem *item, bool selected, const TRect &m, TCanvas &canvas, bool listImage);
    void PaintItemImage(const TMenuItem *item, TCanvas &canvas, bool rightToLeft, bool barItem, bool checked,
                        bool enabled, bool selected, const TRect &iconRect, TBitmap &img);
    void PaintItemText(const QString &text, const QString &shortcut, unsigned flags, bool rightToLeft, bool barItem,
                       bool isDefault, bool enabled, bool selected, TRect t, TCanvas &canvas);
    TColor BarTextColor(const TCanvas &canvas, TColor color) const;
    static void FadeImage(TBitmap &bitmap, int percent);
    static void GreyOutImage(TBitmap &bitmap, int lift);
    static void PaintImageShadow(const TBitmap &bitmap, TCanvas &canvas, int x, int y, TColor color);
    void PaintBarItemHighlight(const TMenuItem *item, TCanvas &canvas, bool rightToLeft, TRect r);
    void PaintMenuFrame(QWidget *window, bool rightToLeft);

private:
    void attachItem(TMenuItem *item, bool enable);
    // Repaints the owner form's menu bar.
    void DrawMenuBar();
    void lazyHook(TMenuItem *item);
    framework::TMenuDrawItemEvent drawHandler();
    framework::TMenuMeasureItemEvent measureHandler();
    bool isBarItem(const TMenuItem *item) const;

    QPointer<QObject> form_;
    TFont font_;
    TColor color_, iconBackColor_, menuBarColor_, selectColor_, selectBorderColor_, selectFontColor_, disabledColor_,
        separatorColor_, checkedColor_;
    int iconWidth_ = 24;
    bool drawSelect_ = true, useSystemColors_ = true, overrideOwnerDraw_ = false, gradient_ = false, flatMenu_ = false,
         autoDetect_ = false, active_ = false;
    TXPPaintColors colors_;
};

} // namespace xpmenu
