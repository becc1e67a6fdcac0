// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The clock of a movie joined from several inputs, with no FFmpeg: where
// each input starts on the output's clock, how far each packet of each
// stream moves, where the input ends, and the repair that keeps decoding
// times going forward in every stream. Every movie join places its packets
// with one timeline, whatever reads and writes the containers.
//
// Times are whole ticks of a stream's time base (seconds per tick, a
// Rational). The rules:
// - Each input continues where the one before it ended: the earliest start
//   of its streams lands at the end of the previous input's longest stream,
//   and every stream of the input moves by that same time, so sound stays
//   with its picture and a stream that ends early leaves a gap, not a skew.
// - Inside an input, a stream whose decoding time steps back, or jumps on by
//   more than a second past its last packet, has a clock that started again
//   (recordings joined byte for byte, as cat joins them). As MPEG players do,
//   that is a seam inside the input: what follows continues where the
//   input had got to, and the input's other streams meet the same seam
//   when their own clocks start again.
// - In the output, a stream's decoding times go strictly forward: a packet
//   that would step back is moved just after the one before it (its
//   presentation time too, where it would fall before its decoding time),
//   and a packet with no decoding time decodes after the one before it (at
//   its presentation time at the latest).
// - Edit lists: a stream may start later than its timestamps say, or begin
//   with priming (samples that are decoded but never shown). All streams of
//   an input then start together at the seam, and the priming packets fall
//   before it.
#include <QtGlobal>
#include <limits>
#include <vector>

namespace app {

// A time base: num/den seconds per tick.
struct Rational {
    qint64 num = 1;
    qint64 den = 1;
};

// value ticks of from in ticks of to, rounded to the nearest (halves away
// from zero), exactly as libavformat rescales.
qint64 Rescale(qint64 value, Rational from, Rational to);

// A time that is not known (libavformat's AV_NOPTS_VALUE).
inline constexpr qint64 NoTime = std::numeric_limits<qint64>::min();

struct PacketTimes {
    qint64 pts = NoTime; // presentation
    qint64 dts = NoTime; // decoding
    qint64 duration = 0; // 0 when not known
};

// One stream of an input, as the output stream of the same position.
struct InputStream {
    Rational base;           // its time base
    qint64 start = NoTime;   // its first presentation time, where the input tells it
    qint64 lateTicks = 0;    // it starts this long after its timestamps say (an empty edit)
    qint64 primingTicks = 0; // its first this many ticks from start are priming, not shown
};

class MovieTimeline {
public:
    // The output's streams, by their time bases.
    explicit MovieTimeline(std::vector<Rational> outputBases);

    // The next input begins; streams[k] is its stream that output stream k
    // carries. containerStartUs (microseconds) is its start where no stream
    // tells one; 0 when that is not known either.
    void StartInput(const std::vector<InputStream> &streams, qint64 containerStartUs = NoTime);

    struct Placed {
        PacketTimes times;    // in the output stream's time base
        bool priming = false; // wholly before the input's start: left out of the repair
    };
    // A packet of stream k of the input, in that stream's time base, on the
    // output's clock.
    Placed Place(int k, PacketTimes packet);

    // The input has ended: the next begins where its longest stream ended.
    void EndInput() { endUs_ = inputEndUs_; }
    // Where the next input begins, in microseconds of the output's clock.
    qint64 EndUs() const { return endUs_; }
    // How many clocks started again inside the inputs so far.
    int InnerSeams() const { return innerSeams_; }

private:
    struct Stream {
        InputStream input;
        qint64 shift = 0;       // added to its times, in its time base
        std::size_t seam = 0;   // the seam of the input it is in
        qint64 lastIn = NoTime; // its last decoding time as the input had it
        qint64 lastInDuration = 0;
        qint64 lastOut = NoTime; // in the output: the last decoding time written
        qint64 nextOut = NoTime; // and the one a packet without times gets
    };
    void Shift(Stream &s, qint64 offsetUs) const;
    void StartAgain(Stream &s, const PacketTimes &packet);

    std::vector<Rational> outputBases_;
    std::vector<Stream> streams_;
    std::vector<qint64> seamOffsetsUs_; // of the input under way: what each seam adds
    qint64 endUs_ = 0;                  // where the input under way began
    qint64 inputEndUs_ = 0;             // how far it has got
    int innerSeams_ = 0;
};

} // namespace app
