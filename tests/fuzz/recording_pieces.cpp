// SPDX-License-Identifier: GPL-3.0-or-later
// The ends of recording pieces, from any bytes: the first byte picks
// transport stream (even) or program stream (odd); the rest is cut in two,
// the first part read as the end of one piece and the second as the start
// of the next. Clocks and timestamps read must lie in their 33-bit range.
#include "FuzzFiles.h"
#include "core/RecordingPieces.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace app::pieces;
    if (size < 1)
        return 0;
    const Format format = data[0] % 2 == 0 ? Format::TransportStream : Format::ProgramStream;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(std::min<size_t>(size - 1, 1 << 20)));
    const qsizetype half = bytes.size() / 2;
    const EndWindow tail = ReadWindow(bytes.left(half), format);
    const EndWindow head = ReadWindow(bytes.mid(half), format);
    constexpr qint64 TimeWrap = qint64(1) << 33;
    for (const EndWindow *window : {&tail, &head}) {
        for (const qint64 clock : window->clock)
            if (clock < 0 || clock >= TimeWrap * 300)
                fuzz::Broken("a system clock outside its range");
        for (const auto &[stream, times] : window->times)
            for (const qint64 time : times)
                if (time < 0 || time >= TimeWrap)
                    fuzz::Broken("a timestamp outside its range");
    }
    (void)Follows(tail, head);
    return 0;
}
