// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Benchmark inputs: fast, incompressible-looking content (xorshift64 words),
// different for each seed. A sparse file would read as zero pages, faster or
// slower than any real media file.
#include <algorithm>
#include <vector>

#include "platform/File.h"

inline void WriteContent(const platform::FileName &path, qint64 bytes, quint64 seed)
{
    platform::File file = platform::File::Create(path);
    std::vector<quint64> chunk(1 << 17); // 1 MiB
    quint64 x = seed * 0x9E3779B97F4A7C15ull + 1;
    while (bytes > 0) {
        for (quint64 &w : chunk) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            w = x;
        }
        const qint64 n = std::min<qint64>(bytes, qint64(chunk.size() * sizeof(quint64)));
        file.WriteAll(reinterpret_cast<const char *>(chunk.data()), n);
        bytes -= n;
    }
    file.Close();
}
