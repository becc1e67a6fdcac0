#pragma once
// Watches the pointer and the keyboard for the application's hints: every
// mouse move, enter and leave tells the application which widget the pointer
// is over; a press, a wheel turn, a key or the application going inactive
// ends the hint. Owns the one timer the hint pauses run on.
#include <QObject>
#include <QTimer>

namespace framework {

class HintTracker : public QObject {
public:
    explicit HintTracker(QObject *parent);
    ~HintTracker() override;

    QTimer &Timer() { return timer_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTimer timer_;
};

} // namespace framework
