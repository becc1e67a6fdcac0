// SPDX-License-Identifier: GPL-3.0-or-later
#include "flat/TFlatHintUnit.h"

#include <QWidget>
#include <array>

#include "desktop/Cursor.h"
#include "desktop/Screens.h"
#include "desktop/WindowSystem.h"
#include "framework/TApplication.h"

namespace flat {

using namespace framework;

namespace {

constexpr unsigned HintTextFormat = DT_WORDBREAK | DT_NOPREFIX;
// Border (2), arrow panel (14), text margins (6): the part of the width
// that is not text.
constexpr int NonTextWidth = 22;
constexpr int NonTextHeight = 6;
constexpr int PanelWidth = 14;

// The application's show-hint event as a TFlatHint installs it. A named type,
// so the component can tell on destruction whether the event is still its own.
struct ShowHintForwarder {
    QPointer<TFlatHint> hint;
    void operator()(QString &hintStr, bool &canShow, THintInfo &hintInfo) const
    {
        if (hint && hint->OnShowHint)
            hint->OnShowHint(hintStr, canShow, hintInfo);
    }
};

// What a hint is drawn with: the component's values, or a new component's
// when the main form has none.
struct HintLook {
    TFont font;
    TColor background = 0x00FFFFFF, border = 0x00000000, arrowBackground = 0x0053D2FF, arrow = 0x00000000;
    int maxWidth = 200;
};

HintLook lookOf(const TFlatHint *hint)
{
    HintLook look;
    if (hint) {
        look.font = hint->Font();
        look.background = hint->ColorBackground();
        look.border = hint->ColorBorder();
        look.arrowBackground = hint->ColorArrowBackground();
        look.arrow = hint->ColorArrow();
        look.maxWidth = hint->MaxHintWidth();
    }
    return look;
}

} // namespace

// ---------------------------------------------------------------------------

TFlatHint::TFlatHint(QObject *owner, bool designing) : QObject(owner), designing_(designing)
{
    if (designing_)
        return;
    TApplication &app = Application();
    app.SetHintWindowClass(&CreateHintWindow<TFlatHintWindow>);
    // Off and on twice, each step from the current value: the setting ends as
    // it was, and a hint window that exists is replaced by a flat one.
    for (int i = 0; i < 4; ++i)
        app.SetShowHint(!app.ShowHint());
    app.OnShowHint = ShowHintForwarder{this};
    app.SetHintPause(500);
    app.SetHintShortPause(25);
    app.SetHintHidePause(5000);
}

TFlatHint::~TFlatHint()
{
    // The rest of the set-up stays; only the event must not reach this
    // component any more.
    TApplication &app = Application();
    if (const auto *forwarder = app.OnShowHint.target<ShowHintForwarder>(); forwarder && forwarder->hint == this)
        app.OnShowHint = nullptr;
}

void TFlatHint::SetColors(int index, TColor value)
{
    if (index >= 0 && index < 4)
        colors_[index] = value;
}

// ---------------------------------------------------------------------------

TFlatHint *TFlatHintWindow::FindFlatHint()
{
    QWidget *form = Application().MainForm();
    if (!form)
        return nullptr;
    for (QObject *child : form->children())
        if (auto *hint = qobject_cast<TFlatHint *>(child))
            return hint;
    return nullptr;
}

void TFlatHintWindow::CreateParams(TCreateParams &params)
{
    THintWindow::CreateParams(params);
    // The border is part of the painted box.
    params.Border = false;
}

TRect TFlatHintWindow::ArrowPanelRect(TArrowCorner corner, int w, int h)
{
    if (corner == acTopLeft || corner == acBottomLeft)
        return Rect(1, 1, 1 + PanelWidth, h - 1);
    return Rect(w - 1 - PanelWidth, 1, w - 1, h - 1);
}

TRect TFlatHintWindow::TextAreaRect(TArrowCorner corner, int w, int h)
{
    if (corner == acTopLeft || corner == acBottomLeft)
        return Rect(1 + PanelWidth, 1, w - 1, h - 1);
    return Rect(1, 1, w - 1 - PanelWidth, h - 1);
}

TPoint TFlatHintWindow::ArrowAnchorFor(TArrowCorner corner, int w, int h)
{
    const TRect panel = ArrowPanelRect(corner, w, h);
    const bool left = corner == acTopLeft || corner == acBottomLeft;
    const bool top = corner == acTopLeft || corner == acTopRight;
    return {left ? panel.Left + 2 : panel.Right - 3, top ? panel.Top + 2 : panel.Bottom - 3};
}

void TFlatHintWindow::ActivateAtCursor(const TRect &r, const QString &text)
{
    ActivateAtPoint(r, text, platform::GetCursorPos(), Application().HintControl());
}

void TFlatHintWindow::ActivateNotice(const TRect &rect, const QString &text, const QWidget *control)
{
    ActivateAtPoint(rect, text, control->mapToGlobal(QPoint(control->width(), control->height() / 2)), control);
}

void TFlatHintWindow::ActivateAtPoint(const TRect &r, const QString &text, QPoint point, const QWidget *control)
{
    SetCaption(text);
    hintComponent_ = FindFlatHint();
    const HintLook look = lookOf(hintComponent_);
    Canvas().Font = look.font;

    TRect m = r;
    m.Right = r.Left + look.maxWidth - NonTextWidth;
    Canvas().DrawText(text, m, DT_CALCRECT | HintTextFormat);
    const int w = m.Width() + NonTextWidth;
    const int h = m.Height() + NonTextHeight;

    const QRect area = platform::HintArea(control, point);
    const int l = area.left(), t = area.top(), mx = l + area.width() / 2, my = t + area.height() / 2;
    const int r2 = l + area.width(), b2 = t + area.height();
    const TPoint c{point.x(), point.y()};
    TRect bounds;
    if (PtInRect(Rect(l, t, mx, my), c)) {
        arrowCorner_ = acTopLeft;
        constexpr int d = 12;
        bounds = Rect(c.X + d, c.Y + d, c.X + d + w, c.Y + d + h);
    } else if (PtInRect(Rect(mx, t, r2, my), c)) {
        arrowCorner_ = acTopRight;
        constexpr int d = 5;
        bounds = Rect(c.X - d - w, c.Y + d, c.X - d, c.Y + d + h);
    } else if (PtInRect(Rect(l, my, mx, b2), c)) {
        arrowCorner_ = acBottomLeft;
        constexpr int d = 5;
        bounds = Rect(c.X + d, c.Y - d - h, c.X + d + w, c.Y - d);
    } else {
        arrowCorner_ = acBottomRight;
        constexpr int d = 5;
        bounds = Rect(c.X - d - w, c.Y - d - h, c.X - d, c.Y - d);
    }
    // Not moved back onto the screen: the box keeps its place by the point.
    ShowAt(bounds);
}

void TFlatHintWindow::PaintHintBox(TCanvas &canvas) const
{
    const HintLook look = lookOf(hintComponent_);
    const int w = canvas.Width(), h = canvas.Height();
    const TRect panel = ArrowPanelRect(arrowCorner_, w, h);
    const TRect area = TextAreaRect(arrowCorner_, w, h);

    canvas.Brush = {look.arrowBackground, bsSolid};
    canvas.FillRect(panel);
    canvas.Brush.Color = look.background;
    canvas.FillRect(area);
    canvas.Brush.Color = look.border;
    canvas.FrameRect(Rect(0, 0, w, h));

    const bool left = arrowCorner_ == acTopLeft || arrowCorner_ == acBottomLeft;
    const bool top = arrowCorner_ == acTopLeft || arrowCorner_ == acTopRight;
    const TPoint anchor = ArrowAnchorFor(arrowCorner_, w, h);

    // Two thick strokes along the corner's edges and a thick shaft inward;
    // mirrored for the corner the cursor is at.
    static constexpr std::array<TPoint, 18> Arrow = {{{0, 0},
                                                      {0, 6},
                                                      {1, 6},
                                                      {1, 0},
                                                      {6, 0},
                                                      {6, 1},
                                                      {2, 1},
                                                      {2, 4},
                                                      {5, 7},
                                                      {6, 7},
                                                      {3, 4},
                                                      {3, 3},
                                                      {6, 6},
                                                      {7, 6},
                                                      {3, 2},
                                                      {4, 2},
                                                      {7, 5},
                                                      {7, 6}}};
    const int sx = left ? 1 : -1, sy = top ? 1 : -1;
    std::array<TPoint, 18> points;
    for (std::size_t i = 0; i < Arrow.size(); ++i)
        points[i] = {anchor.X + sx * Arrow[i].X, anchor.Y + sy * Arrow[i].Y};
    canvas.Pen = {look.arrow, 1, psSolid};
    canvas.Polyline(points);

    canvas.Brush.Style = bsClear;
    canvas.SetBkMode(TRANSPARENT);
    TRect text = area;
    InflateRect(text, -3, -1);
    canvas.DrawText(Caption(), text, HintTextFormat);
}

} // namespace flat
