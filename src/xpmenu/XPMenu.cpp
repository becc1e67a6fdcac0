#include "xpmenu/XPMenu.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

#include "framework/Controls.h"
#include "framework/DeviceCaps.h"
#include "framework/TImageList.h"
#include "platform/SystemParameters.h"

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
    : QObject(owner), form_(owner), color_(clBtnFace), iconBackColor_(clBtnFace),
      menuBarColor_(clBtnFace), selectColor_(clHighlight), selectBorderColor_(clHighlight),
      disabledColor_(clInactiveCaption), separatorColor_(clBtnFace), checkedColor_(clHighlight)
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
    return GetNearestColor(canvas, RGB(clampChannel(GetRValue(rgb) - amount),
                                       clampChannel(GetGValue(rgb) - amount + 2),
                                       clampChannel(GetBValue(rgb) - amount)));
}

TColor TXPMenu::GreyLevelColor(const TCanvas &canvas, TColor color, int lift)
{
    lift = std::min(lift, 100);
    const TColor rgb = ColorToRGB(color);
    const int v = clampChannel(std::min(
        (GetRValue(rgb) + GetGValue(rgb) + GetBValue(rgb)) / 3 + lift, 240));
    return GetNearestColor(canvas, RGB(v, v, v));
}

TColor TXPMenu::BarTextColor(const TCanvas &canvas, TColor color) const
{
    const TColor rgb = ColorToRGB(color);
    if ((GetRValue(rgb) + GetBValue(rgb)) / 2 > 150 || GetGValue(rgb) > 200)
        return Font().Color;
    return LightenColor(canvas, color, 90);
}

// ---------------------------------------------------------------------------
// Painting

bool TXPMenu::isBarItem(const TMenuItem *item) const
{
    const auto *main = qobject_cast<const TMainMenu *>(item->GetParentMenu());
    return main && item->Parent() == main->Items();
}

void TXPMenu::PaintMenuItem(TMenuItem *item, TCanvas &canvas, TRect rect, bool selected)
{
    RefreshPaintColors(canvas);
    const bool separator = item->Caption() == QLatin1String("-");
    const TMenu *menu = item->GetParentMenu();
    const bool rtl = menu && menu->IsRightToLeft();
    const bool barItem = isBarItem(item);
    canvas.Font = Font();
    if (rtl)
        canvas.Font.Charset = 178; // Arabic

    TRect r = rect;
    r.Bottom += 1;
    const QString text = QLatin1Char(' ') + item->Caption();

    TBitmap img;
    if (item->Bitmap().Width() > 0)
        img.Assign(item->Bitmap());
    const TImageList *images = menu ? menu->Images() : nullptr;
    const bool listImage = images && item->ImageIndex() != -1;
    const TRect iconRect = rtl ? Rect(r.Right - iconWidth_, r.Top, r.Right, r.Bottom)
                               : Rect(r.Left, r.Top, r.Left + iconWidth_, r.Bottom);
    TRect markRect;
    if (listImage) {
        markRect = Rect(iconRect.Left + 1, iconRect.Top + 2, iconRect.Right - 3, iconRect.Bottom - 2);
    } else {
        markRect.Left = iconRect.Left + (iconRect.Width() - 10) / 2;
        markRect.Top = iconRect.Top + (iconRect.Height() - 10) / 2;
        markRect.Right = markRect.Left + 10;
        markRect.Bottom = markRect.Top + 10;
    }

    TRect textRect = r;
    const bool wideImage = img.Width() > iconWidth_;
    if (rtl)
        textRect.Right = wideImage ? r.Right - img.Width() - 4 : r.Right - iconWidth_;
    else
        textRect.Left = wideImage ? r.Left + img.Width() + 4 : r.Left + iconWidth_;
    if (barItem) {
        if (!listImage)
            textRect = r;
        else if (rtl)
            textRect.Right += 5;
        else
            textRect.Left -= 5;
    }

    // Background.
    if (barItem) {
        canvas.Brush = {colors_.BarBack, bsSolid};
        canvas.Pen.Color = colors_.BarBack;
        canvas.FillRect(r);
    } else if (colors_.HighColor && gradient_) {
        TRect g = r;
        g.Right += 2;
        PaintItemGradient(canvas, g, rtl);
    } else {
        canvas.Brush = {colors_.ItemBack, bsSolid};
        canvas.FillRect(r);
        canvas.Brush.Color = colors_.IconBack;
        canvas.FillRect(iconRect);
    }

    // Selection.
    if (selected && drawSelect_) {
        canvas.Brush.Style = bsSolid;
        if (barItem) {
            PaintBarItemHighlight(item, canvas, rtl, r);
        } else if (item->Enabled()) {
            TRect bar = r;
            bar.Top += 1;
            bar.Bottom -= 1;
            if (flatMenu_)
                bar.Right -= 1;
            canvas.Brush = {colors_.SelectBack, bsSolid};
            canvas.FillRect(bar);
            canvas.Pen = {colors_.SelectFrame};
            canvas.Brush.Style = bsClear;
            canvas.Rectangle(bar);
            canvas.Brush.Style = bsSolid;
        }
    }

    PaintCheckMark(item, selected, markRect, canvas, listImage);

    if (listImage) {
        img = TBitmap(images->Width(), images->Height());
        img.Canvas().Brush = {colors_.IconBack, bsSolid};
        img.Canvas().FillRect(Rect(0, 0, img.Width(), img.Height()));
        images->Draw(img.Canvas(), 0, 0, item->ImageIndex());
    } else if (item->Bitmap().Width() > 0) {
        img.Assign(item->Bitmap());
    }
    PaintItemImage(item, canvas, rtl, barItem, item->Checked(), item->Enabled(), selected, iconRect, img);

    if (!separator) {
        unsigned flags = 0;
        if (rtl) {
            flags = DT_RTLREADING | DT_RIGHT;
            textRect.Right -= 5;
        } else {
            textRect.Left += 5;
        }
        PaintItemText(text, ShortCutToText(item->ShortCut()), flags, rtl, barItem, item->Default(),
                      item->Enabled(), selected, textRect, canvas);
    } else {
        canvas.Pen = {colors_.SeparatorLine};
        const int y = textRect.Top + roundEven((textRect.Bottom - textRect.Top) / 2.0);
        if (rtl) {
            canvas.MoveTo(textRect.Left, y);
            canvas.LineTo(textRect.Right - 7, y);
        } else {
            canvas.MoveTo(textRect.Left + 7, y);
            canvas.LineTo(textRect.Right, y);
        }
    }

    if (flatMenu_ && !barItem) {
        QWidget *window = canvas.Window();
        if (window && window != form_)
            PaintMenuFrame(window, rtl);
    }
}

