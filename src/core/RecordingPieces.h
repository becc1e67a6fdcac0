// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether pieces of a recording continue each other, told from the packets
// at their ends alone, with no FFmpeg. A camcorder that cuts one recording
// into MTS files, or a DVD that cuts a title into VOBs, splits the bytes on
// packet boundaries: the next piece's first system clock (PCR, SCR) and
// each stream's first decoding time follow the last piece's as the next
// packet would, and the pieces joined byte for byte are the recording
// again. Pieces on clocks of their own (a dash camera's minutes, separate
// recordings) do not follow each other, and are joined as one movie.
//
// Only a window of bytes at each end is read, whatever the pieces' size.
#include "platform/File.h"

#include <QString>
#include <QtGlobal>
#include <map>
#include <vector>

namespace app::pieces {

enum class Format {
    TransportStream, // 188-byte packets, or 192 with a 4-byte arrival time (M2TS, MTS)
    ProgramStream,   // MPEG-1 or MPEG-2 packs (VOB)
};

// A transport stream's program, as its tables tell it.
struct ProgramMap {
    int number = -1; // the first program of the PAT; -1 where none was read
    int pcrPid = -1;
    std::vector<std::pair<int, int>> streams; // (stream type, PID), in the table's order
    friend bool operator==(const ProgramMap &, const ProgramMap &) = default;
};

// What the packets in one window of a piece tell.
struct EndWindow {
    std::vector<qint64> clock;                // PCR or SCR, 27 MHz ticks, in file order
    std::map<int, std::vector<qint64>> times; // per stream: decoding times (DTS, else PTS), 90 kHz
    ProgramMap program;                       // transport streams: the first PAT and PMT in the window
    qint64 muxRate = 0; // program streams: the first pack header's mux rate, bit/s; 0 where none was read
};

// How many bytes are read at each end of a piece.
inline constexpr qint64 WindowBytes = qint64(1) << 20;

// The first and the last WindowBytes of file (all of it when smaller). A
// window with no packet of the format tells nothing (empty clock and times).
EndWindow ReadHead(platform::File &file, Format format);
EndWindow ReadTail(platform::File &file, Format format);
// The same on bytes in memory.
EndWindow ReadWindow(const QByteArray &bytes, Format format);

// Empty when the piece whose first window is head continues the piece
// whose last window is tail: its clock and every stream seen in both
// windows follow on, by no more than the longest step between their
// packets. Otherwise the difference in words ("its clock starts again").
QString Follows(const EndWindow &tail, const EndWindow &head);

} // namespace app::pieces
