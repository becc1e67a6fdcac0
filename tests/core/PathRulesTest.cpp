// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PathRules.h"

#include <gtest/gtest.h>

#include "TestFiles.h"

using platform::FileName;

TEST(PathRules, AcceptedTypesAndFolderPaths)
{
    for (const char *yes :
         {"movie.Mpg", "a.mpeg", "/x/y.M2V", "b.mp1", "c.mp2", "d.MP3", "AVSEQ01.DAT", "take:2.mpg", "/x/\xff\xfe.mpg"})
        EXPECT_TRUE(app::ism(FileName(yes))) << yes;
    for (const char *no :
         {"movie.mpg.bak", "movie", "movie.mp4", "a.mpg2", "/dir.mpg/file", "x.", ".mpgx", "a.mpg:b", "/x/a.\xc3\xa9"})
        EXPECT_FALSE(app::ism(FileName(no))) << no;
    EXPECT_EQ(app::getpath(FileName()), FileName());
    EXPECT_EQ(app::getpath(FileName("/")), FileName("/"));
    EXPECT_EQ(app::getpath(FileName("/clips")), FileName("/clips/"));
    EXPECT_EQ(app::getpath(FileName("/clips/")), FileName("/clips/"));
}
