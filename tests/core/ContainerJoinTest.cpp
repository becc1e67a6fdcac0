// SPDX-License-Identifier: GPL-3.0-or-later
// Split recordings joined back into one, by the join the planner picks for
// what the files are: Matroska segments, camcorder MTS pieces, dash-camera
// transport streams, a DVD title's VOBs, and program streams whose streams
// differ in order or number. Clips are made by ffmpeg in the run, each
// piece with a tone of its own, and judged as a player would.
#include "core/JoinPlan.h"
#include "core/MovieJoin.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "TestFiles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cmath>

// Linux only, as the other movie join tests: the clips need the ffmpeg program.
#ifndef _WIN32

using platform::FileName;

namespace {

// What a player finds: the length, each stream's packets, timestamps that
// never go back, the widest gap between a stream's packets, decode errors,
// and the tone of each stretch of sound (its frequency, in hundreds of Hz,
// once for each run of blocks that share it).
struct Heard {
    double seconds = 0;
    std::vector<int> packets;
    bool monotonic = true;
    double widestGap = 0;
    int decodeErrors = 0;
    std::vector<int> tones;
    bool seekLands = false;
};

// Zero crossings of one block of mono sound give its frequency.
int ToneOf(const std::vector<float> &block, int sampleRate)
{
    int crossings = 0;
    for (std::size_t i = 1; i < block.size(); ++i)
        crossings += (block[i - 1] < 0) != (block[i] < 0);
    return int(std::lround(crossings * double(sampleRate) / block.size() / 2 / 100));
}

Heard Hear(const QString &path)
{
    Heard heard;
    AVFormatContext *ctx = nullptr;
    if (avformat_open_input(&ctx, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return heard;
    avformat_find_stream_info(ctx, nullptr);
    heard.seconds = ctx->duration / double(AV_TIME_BASE);
    heard.packets.assign(ctx->nb_streams, 0);
    std::vector<AVCodecContext *> decoders(ctx->nb_streams, nullptr);
    for (unsigned k = 0; k < ctx->nb_streams; ++k) {
        const AVCodec *codec = avcodec_find_decoder(ctx->streams[k]->codecpar->codec_id);
        decoders[k] = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoders[k], ctx->streams[k]->codecpar);
        avcodec_open2(decoders[k], codec, nullptr);
    }
    std::vector<qint64> lastDts(ctx->nb_streams, AV_NOPTS_VALUE);
    std::vector<double> lastEnd(ctx->nb_streams, -1);
    std::vector<float> block;
    int lastTone = 0;
    const int audio = av_find_best_stream(ctx, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    while (av_read_frame(ctx, packet) >= 0) {
        const int k = packet->stream_index;
        const AVStream *st = ctx->streams[k];
        ++heard.packets[std::size_t(k)];
        if (packet->dts != AV_NOPTS_VALUE) {
            heard.monotonic = heard.monotonic && (lastDts[k] == AV_NOPTS_VALUE || packet->dts > lastDts[k]);
            lastDts[k] = packet->dts;
        }
        if (packet->pts != AV_NOPTS_VALUE) {
            const double at = packet->pts * av_q2d(st->time_base);
            if (lastEnd[k] >= 0)
                heard.widestGap = std::max(heard.widestGap, at - lastEnd[k]);
            lastEnd[k] = std::max(lastEnd[k], at + packet->duration * av_q2d(st->time_base));
        }
        if (avcodec_send_packet(decoders[k], packet) < 0)
            ++heard.decodeErrors;
        int got = 0;
        while ((got = avcodec_receive_frame(decoders[k], frame)) == 0) {
            const auto format = AVSampleFormat(frame->format);
            if (k == audio && (format == AV_SAMPLE_FMT_FLTP || format == AV_SAMPLE_FMT_FLT ||
                               format == AV_SAMPLE_FMT_S16P || format == AV_SAMPLE_FMT_S16)) {
                const bool packed = !av_sample_fmt_is_planar(format);
                const int step = packed ? frame->ch_layout.nb_channels : 1;
                for (int i = 0; i < frame->nb_samples; ++i) {
                    const int at = i * step;
                    block.push_back(format == AV_SAMPLE_FMT_FLTP || format == AV_SAMPLE_FMT_FLT
                                        ? reinterpret_cast<const float *>(frame->data[0])[at]
                                        : reinterpret_cast<const int16_t *>(frame->data[0])[at] / 32768.0f);
                    if (int(block.size()) == frame->sample_rate / 4) {
                        // A tone counts once two blocks in a row have it: a seam's
                        // block may hold two.
                        const int tone = ToneOf(block, frame->sample_rate);
                        if (tone > 0 && tone == lastTone && (heard.tones.empty() || heard.tones.back() != tone))
                            heard.tones.push_back(tone);
                        lastTone = tone;
                        block.clear();
                    }
                }
            }
            av_frame_unref(frame);
        }
        if (got != AVERROR(EAGAIN) && got != AVERROR_EOF)
            ++heard.decodeErrors;
        av_packet_unref(packet);
    }
    const qint64 target = (ctx->start_time == AV_NOPTS_VALUE ? 0 : ctx->start_time) + ctx->duration * 8 / 10;
    const int video = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video >= 0 && av_seek_frame(ctx, -1, target, AVSEEK_FLAG_BACKWARD) >= 0)
        while (av_read_frame(ctx, packet) >= 0) {
            const bool picture = packet->stream_index == video;
            if (picture)
                heard.seekLands = std::abs(av_rescale_q(packet->pts, ctx->streams[video]->time_base, AV_TIME_BASE_Q) -
                                           target) < 2 * AV_TIME_BASE;
            av_packet_unref(packet);
            if (picture)
                break;
        }
    for (AVCodecContext *&decoder : decoders)
        avcodec_free_context(&decoder);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&ctx);
    return heard;
}

class NoObserver : public app::JoinObserver {
public:
    void JoinStarted(qint64) override {}
    void OutputCreated() override {}
    void FileStarted(int, qint64) override {}
    void BlockCopied(int, qint64) override {}
    void FileFinished(int) override {}
    bool StopRequested() override { return false; }
};

class ContainerJoinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dir = new QTemporaryDir; }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    static QString Path(const QString &name) { return dir->filePath(name); }
    static void Make(QStringList args)
    {
        args = QStringList{"-v", "error", "-nostdin", "-y", "-threads", "1"} + args;
        ASSERT_EQ(RunProgram(QStringLiteral("ffmpeg"), args), 0) << args.join(' ').toStdString();
    }
    // A clip of seconds with a tone of hz, made with the rest of args.
    static QString Clip(const QString &name, int seconds, int hz, const QString &size, const QStringList &args)
    {
        const QString path = Path(name);
        Make(QStringList{"-f", "lavfi", "-i", QStringLiteral("testsrc2=size=%1:rate=25:d=%2").arg(size).arg(seconds),
                         "-f", "lavfi", "-i", QStringLiteral("sine=f=%1:d=%2:sample_rate=48000").arg(hz).arg(seconds)} +
             args + QStringList{path});
        return path;
    }
    // Cuts path's bytes in two at a multiple of unit: the pieces of one recording.
    static std::vector<FileName> Cut(const QString &path, int unit, const QString &first, const QString &second)
    {
        const QByteArray bytes = ReadBytes(path);
        const qsizetype half = bytes.size() / 2 / unit * unit;
        WriteBytes(Path(first), bytes.left(half));
        WriteBytes(Path(second), bytes.mid(half));
        return {Name(Path(first)), Name(Path(second))};
    }
    static app::JoinPlan Join(const QString &output, const std::vector<FileName> &inputs)
    {
        NoObserver observer;
        return app::RunJoin({inputs, Name(Path(output)), app::MovieChoice::Off}, observer);
    }
    static QTemporaryDir *dir;
};
QTemporaryDir *ContainerJoinTest::dir = nullptr;

