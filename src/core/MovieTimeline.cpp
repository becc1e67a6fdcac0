// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/MovieTimeline.h"

#include <algorithm>

namespace app {

namespace {

constexpr Rational Microseconds{1, 1000000};

} // namespace

qint64 Rescale(qint64 value, Rational from, Rational to)
{
    if (value < 0)
        return -Rescale(-std::max(value, -std::numeric_limits<qint64>::max()), from, to);
    const __int128 times = __int128(from.num) * to.den, per = __int128(from.den) * to.num;
    return qint64((value * times + per / 2) / per);
}

MovieTimeline::MovieTimeline(std::vector<Rational> outputBases)
    : outputBases_(std::move(outputBases)), streams_(outputBases_.size())
{}

void MovieTimeline::Shift(Stream &s, qint64 offsetUs) const
{
    s.shift = Rescale(offsetUs, Microseconds, s.input.base) + s.input.lateTicks - s.input.primingTicks;
}

void MovieTimeline::StartInput(const std::vector<InputStream> &streams, qint64 containerStartUs)
{
    // Where the input starts: its earliest stream, once edits are taken in.
    qint64 startUs = NoTime;
    for (std::size_t k = 0; k < streams_.size() && k < streams.size(); ++k) {
        const InputStream &in = streams[k];
        if (in.start == NoTime)
            continue;
        const qint64 us = Rescale(in.start + in.lateTicks, in.base, Microseconds);
        startUs = startUs == NoTime ? us : std::min(startUs, us);
    }
    if (startUs == NoTime)
        startUs = containerStartUs == NoTime ? 0 : containerStartUs;
    seamOffsetsUs_ = {endUs_ - startUs};
    inputEndUs_ = endUs_;
    for (std::size_t k = 0; k < streams_.size(); ++k) {
        Stream &s = streams_[k];
        s.input = k < streams.size() ? streams[k] : InputStream{outputBases_[k]};
        s.seam = 0;
        s.lastIn = NoTime;
        s.lastInDuration = 0;
        Shift(s, seamOffsetsUs_[0]);
    }
}

void MovieTimeline::StartAgain(Stream &s, const PacketTimes &packet)
{
    if (++s.seam == seamOffsetsUs_.size()) {
        // The first stream to start again makes the seam: this packet goes
        // where the input has got to.
        const qint64 at = packet.pts != NoTime ? packet.pts : packet.dts;
        const qint64 presented = at + s.input.lateTicks - s.input.primingTicks;
        seamOffsetsUs_.push_back(inputEndUs_ - Rescale(presented, s.input.base, Microseconds));
        ++innerSeams_;
    }
    Shift(s, seamOffsetsUs_[s.seam]);
}

MovieTimeline::Placed MovieTimeline::Place(int k, PacketTimes packet)
{
    Stream &s = streams_[std::size_t(k)];
    const InputStream &in = s.input;
    if (packet.dts != NoTime) {
        const qint64 second = Rescale(1, Rational{1, 1}, in.base);
        if (s.lastIn != NoTime &&
            (packet.dts < s.lastIn || packet.dts > s.lastIn + std::max<qint64>(s.lastInDuration, 0) + second))
            StartAgain(s, packet);
        s.lastIn = packet.dts;
        s.lastInDuration = packet.duration;
    }
    Placed placed;
    placed.priming = s.seam == 0 && in.primingTicks > 0 && in.start != NoTime && packet.pts != NoTime &&
                     packet.pts + std::max<qint64>(packet.duration, 0) <= in.start + in.primingTicks;
    if (packet.pts != NoTime)
        packet.pts += s.shift;
    if (packet.dts != NoTime)
        packet.dts += s.shift;
    const qint64 at = packet.pts != NoTime ? packet.pts : packet.dts;
    if (at != NoTime && !placed.priming)
        inputEndUs_ = std::max(inputEndUs_, Rescale(at + packet.duration, in.base, Microseconds));

    // Into the output stream's time base, as libavformat rescales a packet.
    const Rational out = outputBases_[std::size_t(k)];
    PacketTimes &t = placed.times;
    t.pts = packet.pts == NoTime ? NoTime : Rescale(packet.pts, in.base, out);
    t.dts = packet.dts == NoTime ? NoTime : Rescale(packet.dts, in.base, out);
    t.duration = packet.duration > 0 ? Rescale(packet.duration, in.base, out) : packet.duration;
    if (placed.priming)
        return placed;

    // A packet without a decoding time (Matroska tells only when a frame is
    // shown) decodes right after the one before it, and never after it is shown.
    if (t.dts == NoTime)
        t.dts = t.pts == NoTime ? s.nextOut : s.lastOut == NoTime ? t.pts : std::min(t.pts, s.lastOut + 1);
    if (t.dts != NoTime) {
        if (s.lastOut != NoTime && t.dts <= s.lastOut)
            t.dts = s.lastOut + 1;
        if (t.pts != NoTime && t.pts < t.dts)
            t.pts = t.dts;
        s.lastOut = t.dts;
        s.nextOut = t.duration > 0 ? t.dts + t.duration : t.dts + 1;
    }
    return placed;
}

} // namespace app
