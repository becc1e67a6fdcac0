// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/JoinProgress.h"

#include <gtest/gtest.h>

#include "TestFiles.h"

using app::JoinProgress;

TEST(JoinProgress, TheJoinInWords)
{
    JoinProgress p;
    p.Start(5, 3'400'000'000, 10'000);
    p.FileStarted(1);
    p.Copied(4097);
    // A block in half a second tells no rate: neither a second of joining
    // nor 1 % of the bytes is in.
    EXPECT_EQ(p.Title(QStringLiteral("Zantrope"), 10'500), QStringLiteral("Zantrope \u2013 0%"));
    // Nor is the time the stop question held the join. Before, a second
    // passed while asking read as "224:01:53 left".
    p.Held(10'600);
    p.Resumed(20'600);
    EXPECT_EQ(p.Title(QStringLiteral("Zantrope"), 20'700), QStringLiteral("Zantrope \u2013 0%"));
    p.Copied(1'200'000'000 - 4097);
    // 1.2 GB in 12 s of joining: 100 MB/s, 22 s for the 2.2 GB left.
    EXPECT_EQ(p.Title(QStringLiteral("Zantrope"), 32'000), QStringLiteral("Zantrope \u2013 35% \u2013 0:22 left"));
    EXPECT_EQ(p.Details(32'000), QStringLiteral("File 2 of 5 \u00b7 1.2 of 3.4 GB \u00b7 100 MB/s \u00b7 0:22 left"));
    p.Copied(2'200'000'000);
    EXPECT_EQ(p.Summary(61'000), QStringLiteral("Joined 5 files (3.4 GB) in 0:41"));
    EXPECT_EQ(p.Percent(), 100);

    // 1 % of the bytes tells the rate before a second has passed.
    p.Start(1, 1'000'000, 0);
    p.Copied(10'000);
    EXPECT_EQ(p.SecondsLeft(100), 10);
}

TEST(JoinProgress, SizesDurationsAndAnEmptyJoin)
{
    EXPECT_EQ(app::FormatSize(0), QStringLiteral("0 bytes"));
    EXPECT_EQ(app::FormatSize(999), QStringLiteral("999 bytes"));
    EXPECT_EQ(app::FormatSize(1500), QStringLiteral("1.5 KB"));
    EXPECT_EQ(app::FormatSize(4'096'000'000'000), QStringLiteral("4.1 TB"));
    EXPECT_EQ(app::FormatDuration(59), QStringLiteral("0:59"));
    EXPECT_EQ(app::FormatDuration(3723), QStringLiteral("1:02:03"));
    EXPECT_EQ(app::ListSummary(1, 740), QStringLiteral("1 file \u00b7 740 bytes"));

    JoinProgress empty; // files of 0 bytes: nothing to divide by
    empty.Start(2, 0, 0);
    EXPECT_EQ(empty.Percent(), 0);
    EXPECT_EQ(empty.Details(5000), QStringLiteral("File 1 of 2 \u00b7 0 of 0 bytes"));
    EXPECT_EQ(empty.Summary(400), QStringLiteral("Joined 2 files (0 bytes) in 0:00"));
}