void TXPMenu::PaintItemGradient(TCanvas &canvas, const TRect &g, bool rightToLeft)
{
    int step = 0;
    const int columns = g.Right - g.Left + 1;
    for (int i = 0; i < columns; ++i) {
        const int x = rightToLeft ? g.Right - 1 - i : g.Left + i;
        const bool steep = rightToLeft ? (g.Right - iconWidth_ + 5 < x && x < g.Right)
                                       : (g.Left < x && x < g.Left + iconWidth_ + 5);
        step = std::min(step + (steep ? 3 : 1), 96);
        canvas.Brush = {LightenColor(canvas, colors_.IconBack, step), bsSolid};
        canvas.FillRect(Rect(x, g.Top, x + 1, g.Bottom));
    }
}

void TXPMenu::PaintCheckMark(const TMenuItem *item, bool selected, const TRect &m, TCanvas &canvas,
                             bool listImage)
{
    if (!item->Checked())
        return;
    canvas.Brush = {selected ? colors_.CheckFillSelected : colors_.CheckFill, bsSolid};
    if (item->RadioItem()) {
        canvas.Pen = {colors_.SelectFrame};
        if (listImage)
            canvas.RoundRect(m.Left, m.Top, m.Right, m.Bottom, 6, 6);
        else
            canvas.Ellipse(m);
        return;
    }
    if (listImage) {
        canvas.Pen = {colors_.SelectFrame};
        canvas.Rectangle(m);
        return;
    }
    canvas.Pen = {colors_.CheckFrame};
    canvas.Rectangle(m);
    canvas.Pen = {clBlack};
    const int l = m.Left, t = m.Top, rt = m.Right, b = m.Bottom;
    const TPoint strokes[5][2] = {{{l + 1, t + 5}, {l + 4, b - 2}},
                                  {{l + 2, t + 5}, {l + 4, b - 3}},
                                  {{l + 2, t + 4}, {l + 5, b - 3}},
                                  {{l + 4, b - 3}, {rt + 2, t - 1}},
                                  {{l + 4, b - 2}, {rt - 2, t + 3}}};
    for (const auto &s : strokes) {
        canvas.MoveTo(s[0].X, s[0].Y);
        canvas.LineTo(s[1].X, s[1].Y);
    }
}

