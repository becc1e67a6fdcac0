// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/NaturalOrder.h"

#include <algorithm>
#include <cstdint>
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

// Add Folder sorts by keys: every pair of names, the tricky ones above and
// random mixes of digits, zeros, letters of both cases and bytes around '0'
// and '9', must come out as NaturalLess orders them.
TEST(NaturalOrder, KeysOrderAsTheNamesDo)
{
    std::vector<QByteArray> names{"",
                                  "0",
                                  "00",
                                  "000a",
                                  "a0",
                                  "a00",
                                  "a01b",
                                  "a1b",
                                  "a1",
                                  "a/",
                                  "a:",
                                  "A1",
                                  "clip2",
                                  "clip02",
                                  "clip10",
                                  "x9z",
                                  "x0000000000000000000000000000000000000001",
                                  "\xc3\xa9"};
    std::uint64_t x = 88172645463325252ull;
    const char alphabet[] = "0019aZ/:.\x7f\xff";
    for (int n = 0; n < 300; ++n) {
        QByteArray name;
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        for (std::uint64_t length = x % 7, y = x; length > 0; --length, y /= 11)
            name += alphabet[y % 11];
        names.push_back(name);
    }
    for (const QByteArray &a : names)
        for (const QByteArray &b : names)
            ASSERT_EQ(app::NaturalKey(a) < app::NaturalKey(b), app::NaturalLess(a, b))
                << a.toHex().toStdString() << " " << b.toHex().toStdString();
}
