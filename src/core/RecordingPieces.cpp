// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/RecordingPieces.h"

#include <algorithm>
#include <cstdint>

namespace app::pieces {

namespace {

// Timestamps count 33 bits of 90 kHz and wrap; the system clock's base
// does the same, times 300.
constexpr qint64 TimeWrap = qint64(1) << 33;
constexpr qint64 ClockWrap = TimeWrap * 300;
// A step longer than this between two packets of a window is no step of the
// stream: its clock started again.
constexpr qint64 LongestStep = 90000;
// What rounding may add to a step: 1 ms.
constexpr qint64 Slack = 90;

using Bytes = const uint8_t *;

qint64 Time33(Bytes p)
{
    return qint64(p[0] >> 1 & 7) << 30 | qint64(p[1]) << 22 | qint64(p[2] >> 1) << 15 | qint64(p[3]) << 7 | p[4] >> 1;
}

// The decoding time of a PES header at p (n bytes) of MPEG-2 syntax, or of
// MPEG-1 syntax where mpeg1 allows it; -1 without one.
qint64 PesTime(Bytes p, qint64 n, bool mpeg1, int *substream = nullptr)
{
    if (n < 9)
        return -1;
    if ((p[6] & 0xC0) == 0x80) { // MPEG-2
        const int flags = p[7] >> 6, headerBytes = p[8];
        if (substream && 9 + headerBytes < n)
            *substream = p[9 + headerBytes];
        if (flags == 3 && n >= 19)
            return Time33(p + 14);
        if (flags == 2 && n >= 14)
            return Time33(p + 9);
        return -1;
    }
    if (!mpeg1)
        return -1;
    qint64 at = 6;
    while (at < n && at < 6 + 16 && p[at] == 0xFF) // stuffing
        ++at;
    if (at + 2 <= n && (p[at] & 0xC0) == 0x40) // buffer size
        at += 2;
    if (at + 10 <= n && (p[at] & 0xF0) == 0x30)
        return Time33(p + at + 5);
    if (at + 5 <= n && (p[at] & 0xF0) == 0x20)
        return Time33(p + at);
    return -1;
}

// --- Transport streams ---

constexpr int TsBytes = 188;
constexpr int SyncRun = 5; // packets in a row that prove the packet size

// Where the first packet starts and how long packets are (188, or 192 with
// the sync byte 4 bytes in); {-1, 0} when the bytes hold no run of packets.
std::pair<qint64, int> FindPackets(Bytes p, qint64 n)
{
    for (const int stride : {TsBytes, TsBytes + 4}) {
        const int lead = stride - TsBytes;
        for (qint64 at = 0; at < stride && at + lead + qint64(stride) * (SyncRun - 1) < n; ++at) {
            bool run = true;
            for (int k = 0; run && k < SyncRun; ++k)
                run = p[at + lead + qint64(k) * stride] == 0x47;
            if (run)
                return {at + lead, stride};
        }
    }
    return {-1, 0};
}

// The first section of a table in a payload that starts one (PUSI), when
// it lies whole in the packet: its bytes from table_id on.
std::pair<Bytes, int> Section(Bytes payload, int n)
{
    if (n < 1 || payload[0] + 1 + 3 > n)
        return {nullptr, 0};
    Bytes s = payload + 1 + payload[0];
    const int left = int(payload + n - s);
    const int length = 3 + ((s[1] & 0x0F) << 8 | s[2]);
    return length <= left ? std::pair{s, length - 4} : std::pair{nullptr, 0}; // without the CRC
}

void ReadTransport(Bytes p, qint64 n, EndWindow &window)
{
    const auto [first, stride] = FindPackets(p, n);
    if (first < 0)
        return;
    int pmtPid = -1;
    bool mapped = false;
    for (qint64 at = first; at + TsBytes <= n; at += stride) {
        Bytes t = p + at;
        if (t[0] != 0x47) // lost: the next run of packets
            continue;
        const int pid = (t[1] & 0x1F) << 8 | t[2];
        const bool start = t[1] & 0x40;
        const int control = t[3] >> 4 & 3;
        int payload = 4;
        if (control & 2) {
            const int length = t[4];
            if (length > 0 && 4 + 1 + length <= TsBytes && (t[5] & 0x10) && length >= 7) {
                const qint64 base =
                    qint64(t[6]) << 25 | qint64(t[7]) << 17 | qint64(t[8]) << 9 | qint64(t[9]) << 1 | t[10] >> 7;
                window.clock.push_back((base * 300 + ((t[10] & 1) << 8 | t[11])) %
                                       ClockWrap); // a broken extension may pass 299
            }
            payload += 1 + length;
        }
        if (!(control & 1) || !start || payload >= TsBytes)
            continue;
        Bytes data = t + payload;
        const int left = TsBytes - payload;
        if (pid == 0 && !mapped && window.program.number < 0) {
            const auto [s, bytes] = Section(data, left);
            if (s && s[0] == 0x00)
                for (int e = 8; e + 4 <= bytes; e += 4) {
                    const int number = s[e] << 8 | s[e + 1];
                    if (number != 0) { // 0 names the network table
                        window.program.number = number;
                        pmtPid = (s[e + 2] & 0x1F) << 8 | s[e + 3];
                        break;
                    }
                }
        } else if (pid == pmtPid && !mapped) {
            const auto [s, bytes] = Section(data, left);
            if (s && s[0] == 0x02 && bytes >= 12) {
                window.program.pcrPid = (s[8] & 0x1F) << 8 | s[9];
                int e = 12 + ((s[10] & 0x0F) << 8 | s[11]);
                for (; e + 5 <= bytes; e += 5 + ((s[e + 3] & 0x0F) << 8 | s[e + 4]))
                    window.program.streams.emplace_back(s[e], (s[e + 1] & 0x1F) << 8 | s[e + 2]);
                mapped = true;
            }
        } else if (left >= 9 && data[0] == 0 && data[1] == 0 && data[2] == 1) {
            if (const qint64 time = PesTime(data, left, false); time >= 0)
                window.times[pid].push_back(time);
        }
    }
}

// --- Program streams ---

qint64 FindPack(Bytes p, qint64 n, qint64 from)
{
    for (qint64 at = from; at + 4 <= n; ++at)
        if (p[at] == 0 && p[at + 1] == 0 && p[at + 2] == 1 && p[at + 3] == 0xBA)
            return at;
    return -1;
}

void ReadProgram(Bytes p, qint64 n, EndWindow &window)
{
    bool mpeg1 = false;
    qint64 at = FindPack(p, n, 0);
    while (at >= 0 && at + 4 <= n) {
        if (p[at] != 0 || p[at + 1] != 0 || p[at + 2] != 1) {
            at = FindPack(p, n, at + 1); // lost: the next pack
            continue;
        }
        const int code = p[at + 3];
        if (code == 0xBA) {
            if (at + 12 > n)
                break;
            mpeg1 = (p[at + 4] & 0xF0) == 0x20;
            if (mpeg1) {
                window.clock.push_back(Time33(p + at + 4) * 300);
                if (window.muxRate == 0) // 22 bits between marker bits, in units of 50 bytes/s
                    window.muxRate = qint64((p[at + 9] & 0x7F) << 15 | p[at + 10] << 7 | p[at + 11] >> 1) * 400;
                at += 12;
            } else {
                if (at + 14 > n)
                    break;
                if (window.muxRate == 0)
                    window.muxRate = qint64(p[at + 10] << 14 | p[at + 11] << 6 | p[at + 12] >> 2) * 400;
                Bytes s = p + at + 4;
                const qint64 base = qint64(s[0] >> 3 & 7) << 30 | qint64(s[0] & 3) << 28 | qint64(s[1]) << 20 |
                                    qint64(s[2] >> 3) << 15 | qint64(s[2] & 3) << 13 | qint64(s[3]) << 5 | s[4] >> 3;
                const qint64 extension = (s[4] & 3) << 7 | s[5] >> 1;
                window.clock.push_back((base * 300 + extension) % ClockWrap);
                at += 14 + (p[at + 13] & 7);
            }
            continue;
        }
        if (code == 0xB9) { // the end of the stream
            at += 4;
            continue;
        }
        if (code < 0xBB || at + 6 > n) {
            at = FindPack(p, n, at + 1);
            continue;
        }
        const qint64 length = p[at + 4] << 8 | p[at + 5];
        const qint64 bytes = std::min(6 + length, n - at);
        if (code == 0xBD || (code >= 0xC0 && code <= 0xEF)) {
            int substream = 0;
            if (const qint64 time = PesTime(p + at, bytes, mpeg1, code == 0xBD ? &substream : nullptr); time >= 0)
                window.times[code << 8 | substream].push_back(time);
        }
        at += 6 + length;
    }
}

// The longest step between two values in a row (wrapping at wrap), leaving
// out those longer than longest; 0 where there are none.
qint64 LongestStepOf(const std::vector<qint64> &values, qint64 wrap, qint64 longest)
{
    qint64 step = 0;
    for (std::size_t k = 1; k < values.size(); ++k) {
        const qint64 d = (values[k] - values[k - 1] + wrap) % wrap;
        if (d <= longest)
            step = std::max(step, d);
    }
    return step;
}

// Whether after (the first of head) follows before (the last of tail) by one
// step at most, as the windows show it.
bool Continues(const std::vector<qint64> &tail, const std::vector<qint64> &head, qint64 wrap, qint64 longest,
               qint64 slack)
{
    const qint64 step = std::max(LongestStepOf(tail, wrap, longest), LongestStepOf(head, wrap, longest));
    const qint64 d = (head.front() - tail.back() + wrap) % wrap;
    return d > 0 && d <= step + slack;
}

} // namespace

EndWindow ReadWindow(const QByteArray &bytes, Format format)
{
    EndWindow window;
    const auto *p = reinterpret_cast<Bytes>(bytes.constData());
    if (format == Format::TransportStream)
        ReadTransport(p, bytes.size(), window);
    else
        ReadProgram(p, bytes.size(), window);
    return window;
}

namespace {

EndWindow ReadAt(platform::File &file, qint64 from, Format format)
{
    QByteArray bytes(int(std::min(WindowBytes, file.Size() - from)), Qt::Uninitialized);
    file.Seek(from);
    qint64 got = 0;
    while (got < bytes.size()) {
        const qint64 n = file.Read(bytes.data() + got, bytes.size() - got);
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(int(got));
    return ReadWindow(bytes, format);
}

} // namespace

EndWindow ReadHead(platform::File &file, Format format) { return ReadAt(file, 0, format); }

EndWindow ReadTail(platform::File &file, Format format)
{
    return ReadAt(file, std::max<qint64>(0, file.Size() - WindowBytes), format);
}

QString Follows(const EndWindow &tail, const EndWindow &head)
{
    if (tail.clock.empty() || head.clock.empty())
        return QStringLiteral("its system clock cannot be read");
    if (!Continues(tail.clock, head.clock, ClockWrap, LongestStep * 300, Slack * 300))
        return QStringLiteral("its system clock does not run on from the piece before");
    int compared = 0;
    for (const auto &[stream, times] : head.times) {
        const auto before = tail.times.find(stream);
        if (before == tail.times.end() || before->second.empty() || times.empty())
            continue;
        if (!Continues(before->second, times, TimeWrap, LongestStep, Slack))
            return QStringLiteral("its timestamps do not run on from the piece before");
        ++compared;
    }
    if (compared == 0)
        return QStringLiteral("it has no stream of the piece before");
    return {};
}

} // namespace app::pieces
