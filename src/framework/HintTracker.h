// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Watches the pointer and the keyboard for the application's hints: every
// mouse move, enter and leave reports the widget the pointer is over; a
// press, a wheel turn, a key or the application going inactive ends the
// hint. Owns the one timer the hint pauses run on.
#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;

namespace framework {

class HintTracker : public QObject {
public:
    struct Handlers {
        std::function<void(QWidget *widget)> PointerOver; // any widget, or none
        std::function<void()> HintEnds;
        std::function<void()> TimerFired;
    };
    HintTracker(QObject *parent, Handlers handlers);
    ~HintTracker() override;

    QTimer &Timer() { return timer_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Handlers handlers_;
    QTimer timer_;
};

} // namespace framework