TEST_F(ContainerJoinTest, MatroskaSegmentsFollowEachOtherAsOneMovie)
{
    std::vector<FileName> segments;
    Heard parts;
    for (int i = 1; i <= 3; ++i) {
        QStringList args{"-c:v", "libx264", "-g", "25", "-bf", "2", "-c:a", "libopus", "-b:a", "48k"};
        if (i == 1)
            args << "-metadata"
                 << "title=Recording";
        const QString path = Clip(QStringLiteral("seg%1.mkv").arg(i), 2, 400 * i, "320x240", args);
        segments.push_back(Name(path));
        const Heard part = Hear(path);
        parts.seconds += part.seconds;
        parts.packets.resize(part.packets.size());
        for (std::size_t k = 0; k < part.packets.size(); ++k)
            parts.packets[k] += part.packets[k];
    }
    const app::JoinPlan plan = Join("joined.mkv", segments);
    EXPECT_EQ(plan.kind, app::JoinKind::Matroska);
    EXPECT_FALSE(plan.how.isEmpty());
    const Heard joined = Hear(Path("joined.mkv"));
    EXPECT_NEAR(joined.seconds, parts.seconds, 0.1);
    EXPECT_EQ(joined.packets, parts.packets) << "every packet of every track";
    EXPECT_TRUE(joined.monotonic);
    EXPECT_LT(joined.widestGap, 0.5);
    EXPECT_EQ(joined.decodeErrors, 0);
    EXPECT_TRUE(joined.seekLands);
    EXPECT_EQ(joined.tones, (std::vector<int>{4, 8, 12})) << "each segment's sound, in order";

    // The first file's tags are kept; the list's menu does not matter.
    AVFormatContext *ctx = nullptr;
    ASSERT_GE(avformat_open_input(&ctx, QFile::encodeName(Path("joined.mkv")).constData(), nullptr, nullptr), 0);
    const AVDictionaryEntry *title = av_dict_get(ctx->metadata, "title", nullptr, 0);
    EXPECT_STREQ(title ? title->value : "", "Recording");
    avformat_close_input(&ctx);
}

