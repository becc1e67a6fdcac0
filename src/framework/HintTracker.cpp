// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/HintTracker.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include "desktop/Cursor.h"
#include "framework/Controls.h"
#include "framework/THintWindow.h"

namespace framework {

HintTracker::HintTracker(QObject *parent, Handlers handlers) : QObject(parent), handlers_(std::move(handlers))
{
    timer_.setSingleShot(true);
    // A coarse timer fires up to 5 % early: a hint would show before the
    // pointer has rested its 500 ms.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { handlers_.TimerFired(); });
    qApp->installEventFilter(this);
}

HintTracker::~HintTracker()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

bool HintTracker::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ApplicationStateChange) {
        if (static_cast<QApplicationStateChangeEvent *>(event)->applicationState() != Qt::ApplicationActive)
            handlers_.HintEnds();
        return false;
    }
    if (!watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    // What happens to the hint window itself says nothing about the pointer.
    if (qobject_cast<THintWindow *>(widget->window()))
        return false;
    switch (event->type()) {
    case QEvent::MouseMove:
        // Moves with a button held belong to a drag; the press ended the hint.
        if (static_cast<QMouseEvent *>(event)->buttons() == Qt::NoButton)
            handlers_.PointerOver(widget);
        break;
    case QEvent::Enter: handlers_.PointerOver(widget); break;
    case QEvent::Leave:
        // Leaving a child for its parent sends no enter to the parent: ask
        // what is under the pointer now.
        handlers_.PointerOver(FindControlAtPos(platform::GetCursorPos()));
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::ContextMenu: handlers_.HintEnds(); break;
    default: break;
    }
    return false;
}

} // namespace framework