void TXPMenu::PaintItemImage(const TMenuItem *, TCanvas &canvas, bool rightToLeft, bool barItem,
                             bool checked, bool enabled, bool selected, const TRect &iconRect,
                             TBitmap &img)
{
    if (img.Empty())
        return;
    int y = iconRect.Top + 4;
    int x;
    if (img.Width() <= iconWidth_)
        x = iconRect.Left + (iconWidth_ - img.Width()) / 2 - 1;
    else if (rightToLeft)
        x = iconRect.Right - img.Width() - 2;
    else
        x = iconRect.Left + 2;
    const bool raised = selected && enabled && !checked;
    if (raised && !barItem) {
        --x;
        --y;
    }
    if (!selected && enabled && !checked && colors_.HighColor)
        FadeImage(img, 30);
    if (!enabled)
        GreyOutImage(img, selected ? 70 : 60);
    if (raised)
        PaintImageShadow(img, canvas, x + 2, y + 2, DarkenColor(canvas, colors_.SelectBack, 50));
    img.SetTransparentColor(clNone); // the bottom-left pixel
    img.SetTransparent(true);
    img.Draw(canvas, x, y);
}

namespace {

// Runs f over every pixel of the bitmap, remembering the last answer so that
// runs of equal pixels cost one colour computation.
template <class F>
void mapPixels(TBitmap &bitmap, F &&f)
{
    TCanvas &c = bitmap.Canvas();
    bool cached = false;
    TColor lastSource = 0, lastResult = 0;
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            const TColor p = c.Pixels(x, y);
            if (!cached || p != lastSource) {
                lastSource = p;
                lastResult = f(c, p);
                cached = true;
            }
            c.SetPixels(x, y, lastResult);
        }
    }
}

} // namespace

void TXPMenu::FadeImage(TBitmap &bitmap, int percent)
{
    percent = std::min(percent, 100);
    mapPixels(bitmap, [percent](const TCanvas &c, TColor p) { return LightenColor(c, p, percent); });
}

void TXPMenu::GreyOutImage(TBitmap &bitmap, int lift)
{
    mapPixels(bitmap, [lift](const TCanvas &c, TColor p) { return GreyLevelColor(c, p, lift); });
}

void TXPMenu::PaintImageShadow(const TBitmap &bitmap, TCanvas &canvas, int x, int y, TColor color)
{
    if (bitmap.Empty())
        return;
    const TCanvas &src = bitmap.Canvas();
    const TColor back = src.Pixels(0, bitmap.Height() - 1);
    for (int j = 0; j < bitmap.Height(); ++j)
        for (int i = 0; i < bitmap.Width(); ++i)
            if (src.Pixels(i, j) != back)
                canvas.SetPixels(x + i, y + j, color);
}

void TXPMenu::PaintItemText(const QString &text, const QString &shortcut, unsigned flags,
                            bool rightToLeft, bool barItem, bool isDefault, bool enabled,
                            bool selected, TRect t, TCanvas &canvas)
{
    canvas.Font = Font();
    TColor c = canvas.Font.Color;
    if (selected)
        c = colors_.SelectText;
    if (!enabled)
        c = selected && colors_.HighColor ? LightenColor(canvas, colors_.DisabledText, 10)
                                          : colors_.DisabledText;
    if (selected && barItem)
        c = BarTextColor(canvas, colors_.IconBack);
    canvas.Font.Color = c;
    t.Top += (t.Bottom - t.Top - canvas.TextHeight(QStringLiteral("W"))) / 2;
    canvas.SetBkMode(TRANSPARENT);

    if (isDefault && enabled) {
        // Four soft, darker copies under the caption make it look heavier.
        struct Copy {
            int left, top, right, readX, readY, amount;
        };
        constexpr Copy copies[] = {{1, 0, 0, 1, 0, 30}, {1, 2, 1, 1, 2, 30}, {0, 1, 0, 0, 1, 40},
                                   {1, 1, 1, 1, 1, 60}};
        for (const Copy &k : copies) {
            const TColor under = canvas.Pixels(t.Left + k.readX, t.Top + k.readY);
            canvas.Font.Color = DarkenColor(canvas, under, k.amount);
            TRect s = t;
            s.Left += k.left;
            s.Top += k.top;
            s.Right += k.right;
            canvas.DrawText(text, s, flags);
        }
        canvas.Font.Color = c;
    }
    canvas.DrawText(text, t, flags);

    canvas.Font.Color = colors_.HighColor ? DarkenColor(canvas, c, -40) : c;
    const QString shown = shortcut + QLatin1Char(' ');
    if (rightToLeft) {
        t.Left += 10;
        canvas.DrawText(shown, t, DT_LEFT);
    } else {
        t.Right -= 10;
        canvas.DrawText(shown, t, DT_RIGHT);
    }
}

