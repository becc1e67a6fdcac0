// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/EventPump.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

int PostCounter(int &counter)
{
    QTimer::singleShot(0, qApp, [&counter] { ++counter; });
    return counter;
}

} // namespace

TEST(EventPump, ProcessesPendingEvents)
{
    app::EventPump pump(0);
    int counter = 0;
    for (int i = 1; i <= 3; ++i) {
        PostCounter(counter);
        pump.Pump();
        EXPECT_EQ(counter, i);
    }
}

TEST(EventPump, SkipsPumpsThatFollowTooSoon)
{
    app::EventPump pump(60 * 60 * 1000);
    int counter = 0;
    PostCounter(counter);
    pump.Pump(); // the first always runs
    EXPECT_EQ(counter, 1);
    PostCounter(counter);
    pump.Pump();
    EXPECT_EQ(counter, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter, 2);
}
