#pragma once
// Processes pending window events during long work on the GUI thread, at most
// once every few milliseconds: often enough for the window to repaint and
// answer clicks, seldom enough that a join of small blocks costs little.
#include <QElapsedTimer>

namespace app {

class EventPump {
public:
    explicit EventPump(int minIntervalMs = 4);
    void Pump();

private:
    int minIntervalMs_;
    QElapsedTimer sinceLast_;
};

} // namespace app