void TXPMenu::PaintBarItemHighlight(const TMenuItem *, TCanvas &canvas, bool rightToLeft, TRect r)
{
    const int l = r.Left, t = r.Top, rt = r.Right, b = r.Bottom;
    canvas.Brush = {colors_.IconBack, bsSolid};
    canvas.FillRect(r);
    canvas.Pen = {colors_.FrameDark};
    if (rightToLeft || !colors_.HighColor) {
        canvas.Polyline({{l, b - 1}, {l, t}, {rt - 3, t}, {rt - 3, b}});
        canvas.Brush = {colors_.FrameLight, bsSolid};
        canvas.FillRect(Rect(rt - 2, t + 2, rt, b));
        return;
    }
    canvas.Polyline({{l, b - 1}, {l, t}, {rt - 8, t}, {rt - 8, b}});

    const TColor m = colors_.BarBack;
    struct Fill {
        int amount;
        TRect rect;
    };
    const Fill shadow[] = {{10, Rect(rt - 7, t, rt, b)},
                           {30, Rect(rt - 7, t + 3, rt - 2, b)},
                           {60, Rect(rt - 7, t + 5, rt - 3, b)},
                           {100, Rect(rt - 7, t + 6, rt - 5, b)}};
    for (const Fill &f : shadow) {
        const TColor c = DarkenColor(canvas, m, f.amount);
        canvas.Brush = {c, bsSolid};
        canvas.Pen = {c};
        canvas.Rectangle(f.rect);
    }

    canvas.Pen = {m};
    canvas.Polyline({{rt - 5, t + 1}, {rt - 1, t + 1}, {rt - 1, t + 6}});
    canvas.Polyline({{rt - 3, t + 2}, {rt - 2, t + 2}, {rt - 2, t + 3}, {rt - 3, t + 3}});
    canvas.Pen = {DarkenColor(canvas, m, 10)};
    canvas.Polyline({{rt - 6, t + 3}, {rt - 3, t + 3}, {rt - 3, t + 6}, {rt - 4, t + 6}, {rt - 4, t + 3}});
    canvas.Pen = {DarkenColor(canvas, m, 30)};
    canvas.Polyline({{rt - 5, t + 5}, {rt - 4, t + 5}, {rt - 4, t + 9}});
    canvas.Pen = {DarkenColor(canvas, m, 40)};
    canvas.Polyline({{rt - 6, t + 5}, {rt - 6, t + 7}});
}

void TXPMenu::PaintMenuFrame(QWidget *window, bool rightToLeft)
{
    if (!window)
        return;
    // The window's own picture, frame included, stands for the screen here;
    // its item area is kept out so that only the border is painted over.
    TCanvas *canvas = MenuWindowCanvas(window);
    if (!canvas)
        return;
    const TSavedDC saved(*canvas);
    canvas->ResetClip();
    canvas->SetViewportOrg(0, 0);
    const TRect client = MenuWindowClientRect(window);
    canvas->ExcludeClipRect(client.Left, client.Top, client.Right, client.Bottom);

    const int l = 0, t = 0, r = window->width(), b = window->height();
    const int r2 = r - 2, b2 = b - 2; // the frame proper, inside the shadow
    canvas->Brush.Style = bsClear;
    canvas->Pen = {colors_.FrameDark};
    canvas->Rectangle(l, t, r2, b2);
    auto line = [canvas](int x0, int y0, int x1, int y1) {
        canvas->MoveTo(x0, y0);
        canvas->LineTo(x1, y1);
    };
    if (rightToLeft) {
        canvas->Pen = {colors_.ItemBack};
        canvas->Rectangle(l + 1, t + 1, r2 - 2, t + 3);
        line(l + 2, t + 2, l + 2, b2 - 2);
        canvas->Pen = {colors_.IconBack};
        line(r2 - 2, t + 2, r2 - 2, b2 - 2);
        line(r2 - 2, t + 2, r2 - 1 - iconWidth_, t + 2);
    } else {
        if (!gradient_) {
            canvas->Pen = {colors_.ItemBack};
            canvas->Rectangle(l + 1, t + 1, r2 - 2, t + 3);
            canvas->Pen = {colors_.IconBack};
            line(l + 1, t + 2, l + 2 + iconWidth_, t + 2);
        }
        canvas->Pen = {colors_.IconBack};
        line(l + 1, t + 1, l + 1, b2 - 2);
    }
    canvas->Pen = {colors_.FrameLight};
    canvas->Rectangle(l + 2, b - 2, r, b);
    canvas->Rectangle(r - 2, t + 2, r, b);
    canvas->Pen = {colors_.IconBack};
    canvas->Rectangle(l, b - 2, l + 2, b);
    canvas->Rectangle(r - 2, t, r, t + 2);
}

} // namespace xpmenu
