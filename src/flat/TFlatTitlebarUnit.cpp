// SPDX-License-Identifier: GPL-3.0-or-later
#include "flat/TFlatTitlebarUnit.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWindow>

#include "desktop/WindowSystem.h"
#include "flat/FlatAccessibility.h"
#include "framework/TCanvas.h"
#include "platform/Exceptions.h"

namespace flat {

using namespace framework;

TFlatTitlebar::TFlatTitlebar(QWidget *parent) : TCustomControl(nullptr)
{
    InstallFlatAccessibleFactory();
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(100, 19);
    SetParent(parent);
}

TFlatTitlebar::~TFlatTitlebar() { Unhook(); }

void TFlatTitlebar::SetActiveTextColor(TColor value)
{
    AssignAndRepaint(activeTextColor_, value, [this] { update(); });
}

void TFlatTitlebar::SetInactiveTextColor(TColor value)
{
    AssignAndRepaint(inactiveTextColor_, value, [this] { update(); });
}

void TFlatTitlebar::SetTitlebarColor(TColor value)
{
    AssignAndRepaint(titlebarColor_, value, [this] { update(); });
}

void TFlatTitlebar::SetParent(QWidget *parent)
{
    auto *form = qobject_cast<TForm *>(parent);
    if (parent && !form)
        throw platform::EInvalidOperation(
            QStringLiteral("TFlatTitlebar can only be placed on a descndant of a TCustomForm"));
    hostForm_ = form;
    if (parentWidget() == parent)
        return;
    // Activation of a form the bar has left no longer concerns it.
    Unhook();
    const bool shown = !isHidden();
    setParent(parent);
    if (shown)
        show();
}

void TFlatTitlebar::Loaded()
{
    TControl::Loaded();
    if (!hostForm_ || hookedForm_ == hostForm_)
        return;
    Unhook();
    hookedForm_ = hostForm_;
    hookedForm_->installEventFilter(this);
}

void TFlatTitlebar::Unhook()
{
    if (hookedForm_)
        hookedForm_->removeEventFilter(this);
    hookedForm_ = nullptr;
}

bool TFlatTitlebar::eventFilter(QObject *watched, QEvent *event)
{
    // Only watches; the form gets every event as before.
    if (watched == hookedForm_) {
        if (event->type() == QEvent::WindowActivate)
            DoActivate();
        else if (event->type() == QEvent::WindowDeactivate)
            DoDeactivate();
    }
    return TControl::eventFilter(watched, event);
}

void TFlatTitlebar::DoActivate()
{
    formActive_ = true;
    update();
    Fire(OnActivate);
}

void TFlatTitlebar::DoDeactivate()
{
    formActive_ = false;
    update();
    Fire(OnDeactivate);
}

TPoint TFlatTitlebar::CaptionOrigin(int width, int height, int textWidth, int textHeight)
{
    return {width / 2 - textWidth / 2, height / 2 - textHeight / 2};
}

void TFlatTitlebar::Paint(TCanvas &canvas) const
{
    canvas.Font = Font();
    canvas.Font.Color = formActive_ ? activeTextColor_ : inactiveTextColor_;
    const int tw = canvas.TextWidth(Caption());
    const int th = canvas.TextHeight(Caption());
    canvas.Brush = {titlebarColor_, bsSolid};
    canvas.FillRect(ClientRect());
    canvas.SetBkMode(OPAQUE);
    canvas.SetBkColor(titlebarColor_);
    const TPoint at = CaptionOrigin(width(), height(), tw, th);
    canvas.TextOut(at.X, at.Y, Caption());
}

// The three mouse handlers replace the base's, so the mouse events are not fired.
void TFlatTitlebar::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && hostForm_) {
        QWindow *window = hostForm_->windowHandle();
        if (window && platform::StartSystemMove(window)) {
            GiveBackRelease(window, event);
            return;
        }
    }
    // No desktop to move it (a bare X server): the bar moves the form itself.
    if (event->button() == Qt::LeftButton && !dragging_)
        dragging_ = true;
    dragStartX_ = p.x();
    dragStartY_ = p.y();
}

void TFlatTitlebar::GiveBackRelease(QWindow *window, const QMouseEvent *press)
{
    // The desktop holds the pointer until the button is let go and may never
    // tell the window; without the release, the window would take the
    // button as still held and give no enter, leave or hover until the next
    // click. Posted, so it follows the press the window is still handling.
    const QPointF local = window->mapFromGlobal(press->globalPosition());
    QCoreApplication::postEvent(window, new QMouseEvent(QEvent::MouseButtonRelease, local, press->globalPosition(),
                                                        Qt::LeftButton, Qt::NoButton, press->modifiers()));
}

void TFlatTitlebar::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    // The form the bar sits on; its owner is the same form wherever the
    // program uses it.
    if (!dragging_ || !hostForm_)
        return;
    const QPoint p = event->position().toPoint();
    TForm *form = hostForm_;
    form->move(form->x() + p.x() - dragStartX_, form->y());
    form->move(form->x(), form->y() + p.y() - dragStartY_);
}

void TFlatTitlebar::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    dragging_ = false;
}

} // namespace flat