TEST_F(ContainerJoinTest, PiecesOfOneRecordingAreJoinedByteForByte)
{
    const QString mts =
        Clip("rec.m2ts", 4, 500, "320x240", {"-c:v", "libx264", "-g", "25", "-c:a", "ac3", "-mpegts_m2ts_mode", "1"});
    app::JoinPlan plan = Join("joined.MTS", Cut(mts, 192, "00000.MTS", "00001.MTS"));
    EXPECT_EQ(plan.kind, app::JoinKind::Pieces);
    EXPECT_EQ(ReadBytes(Path("joined.MTS")), ReadBytes(mts));

    const QString vob = Clip("title.vob", 4, 700, "720x480", {"-target", "ntsc-dvd", "-r", "30000/1001"});
    plan = Join("joined.vob", Cut(vob, 2048, "VTS_01_1.VOB", "VTS_01_2.VOB"));
    EXPECT_EQ(plan.kind, app::JoinKind::Pieces);
    EXPECT_EQ(ReadBytes(Path("joined.vob")), ReadBytes(vob));

    // Two titles do not continue each other: one DVD program stream, AC-3 kept.
    plan = Join("titles.vob", {Name(vob), Name(vob)});
    EXPECT_EQ(plan.kind, app::JoinKind::ProgramStream);
    const Heard titles = Hear(Path("titles.vob"));
    EXPECT_NEAR(titles.seconds, 2 * Hear(vob).seconds, 0.2);
    EXPECT_LT(titles.widestGap, 0.5);
}

