// SPDX-License-Identifier: GPL-3.0-or-later
#include "xpmenu/XPMenu.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

#include "desktop/SystemParameters.h"
#include "framework/Controls.h"
#include "framework/DeviceCaps.h"
#include "framework/TImageList.h"

namespace xpmenu {

using namespace framework;

namespace {

// Name the two handler routines, so that detaching recognises them whichever
// instance they were bound to.
const char kDrawRoutine = 0;
const char kMeasureRoutine = 0;

// n / d rounded to the nearest integer, halves to the even neighbour (n >= 0, d > 0).
int roundDivEven(int n, int d)
{
    int q = n / d;
    const int twice = 2 * (n % d);
    if (twice > d || (twice == d && (q & 1)))
        ++q;
    return q;
}

int roundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

int clampChannel(int c) { return std::clamp(c, 0, 255); }

} // namespace

// ---------------------------------------------------------------------------
// Construction and properties

TXPMenu::TXPMenu(QObject *owner)
    : QObject(owner), form_(owner), color_(clBtnFace), iconBackColor_(clBtnFace), menuBarColor_(clBtnFace),
      selectColor_(clHighlight), selectBorderColor_(clHighlight), disabledColor_(clInactiveCaption),
      separatorColor_(clBtnFace), checkedColor_(clHighlight)
{
    LoadSystemMenuFont(font_);
    selectFontColor_ = font_.Color;
}

TXPMenu::~TXPMenu() { AttachMenus(false); }

void TXPMenu::DrawMenuBar()
{
    if (auto *form = qobject_cast<TForm *>(form_.data()))
        form->DrawMenuBar();
}

TFont TXPMenu::Font() const
{
    TFont font = font_;
    if (useSystemColors_)
        LoadSystemMenuFont(font);
    return font;
}

void TXPMenu::SetFont(const TFont &font)
{
    font_ = font;
    DrawMenuBar();
}

void TXPMenu::SetMenuBarColor(TColor value)
{
    menuBarColor_ = value;
    DrawMenuBar();
}

void TXPMenu::SetUseSystemColors(bool value)
{
    useSystemColors_ = value;
    DrawMenuBar();
}

void TXPMenu::SetOverrideOwnerDraw(bool value)
{
    overrideOwnerDraw_ = value;
    if (active_)
        SetActive(true);
}

// Setting it again while on re-attaches, so items that gained handlers of
// their own since are judged afresh.
void TXPMenu::SetActive(bool value)
{
    active_ = value;
    AttachMenus(false);
    if (value)
        AttachMenus(true);
    DrawMenuBar();
}

// ---------------------------------------------------------------------------
// Attaching

TMenuDrawItemEvent TXPMenu::drawHandler()
{
    // The guard keeps a handler left behind on an item harmless once the component is gone.
    return {[self = QPointer<TXPMenu>(this)](QObject *sender, TCanvas &canvas, TRect rect, bool selected) {
                if (self)
                    self->MenuItemDraw(sender, canvas, rect, selected);
            },
            &kDrawRoutine, this};
}

TMenuMeasureItemEvent TXPMenu::measureHandler()
{
    return {[self = QPointer<TXPMenu>(this)](QObject *sender, TCanvas &canvas, int &width, int &height) {
                if (self)
                    self->MenuItemMeasure(sender, canvas, width, height);
            },
            &kMeasureRoutine, this};
}

void TXPMenu::AttachMenus(bool enable)
{
    if (!form_)
        return;
    const QObjectList components = form_->children();
    for (QObject *component : components) {
        auto *menu = qobject_cast<TMenu *>(component);
        if (!menu)
            continue;
        TMenuItem *root = menu->Items();
        for (int i = 0; i < root->Count(); ++i) {
            menu->SetOwnerDraw(enable);
            attachItem(root->Items(i), enable);
        }
    }
}

void TXPMenu::attachItem(TMenuItem *item, bool enable)
{
    if (enable) {
        if (!item->OnDrawItem || overrideOwnerDraw_)
            item->OnDrawItem = drawHandler();
        if (!item->OnMeasureItem || overrideOwnerDraw_)
            item->OnMeasureItem = measureHandler();
    } else {
        if (item->OnDrawItem.Code == &kDrawRoutine)
            item->OnDrawItem = {};
        if (item->OnMeasureItem.Code == &kMeasureRoutine)
            item->OnMeasureItem = {};
    }
    for (int i = 0; i < item->Count(); ++i)
        attachItem(item->Items(i), enable);
}

void TXPMenu::Notification(QObject *component, TOperation operation)
{
    if (autoDetect_ && operation == opInsert && qobject_cast<TMenuItem *>(component))
        SetActive(true);
}

void TXPMenu::MenuItemAdded(TMenuItem *item)
{
    const TMenu *menu = item->GetParentMenu();
    if (active_ && menu && menu->parent() == form_)
        RefreshItemHooks(item);
}

void TXPMenu::lazyHook(TMenuItem *item)
{
    if (item->OnDrawItem.Code == &kDrawRoutine)
        return;
    if (!item->OnDrawItem || overrideOwnerDraw_)
        item->OnDrawItem = drawHandler();
    if (!item->OnMeasureItem || overrideOwnerDraw_)
        item->OnMeasureItem = measureHandler();
}

void TXPMenu::RefreshItemHooks(TMenuItem *item)
{
    if (!item)
        return;
    lazyHook(item);
    TMenuItem *parent = item->Parent();
    if (!parent)
        return;
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem *sibling = parent->Items(i);
        lazyHook(sibling);
        for (int j = 0; j < sibling->Count(); ++j)
            RefreshItemHooks(sibling->Items(j));
    }
}

