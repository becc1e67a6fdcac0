// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/NaturalOrder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

TEST(NaturalOrder, NumbersByValueCaseIgnoredAndAFixedOrderForTies)
{
    std::vector<QByteArray> names{"clip10.mpg",
                                  "Clip3.mpg",
                                  "clip2.mpg",
                                  "clip1.mpg",
                                  "clip02.mpg",
                                  "CLIP2.mpg",
                                  "a",
                                  "B",
                                  "b",
                                  "clip",
                                  "clip1",
                                  "x99999999999999999999",
                                  "x100000000000000000000",
                                  "\xc3\xa9t\xc3\xa9",
                                  "ete"};
    std::sort(names.begin(), names.end(), app::NaturalLess);
    const std::vector<QByteArray> expected{"a",
                                           "B",
                                           "b",
                                           "clip",
                                           "clip1",
                                           "clip1.mpg",
                                           "CLIP2.mpg",
                                           "clip2.mpg",
                                           "clip02.mpg",
                                           "Clip3.mpg",
                                           "clip10.mpg",
                                           "ete",
                                           "x99999999999999999999",
                                           "x100000000000000000000",
                                           "\xc3\xa9t\xc3\xa9"};
    EXPECT_EQ(names, expected);
    EXPECT_FALSE(app::NaturalLess("same", "same"));
}