TEST_F(ContainerJoinTest, RecordingsOnClocksOfTheirOwnBecomeOneMovieWithNoGap)
{
    std::vector<FileName> minutes;
    for (int i = 1; i <= 3; ++i)
        minutes.push_back(
            Name(Clip(QStringLiteral("dash%1.ts").arg(i), 2, 400 * i, "320x240",
                      {"-c:v", "libx264", "-g", "25", "-c:a", "aac", "-output_ts_offset", QString::number(1000 * i)})));
    for (const QString output : {"dash.ts", "dash.m2ts"}) {
        const app::JoinPlan plan = Join(output, minutes);
        EXPECT_EQ(plan.kind, app::JoinKind::Transport);
        const Heard joined = Hear(Path(output));
        EXPECT_NEAR(joined.seconds, 6.0, 0.2) << output.toStdString();
        EXPECT_LT(joined.widestGap, 0.5);
        EXPECT_TRUE(joined.monotonic);
        EXPECT_EQ(joined.decodeErrors, 0);
        EXPECT_EQ(joined.tones, (std::vector<int>{4, 8, 12}));
    }
    const QByteArray m2ts = ReadBytes(Path("dash.m2ts"));
    EXPECT_TRUE(m2ts[4] == 0x47 && m2ts[4 + 192] == 0x47) << "192-byte packets for .m2ts";
}

TEST_F(ContainerJoinTest, MixedOrUnreadableFilesAreRefusedByNameWithNothingWritten)
{
    const QString mkv = Clip("a.mkv", 1, 400, "160x120", {"-c:v", "libx264", "-c:a", "libopus"});
    const QString mp4 = Clip("b.mp4", 1, 400, "160x120", {"-c:v", "libx264"});
    const QString ts = Clip("c.ts", 1, 400, "160x120", {"-c:v", "libx264"});
    QFile::copy(ts, Path("d.mkv"));
    WriteBytes(Path("kept.mkv"), "old");
    const auto refusal = [&](const std::vector<FileName> &inputs) {
        return ErrorOf([&] { Join("kept.mkv", inputs); }).Message();
    };
    EXPECT_EQ(refusal({Name(mkv), Name(mp4)}), "b.mp4 is an MP4 file; the first file is a Matroska file");
    EXPECT_EQ(refusal({Name(mkv), Name(Path("d.mkv"))}), "d.mkv cannot be read as a Matroska file");
    EXPECT_EQ(refusal({Name(ts), Name(mkv)}), "a.mkv is a Matroska file; the first file is an MPEG transport stream");
    EXPECT_EQ(ReadBytes(Path("kept.mkv")), "old");
}

// Program streams matched by the kind of each stream, not its position.
TEST_F(ContainerJoinTest, SoundFirstAndSilentClipsJoinWithTheSummedLength)
{
    QStringList clips;
    for (int i = 1; i <= 2; ++i)
        clips << Clip(QStringLiteral("vcd%1.mpg").arg(i), 3, 300 * i, "352x240", {"-target", "ntsc-vcd"});
    Make({"-ss", "1", "-i", clips[1], "-map", "0:a", "-map", "0:v", "-c", "copy", "-f", "vcd", Path("cut.mpg")});
    Make({"-f", "lavfi", "-i", "testsrc=size=352x240:rate=30000/1001:d=3", "-an", "-target", "ntsc-vcd",
          Path("mute.mpg")});
    NoObserver observer;
    const auto joinMovie = [&](const QString &output, const QStringList &inputs) {
        std::vector<FileName> names;
        for (const QString &input : inputs)
            names.push_back(Name(input));
        app::RunJoin({names, Name(Path(output)), app::MovieChoice::Option}, observer);
        return Hear(Path(output));
    };
    const Heard soundFirst = joinMovie("sound-first.mpg", {clips[0], Path("cut.mpg")});
    EXPECT_NEAR(soundFirst.seconds, Hear(clips[0]).seconds + Hear(Path("cut.mpg")).seconds, 0.2);
    const Heard pause = joinMovie("pause.mpg", {clips[0], Path("mute.mpg"), clips[1]});
    EXPECT_NEAR(pause.seconds, 9.0, 0.2);
    EXPECT_EQ(pause.tones, (std::vector<int>{3, 6})) << "the silent clip is a pause between the two";
    EXPECT_TRUE(pause.monotonic);
    const QString refused = ErrorOf([&] { joinMovie("refused.mpg", {Path("mute.mpg"), clips[1]}); }).Message();
    EXPECT_TRUE(refused.startsWith("vcd2.mpg has 1 picture and 1 sound stream; the first file has 1 picture and 0"))
        << refused.toStdString();
}

} // namespace

#endif
