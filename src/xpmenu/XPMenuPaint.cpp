// SPDX-License-Identifier: GPL-3.0-or-later
// Painting of one item of a menu the XP menu renderer attached to: the
// background, the selection bar, marks, the item image, text and separator,
// and the menu-bar tab and the flat popup frame.
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "framework/Controls.h"
#include "framework/DeviceCaps.h"
#include "framework/TImageList.h"
#include "xpmenu/XPMenu.h"

namespace xpmenu {

using namespace framework;

namespace {

int roundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

} // namespace

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
    const TRect iconRect =
        rtl ? Rect(r.Right - iconWidth_, r.Top, r.Right, r.Bottom) : Rect(r.Left, r.Top, r.Left + iconWidth_, r.Bottom);
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
        PaintItemText(text, ShortCutToText(item->ShortCut()), flags, rtl, barItem, item->Default(), item->Enabled(),
                      selected, textRect, canvas);
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
        const bool steep =
            rightToLeft ? (g.Right - iconWidth_ + 5 < x && x < g.Right) : (g.Left < x && x < g.Left + iconWidth_ + 5);
        step = std::min(step + (steep ? 3 : 1), 96);
        canvas.Brush = {LightenColor(canvas, colors_.IconBack, step), bsSolid};
        canvas.FillRect(Rect(x, g.Top, x + 1, g.Bottom));
    }
}

void TXPMenu::PaintCheckMark(const TMenuItem *item, bool selected, const TRect &m, TCanvas &canvas, bool listImage)
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

void TXPMenu::PaintItemImage(const TMenuItem *, TCanvas &canvas, bool rightToLeft, bool barItem, bool checked,
                             bool enabled, bool selected, const TRect &iconRect, TBitmap &img)
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

void TXPMenu::PaintItemText(const QString &text, const QString &shortcut, unsigned flags, bool rightToLeft,
                            bool barItem, bool isDefault, bool enabled, bool selected, TRect t, TCanvas &canvas)
{
    canvas.Font = Font();
    TColor c = canvas.Font.Color;
    if (selected)
        c = colors_.SelectText;
    if (!enabled)
        c = selected && colors_.HighColor ? LightenColor(canvas, colors_.DisabledText, 10) : colors_.DisabledText;
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
        constexpr Copy copies[] = {{1, 0, 0, 1, 0, 30}, {1, 2, 1, 1, 2, 30}, {0, 1, 0, 0, 1, 40}, {1, 1, 1, 1, 1, 60}};
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
