// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/EventPump.h"

#include <QCoreApplication>

namespace app {

EventPump::EventPump(int minIntervalMs) : minIntervalMs_(minIntervalMs) {}

bool EventPump::Due()
{
    if (!sinceLast_.isValid() || minIntervalMs_ <= 0)
        return true;
    if (++calls_ % CallsPerLook != 0)
        return false;
    return sinceLast_.elapsed() >= minIntervalMs_;
}

void EventPump::PumpNow()
{
    QCoreApplication::processEvents();
    sinceLast_.start(); // counted from the end, so slow event handling is not followed by another at once
}

} // namespace app
