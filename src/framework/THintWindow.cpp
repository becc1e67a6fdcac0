// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/THintWindow.h"

#include "desktop/Screens.h"
#include "desktop/WindowSystem.h"

namespace framework {
namespace {

constexpr unsigned HintTextFormat = DT_WORDBREAK | DT_NOPREFIX;
// Border and margin around the text of the standard look.
constexpr int MarginX = 4, MarginY = 3;

} // namespace

THintWindow::THintWindow()
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    SetColor(clInfoBk);
    Canvas().Font.Color = clInfoText;
}

THintWindow::~THintWindow() = default;

void THintWindow::CreateParams(TCreateParams &params)
{
    // Never active, never a taskbar entry, and the mouse goes through it to
    // what lies below.
    params.Flags = Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                   Qt::WindowTransparentForInput;
    params.Border = true;
}

void THintWindow::CreateHandle()
{
    if (handleAllocated_)
        return;
    TCreateParams params;
    CreateParams(params);
    setWindowFlags(params.Flags);
    border_ = params.Border;
    handleAllocated_ = true;
}

void THintWindow::ReleaseHandle()
{
    hide();
    if (testAttribute(Qt::WA_WState_Created))
        destroy();
    handleAllocated_ = false;
}

TRect THintWindow::CalcHintRect(int maxWidth, const QString &hint)
{
    TRect r = Rect(0, 0, maxWidth, 0);
    Canvas().DrawText(hint, r, DT_CALCRECT | HintTextFormat);
    r.Right += 2 * MarginX;
    r.Bottom += 2 * MarginY;
    return r;
}

void THintWindow::ActivateHint(const TRect &rect, const QString &hint)
{
    SetCaption(hint);
    // Keep the whole hint on the screen the rectangle starts on.
    const QList<QRect> screens = platform::ScreenGeometries();
    TRect r = rect;
    if (!screens.isEmpty()) {
        QRect screen = screens.first();
        for (const QRect &s : screens)
            if (s.contains(rect.Left, rect.Top)) {
                screen = s;
                break;
            }
        const TRect s = TRect::FromQRect(screen);
        if (r.Right > s.Right)
            OffsetRect(r, s.Right - r.Right, 0);
        if (r.Left < s.Left)
            OffsetRect(r, s.Left - r.Left, 0);
        if (r.Bottom > s.Bottom)
            OffsetRect(r, 0, s.Bottom - r.Bottom);
        if (r.Top < s.Top)
            OffsetRect(r, 0, s.Top - r.Top);
    }
    ShowAt(r);
}

void THintWindow::ShowAt(const TRect &rect)
{
    CreateHandle();
    // A Wayland popup cannot move once shown: resized in place, the notice
    // that grew by a line stood 52 px low, its arrow on the wrong button.
    // Shown anew, it goes where it belongs.
    if (isVisible() && geometry() != rect.ToQRect() && !platform::WindowPositionsKnown())
        hide();
    setGeometry(rect.ToQRect());
    show();
    raise();
    update();
}

void THintWindow::Paint(TCanvas &canvas) const
{
    const TRect all = Rect(0, 0, canvas.Width(), canvas.Height());
    canvas.Brush = {Color(), bsSolid};
    canvas.FillRect(all);
    if (border_) {
        canvas.Brush.Color = clWindowFrame;
        canvas.FrameRect(all);
    }
    canvas.Brush.Style = bsClear;
    canvas.SetBkMode(TRANSPARENT);
    canvas.DrawText(Caption(), Rect(MarginX, MarginY, all.Right - MarginX, all.Bottom - MarginY), HintTextFormat);
}

} // namespace framework
