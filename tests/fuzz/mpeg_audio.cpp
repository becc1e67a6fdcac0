// SPDX-License-Identifier: GPL-3.0-or-later
// MPEG audio frame headers, Xing/Info/VBRI frames, LAME tags and ID3v2
// lengths, from any bytes. A header frame written for a header found must
// be one that the same reader takes for a header frame again, with the
// LAME tag found carrying the same delay and padding.
#include "FuzzFiles.h"
#include "core/MpegAudio.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace app::mpa;
    const int n = int(std::min<size_t>(size, 1 << 20));
    (void)Id3v2Length(QByteArray(reinterpret_cast<const char *>(data), std::min(n, 10)));
    std::optional<FrameHeader> first;
    std::optional<LameTag> lame;
    std::vector<uint16_t> sizes;
    for (int at = 0; at + 4 <= n; ++at) {
        const auto header = ParseHeader(data + at, n - at);
        if (!header)
            continue;
        if (header->frameBytes <= 4)
            fuzz::Broken("a frame is longer than its header");
        (void)IsHeaderFrame(data + at, n - at, *header);
        if (!first)
            first = header;
        if (!lame)
            lame = ReadLameTag(data + at, n - at);
        if (sizes.size() < 2000)
            sizes.push_back(uint16_t(header->frameBytes));
    }
    if (first && first->layer == 3) {
        for (const bool constant : {false, true}) {
            const QByteArray xing = XingFrame(*first, sizes, constant, lame);
            const auto *bytes = reinterpret_cast<const uint8_t *>(xing.constData());
            const auto header = ParseHeader(bytes, int(xing.size()));
            if (!header || header->frameBytes != xing.size() || !IsHeaderFrame(bytes, int(xing.size()), *header))
                fuzz::Broken("a Xing frame written is read as one");
            const auto back = ReadLameTag(bytes, int(xing.size()));
            if (lame && (!back || back->delay != lame->delay || back->padding != lame->padding))
                fuzz::Broken("a LAME tag written is read with its delay and padding");
        }
    }
    return 0;
}
