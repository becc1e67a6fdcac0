// SPDX-License-Identifier: GPL-3.0-or-later
// The movie timeline on made-up packet sequences: no file, no FFmpeg.
#include "core/MovieTimeline.h"

#include <gtest/gtest.h>

using app::InputStream;
using app::MovieTimeline;
using app::NoTime;
using app::PacketTimes;
using app::Rational;

namespace {

constexpr Rational Video{1, 90000}, Sound{1, 44100};
constexpr qint64 Frame = 3003, SoundFrame = 1152; // 29.97 fps; MPEG audio at 44.1 kHz

// Pictures in decoding order with B-frames: I P B B P B B ..., from start.
std::vector<PacketTimes> Pictures(int count, qint64 start)
{
    std::vector<PacketTimes> packets;
    for (int j = 0; j < count; ++j) {
        const int shown = j == 0 ? 0 : (j % 3 == 1 ? std::min(j + 2, count - 1) : j - 1);
        packets.push_back({start + shown * Frame, start + (j - 1) * Frame, Frame});
    }
    return packets;
}

std::vector<PacketTimes> Sounds(int count, qint64 start)
{
    std::vector<PacketTimes> packets;
    for (int j = 0; j < count; ++j)
        packets.push_back({start + j * SoundFrame, start + j * SoundFrame, SoundFrame});
    return packets;
}

// What the timeline made of a stream: every packet, and checks that hold
// for every output.
struct Placed {
    std::vector<PacketTimes> packets;
    void Add(const MovieTimeline::Placed &p)
    {
        if (!packets.empty()) {
            EXPECT_GT(p.times.dts, packets.back().dts) << "decoding goes forward";
        }
        if (p.times.pts != NoTime) {
            EXPECT_GE(p.times.pts, p.times.dts);
        }
        packets.push_back(p.times);
    }
    qint64 End() const
    {
        qint64 end = 0;
        for (const PacketTimes &p : packets)
            end = std::max(end, p.pts + p.duration);
        return end;
    }
};

void Feed(MovieTimeline &timeline, int k, const std::vector<PacketTimes> &packets, Placed &placed)
{
    for (const PacketTimes &p : packets)
        placed.Add(timeline.Place(k, p));
}

} // namespace

TEST(MovieTimeline, RescalesAsLibavformatDoes)
{
    EXPECT_EQ(app::Rescale(3003, Video, {1, 1000000}), 33367); // 33366.67
    EXPECT_EQ(app::Rescale(15, {1, 10}, {1, 4}), 6);           // 5.5 rounds away from zero
    EXPECT_EQ(app::Rescale(-15, {1, 10}, {1, 4}), -6);
    EXPECT_EQ(app::Rescale(qint64(1) << 62, {1, 6}, {1, 3}), qint64(1) << 61); // beyond 64 bits on the way
}

// Each input continues where the one before it ended, whatever its own
// start; B-frames keep their order across the seam.
TEST(MovieTimeline, InputsFollowOneAnotherFromAnyStartWithBFramesAcrossTheSeam)
{
    MovieTimeline timeline({Video});
    Placed video;
    for (const qint64 start : {qint64(45000), qint64(900000)}) { // 0.5 s, as VCDs start, and 10 s
        timeline.StartInput({{Video, start}});
        Feed(timeline, 0, Pictures(30, start), video);
        timeline.EndInput();
    }
    ASSERT_EQ(video.packets.size(), 60u);
    EXPECT_EQ(video.packets[0].pts, 0) << "the first input starts the movie";
    EXPECT_EQ(video.packets[30].pts, 30 * Frame) << "the second starts where the first ended";
    EXPECT_EQ(video.packets[30].dts, 29 * Frame);
    EXPECT_EQ(video.End(), 60 * Frame);
    EXPECT_EQ(timeline.EndUs(), app::Rescale(60 * Frame, Video, {1, 1000000}));
    EXPECT_EQ(timeline.InnerSeams(), 0);
}