// ---------------------------------------------------------------------------
// Handlers and measuring

void TXPMenu::MenuItemDraw(QObject *sender, TCanvas &canvas, TRect rect, bool selected)
{
    auto *item = qobject_cast<TMenuItem *>(sender);
    if (active_ && item)
        PaintMenuItem(item, canvas, rect, selected);
}

void TXPMenu::MenuItemMeasure(QObject *sender, TCanvas &canvas, int &width, int &height)
{
    auto *item = qobject_cast<TMenuItem *>(sender);
    if (!active_ || !item)
        return;
    QString text = item->Caption();
    const bool separator = text == QLatin1String("-");
    if (separator)
        text.clear();
    const QString shortcut = ShortCutToText(item->ShortCut());
    if (!shortcut.trimmed().isEmpty())
        text += shortcut + QStringLiteral("WWW"); // the gap between caption and shortcut
    canvas.Font = Font();
    int w = canvas.TextWidth(text);
    if (text.contains(QLatin1Char('&')))
        w -= canvas.TextWidth(QStringLiteral("&"));
    const TSize image = ItemImageSize(item);
    w += image.cx + 10;
    if (width < w)
        width = w;
    if (separator) {
        height = 4;
        return;
    }
    const int th = canvas.TextHeight(text);
    int h = th + roundEven(th * 0.75);
    if (h < image.cy + 4)
        h = image.cy + 4;
    if (height < h)
        height = h;
}

TSize TXPMenu::ItemImageSize(const TMenuItem *item) const
{
    TSize size;
    const TMenu *menu = item->GetParentMenu();
    if (menu && menu->Images() && item->ImageIndex() != -1)
        size = {menu->Images()->Width(), menu->Images()->Height()};
    else if (item->Bitmap().Width() > 0)
        size = {item->Bitmap().Width(), item->Bitmap().Height()};
    const auto *form = qobject_cast<const TForm *>(form_.data());
    const TMainMenu *main = form ? form->Menu() : nullptr;
    const bool onBar = main && item->GetParentComponent() == main;
    if (!onBar)
        size.cx = std::max(size.cx, iconWidth_);
    return size;
}

// ---------------------------------------------------------------------------
// Palette, font and colours

void TXPMenu::LoadSystemMenuFont(TFont &font)
{
    platform::NonClientMetrics metrics;
    metrics.cbSize = platform::NONCLIENTMETRICS_SIZE;
    if (!platform::GetNonClientMetrics(metrics))
        return;
    const platform::LogFont &lf = metrics.menuFont;
    font.Name = lf.faceName;
    font.Height = lf.height;
    TFontStyles style = 0;
    if (lf.weight >= 700)
        style |= fsBold;
    if (lf.italic)
        style |= fsItalic;
    if (lf.underline)
        style |= fsUnderline;
    if (lf.strikeOut)
        style |= fsStrikeOut;
    font.Style = style;
    font.Charset = lf.charset;
    font.Color = clMenuText;
    if (font.Name == QLatin1String("MS Sans Serif"))
        font.Name = QStringLiteral("Tahoma");
}

