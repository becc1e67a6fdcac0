// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Processes pending window events during long work on the GUI thread, at most
// once every few milliseconds: often enough for the window to repaint and
// answer clicks, seldom enough that a join of small blocks costs little.
#include <QElapsedTimer>

namespace app {

class EventPump {
public:
    explicit EventPump(int minIntervalMs = 4);
    // Processes the pending events when it is time.
    void Pump()
    {
        if (Due())
            PumpNow();
    }
    // Whether it is time to process events again; work that collects its
    // results asks first, hands them over, then pumps.
    bool Due();
    void PumpNow();

private:
    // A join asks twice per 4097-byte block; reading the clock each time
    // cost a few percent of a join, and a few calls more are microseconds.
    static constexpr unsigned CallsPerLook = 8;
    int minIntervalMs_;
    unsigned calls_ = 0;
    QElapsedTimer sinceLast_;
};

} // namespace app
