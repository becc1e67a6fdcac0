// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PathRules.h"

#include <gtest/gtest.h>

#include "TestFiles.h"

using platform::FileName;

TEST(PathRules, AcceptedTypesAndFolderPaths)
{
    for (const char *yes : {"movie.Mpg", "a.mpeg", "/x/y.M2V", "b.mp1", "c.mp2", "d.MP3", "AVSEQ01.DAT", "take:2.mpg",
                            "/x/\xff\xfe.mpg", "GX010042.MP4", "a.m4v", "b.Mov", "c.m4a"})
        EXPECT_TRUE(app::ism(FileName(yes))) << yes;
    for (const char *no :
         {"movie.mpg.bak", "movie", "a.mp4x", "a.mpg2", "/dir.mpg/file", "x.", ".mpgx", "a.mpg:b", "/x/a.\xc3\xa9"})
        EXPECT_FALSE(app::ism(FileName(no))) << no;
    // MP4 and QuickTime by their type alone, whatever its case.
    EXPECT_TRUE(app::IsMp4Type(FileName("/x/GX010042.MP4")));
    EXPECT_TRUE(app::IsMp4Type(FileName("a.m4A")));
    EXPECT_FALSE(app::IsMp4Type(FileName("a.mpg")));
    EXPECT_EQ(app::getpath(FileName()), FileName());
    EXPECT_EQ(app::getpath(FileName("/")), FileName("/"));
    EXPECT_EQ(app::getpath(FileName("/clips")), FileName("/clips/"));
    EXPECT_EQ(app::getpath(FileName("/clips/")), FileName("/clips/"));
}