void TXPMenu::RefreshPaintColors(TCanvas &canvas)
{
    TXPPaintColors &p = colors_;
    p.HighColor = GetDeviceBitsPerPixel(canvas) >= 16;
    p.ItemBack = color_;
    p.IconBack = iconBackColor_;
    p.SelectBack = selectColor_;
    p.SelectFrame = selectBorderColor_;
    p.SelectText = selectFontColor_;
    p.BarBack = menuBarColor_;
    p.DisabledText = disabledColor_;
    p.CheckFrame = checkedColor_;
    p.SeparatorLine = separatorColor_;
    if (p.HighColor) {
        p.CheckFill = LightenColor(canvas, selectColor_, 75);
        p.CheckFillSelected = LightenColor(canvas, selectColor_, 50);
        p.FrameDark = DarkenColor(canvas, clBtnFace, 90);
        p.FrameLight = DarkenColor(canvas, clBtnFace, 76);
    } else {
        p.CheckFill = clWhite;
        p.CheckFillSelected = clSilver;
        p.FrameDark = clBtnShadow;
        p.FrameLight = clBtnShadow;
    }
    if (!useSystemColors_)
        return;
    p.SelectText = Font().Color;
    p.SelectFrame = clHighlight;
    p.CheckFrame = clHighlight;
    if (p.HighColor) {
        p.ItemBack = LightenColor(canvas, clBtnFace, 86);
        p.IconBack = LightenColor(canvas, clBtnFace, 16);
        p.SelectBack = LightenColor(canvas, clHighlight, 68);
        p.BarBack = clMenu;
        p.DisabledText = LightenColor(canvas, clBtnShadow, 10);
        p.SeparatorLine = LightenColor(canvas, clBtnShadow, 25);
        p.CheckFill = LightenColor(canvas, clHighlight, 75);
        p.CheckFillSelected = LightenColor(canvas, clHighlight, 50);
    } else {
        p.ItemBack = clWhite;
        p.IconBack = clBtnFace;
        p.SelectBack = clWhite;
        p.BarBack = clBtnFace;
        p.DisabledText = clBtnShadow;
        p.SeparatorLine = clBtnShadow;
        p.CheckFill = clWhite;
        p.CheckFillSelected = clWhite;
    }
}

TColor TXPMenu::LightenColor(const TCanvas &canvas, TColor color, int percent)
{
    percent = std::clamp(percent, 0, 100);
    const TColor rgb = ColorToRGB(color);
    auto up = [percent](int c) { return c + roundDivEven((255 - c) * percent, 100); };
    return GetNearestColor(canvas, RGB(up(GetRValue(rgb)), up(GetGValue(rgb)), up(GetBValue(rgb))));
}

TColor TXPMenu::DarkenColor(const TCanvas &canvas, TColor color, int amount)
{
    const TColor rgb = ColorToRGB(color);
    return GetNearestColor(canvas, RGB(clampChannel(GetRValue(rgb) - amount), clampChannel(GetGValue(rgb) - amount + 2),
                                       clampChannel(GetBValue(rgb) - amount)));
}

TColor TXPMenu::GreyLevelColor(const TCanvas &canvas, TColor color, int lift)
{
    lift = std::min(lift, 100);
    const TColor rgb = ColorToRGB(color);
    const int v = clampChannel(std::min((GetRValue(rgb) + GetGValue(rgb) + GetBValue(rgb)) / 3 + lift, 240));
    return GetNearestColor(canvas, RGB(v, v, v));
}

TColor TXPMenu::BarTextColor(const TCanvas &canvas, TColor color) const
{
    const TColor rgb = ColorToRGB(color);
    if ((GetRValue(rgb) + GetBValue(rgb)) / 2 > 150 || GetGValue(rgb) > 200)
        return Font().Color;
    return LightenColor(canvas, color, 90);
}

} // namespace xpmenu
