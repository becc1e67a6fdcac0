// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/Screens.h"

#include <gtest/gtest.h>

TEST(ScreensTest, OverridesNestAndRestore)
{
    const QList<QRect> real = platform::ScreenGeometries();
    {
        const platform::ScreenOverride outer({QRect(0, 0, 1024, 768), QRect(1024, 0, 1920, 1080)});
        EXPECT_EQ(platform::PrimaryScreenSize(), QSize(1024, 768));
        EXPECT_EQ(platform::ScreenGeometries().size(), 2);
        {
            const platform::ScreenOverride inner({QRect(0, 0, 800, 600)});
            EXPECT_EQ(platform::PrimaryScreenSize(), QSize(800, 600));
        }
        EXPECT_EQ(platform::PrimaryScreenSize(), QSize(1024, 768));
        {
            const platform::ScreenOverride none({});
            EXPECT_TRUE(platform::PrimaryScreenSize().isEmpty());
        }
    }
    EXPECT_EQ(platform::ScreenGeometries(), real);
}