// A stream that runs longer moves the next input for every stream: the
// shorter one gets a gap, never a skew. A packet with no times decodes
// after the one before it, and a repeated decoding time is moved on.
TEST(MovieTimeline, StreamsOfOtherLengthsAndMissingOrRepeatedTimes)
{
    MovieTimeline timeline({Video, Sound});
    Placed video, sound;
    // 1 s of pictures with 1.5 s of sound, then 1 s of pictures with 0.5 s of sound.
    const int pictures = 30;
    for (const int sounds : {57, 19}) {
        timeline.StartInput({{Video, 0}, {Sound, 0}});
        Feed(timeline, 0, Pictures(pictures, 0), video);
        Feed(timeline, 1, Sounds(sounds, 0), sound);
        timeline.EndInput();
    }
    const qint64 longer = app::Rescale(57 * SoundFrame, Sound, Video);
    EXPECT_EQ(video.packets[pictures].pts, longer) << "the second input waits for the longer sound";
    EXPECT_EQ(sound.packets[57].pts, 57 * SoundFrame);
    EXPECT_EQ(timeline.EndUs(), app::Rescale(longer + pictures * Frame, Video, {1, 1000000}));

    MovieTimeline gaps({Sound});
    Placed placed;
    gaps.StartInput({{Sound, 0}});
    Feed(gaps, 0, {{0, 0, SoundFrame}, {}, {}, {SoundFrame, SoundFrame, SoundFrame}, {NoTime, 4 * SoundFrame, 0}},
         placed);
    EXPECT_EQ(placed.packets[1].dts, SoundFrame);
    EXPECT_EQ(placed.packets[2].dts, SoundFrame + 1) << "after the one before it, whose length is not known";
    EXPECT_EQ(placed.packets[3].dts, SoundFrame + 2) << "a repeated time moves on";
    EXPECT_EQ(placed.packets[4].dts, 4 * SoundFrame);
    EXPECT_EQ(gaps.InnerSeams(), 0);
}

// Two recordings joined byte for byte are one input whose clocks start
// again: a step back, or a jump of ten minutes, is a seam inside it, and
// the whole length survives. Sound meets the seam where it starts again.
TEST(MovieTimeline, AClockThatStartsAgainInsideAnInputIsASeam)
{
    for (const qint64 secondStart : {qint64(45000), qint64(45000 + 600 * 90000)}) {
        MovieTimeline timeline({Video, Sound});
        Placed video, sound;
        timeline.StartInput({{Video, 45000}, {Sound, 22050}});
        for (const qint64 start : {qint64(45000), secondStart}) {
            // Each recording: 2 s of pictures, and a little less of sound.
            Feed(timeline, 0, Pictures(60, start), video);
            Feed(timeline, 1, Sounds(76, app::Rescale(start, Video, Sound)), sound);
        }
        timeline.EndInput();
        EXPECT_EQ(timeline.InnerSeams(), 1) << secondStart;
        EXPECT_EQ(video.packets[60].pts, 60 * Frame) << "the second recording follows the first";
        EXPECT_NEAR(double(sound.packets[76].pts), double(app::Rescale(60 * Frame, Video, Sound)), SoundFrame)
            << "its sound starts with its pictures";
        EXPECT_EQ(video.End(), 120 * Frame) << "the whole length survives";
    }
}

// An edit list's priming is decoded but not shown, and a stream that starts
// late waits: every stream of each input starts at its seam together.
TEST(MovieTimeline, PrimingAndLateStartsLineUpAtEachSeam)
{
    constexpr Rational Aac{1, 48000};
    constexpr qint64 AacFrame = 1024, Priming = 2112;
    MovieTimeline timeline({Video, Aac});
    Placed video;
    std::vector<app::MovieTimeline::Placed> sound;
    for (int input = 0; input < 2; ++input) {
        timeline.StartInput({{Video, 0, Frame}, {Aac, 0, 0, Priming}});
        Feed(timeline, 0, Pictures(30, 0), video);
        for (int j = 0; j < 49; ++j)
            sound.push_back(timeline.Place(1, {j * AacFrame, j * AacFrame, AacFrame}));
        timeline.EndInput();
    }
    const qint64 firstEnd = app::Rescale(31 * Frame, Video, Aac); // pictures end a frame late: 1.0343 s
    EXPECT_EQ(video.packets[0].pts, Frame) << "the late stream waits";
    EXPECT_TRUE(sound[0].priming && sound[1].priming && !sound[2].priming);
    EXPECT_EQ(sound[2].times.pts, 2048 - Priming) << "begins with the tail of its priming";
    EXPECT_TRUE(sound[49].priming && sound[50].priming && !sound[51].priming);
    EXPECT_EQ(sound[51].times.pts + (Priming - 2048), firstEnd) << "the first shown sample is at the seam";
    EXPECT_EQ(video.packets[30].pts, 32 * Frame) << "the pictures were longer: the seam is at their end";
}
