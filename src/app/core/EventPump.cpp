#include "app/core/EventPump.h"

#include <QCoreApplication>

namespace app {

EventPump::EventPump(int minIntervalMs) : minIntervalMs_(minIntervalMs) {}

void EventPump::Pump()
{
    if (sinceLast_.isValid() && sinceLast_.elapsed() < minIntervalMs_)
        return;
    QCoreApplication::processEvents();
    sinceLast_.start(); // counted from the end, so slow event handling is not followed by another at once
}

} // namespace app
