// SPDX-License-Identifier: GPL-3.0-or-later
// The one-movie join, on real clips made with ffmpeg and checked with the
// libraries players use.
#include "core/MovieJoin.h"
#include "core/JoinEngine.h"
#include "core/MpegAudio.h"
#include "platform/File.h"

#include <QFile>
#include <gtest/gtest.h>
#include <set>

#include "TestFiles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <sys/stat.h>

// Linux only: the clips are made by the ffmpeg program and checked with
// FFmpeg's decoders, and the Windows build's FFmpeg has only what the join
// itself uses.
#ifndef _WIN32
#include "MovieClips.h"
#include <sys/resource.h>

using app::MovieJoin;
using platform::EInOutError;
using platform::FileName;

namespace {

// What a player finds in a file: its length, its decoded frames (pictures,
// or sound frames without pictures) and whether a seek to 80 % lands on a
// picture or sound there.
struct Played {
    double seconds = 0;
    int frames = 0;
    bool seekLands = false;
    bool monotonic = true; // every stream's decoding times go forward
    QString format;
    qint64 samples = 0; // sound without pictures: the samples decoded, gapless as the demuxer says
    QString encoder;    // the stream's encoder tag; for MP3, read from a LAME tag whose CRC holds
};

Played Play(const QString &path)
{
    Played played;
    AVFormatContext *ctx = nullptr;
    if (avformat_open_input(&ctx, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return played;
    avformat_find_stream_info(ctx, nullptr);
    played.format = QString::fromLatin1(ctx->iformat->name);
    played.seconds = ctx->duration / double(AV_TIME_BASE);
    int index = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0 || (ctx->streams[index]->disposition & AV_DISPOSITION_ATTACHED_PIC))
        index = av_find_best_stream(ctx, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    const AVStream *st = ctx->streams[index];
    if (const AVDictionaryEntry *tag = av_dict_get(st->metadata, "encoder", nullptr, 0))
        played.encoder = QString::fromUtf8(tag->value);
    const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
    AVCodecContext *dec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(dec, st->codecpar);
    avcodec_open2(dec, codec, nullptr);
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    std::vector<qint64> lastDts(ctx->nb_streams, AV_NOPTS_VALUE);
    const auto decodeUntil = [&](const std::function<bool()> &enough) {
        bool more = true;
        while (more && !enough()) {
            more = av_read_frame(ctx, packet) >= 0;
            if (more && packet->dts != AV_NOPTS_VALUE) {
                qint64 &last = lastDts[std::size_t(packet->stream_index)];
                played.monotonic = played.monotonic && (last == AV_NOPTS_VALUE || packet->dts > last);
                last = packet->dts;
            }
            if (more && packet->stream_index != index) {
                av_packet_unref(packet);
                continue;
            }
            avcodec_send_packet(dec, more ? packet : nullptr);
            av_packet_unref(packet);
            while (avcodec_receive_frame(dec, frame) == 0) {
                ++played.frames;
                played.samples += frame->nb_samples;
                av_frame_unref(frame);
            }
        }
    };
    decodeUntil([] { return false; });

    const qint64 start = ctx->start_time == AV_NOPTS_VALUE ? 0 : ctx->start_time;
    const qint64 target = start + ctx->duration * 8 / 10;
    avcodec_flush_buffers(dec);
    if (av_seek_frame(ctx, -1, target, AVSEEK_FLAG_BACKWARD) >= 0) {
        const int before = played.frames;
        // Frames decoded after the seek must lie near 80 %, not in another clip.
        while (av_read_frame(ctx, packet) >= 0) {
            if (packet->stream_index == index && avcodec_send_packet(dec, packet) >= 0 &&
                avcodec_receive_frame(dec, frame) == 0) {
                const qint64 at = av_rescale_q(frame->best_effort_timestamp, st->time_base, AV_TIME_BASE_Q);
                played.seekLands = std::abs(at - target) < 2 * AV_TIME_BASE;
                av_frame_unref(frame);
                av_packet_unref(packet);
                break;
            }
            av_packet_unref(packet);
        }
        played.frames = before;
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&dec);
    avformat_close_input(&ctx);
    return played;
}

// "Join as One Movie" as the command line's --movie asks for it; the name written.
FileName JoinMovie(const FileName &output, const std::vector<FileName> &inputs, app::JoinObserver &observer)
{
    return app::RunJoin({inputs, output, app::MovieChoice::Option}, observer).output;
}

class Recorder : public app::JoinObserver {
public:
    void JoinStarted(qint64 total) override { log << QStringLiteral("join %1").arg(total); }
    void OutputCreated() override
    {
        log << QStringLiteral("created");
        if (onCreated)
            onCreated();
    }
    void FileStarted(int index, qint64 size) override
    {
        log << QStringLiteral("started %1 %2").arg(index).arg(size);
        read.push_back(0);
    }
    void BlockCopied(int index, qint64 got) override
    {
        read[std::size_t(index)] += got;
        ++blocks;
    }
    void FileFinished(int index) override
    {
        log << QStringLiteral("finished %1 %2").arg(index).arg(read[std::size_t(index)]);
    }
    // Stops halfway through input stopIn.
    bool StopRequested() override
    {
        return (stopAtAsk >= 0 && ++asks >= stopAtAsk) ||
               (stopIn >= 0 && int(read.size()) > stopIn && read[std::size_t(stopIn)] > stopAt);
    }

    QStringList log;
    std::vector<qint64> read;
    int blocks = 0;
    int stopIn = -1;
    qint64 stopAt = 0;
    int stopAtAsk = -1; // stops when asked this many times, wherever the join is
    int asks = 0;
    std::function<void()> onCreated;
};

// An MP3's header frame: the frames it counts, and the sound frames that
// follow it in the file.
struct Mp3Count {
    qint64 counted = -1, held = 0;
};
Mp3Count CountMp3(const QByteArray &bytes)
{
    Mp3Count count;
    const qsizetype xing = std::max(bytes.indexOf("Xing"), bytes.indexOf("Info"));
    if (xing < 0)
        return count;
    count.counted = qFromBigEndian<quint32>(bytes.constData() + xing + 8);
    const auto *b = reinterpret_cast<const uint8_t *>(bytes.constData());
    qsizetype at = bytes.lastIndexOf(QByteArray::fromHex("ff"), xing);
    for (auto header = app::mpa::ParseHeader(b + at, int(bytes.size() - at)); header;) { // the header frame first
        at += header->frameBytes;
        header = app::mpa::ParseHeader(b + at, int(std::max<qsizetype>(bytes.size() - at, 0)));
        if (header && at + header->frameBytes <= bytes.size())
            ++count.held;
    }
    return count;
}

// What a program stream's pack and system headers declare, each told once:
// MPEG-1 or MPEG-2 syntax, the mux rate in bit/s, the distances between
// packs, and each stream's buffer (its id and bytes).
struct Packs {
    std::set<int> syntax;
    std::set<qint64> rates, sizes;
    std::set<std::pair<int, int>> buffers;
    friend bool operator==(const Packs &, const Packs &) = default;
};
void PrintTo(const Packs &packs, std::ostream *os)
{
    const auto list = [os](const auto &set) {
        for (const auto &v : set)
            *os << ' ' << v;
        *os << ';';
    };
    *os << "syntax";
    list(packs.syntax);
    *os << " rates";
    list(packs.rates);
    *os << " sizes";
    list(packs.sizes);
    *os << " buffers";
    for (const auto &[id, bytes] : packs.buffers)
        *os << ' ' << std::hex << id << std::dec << ':' << bytes;
}
Packs PacksOf(const QByteArray &bytes)
{
    Packs packs;
    const auto *b = reinterpret_cast<const uint8_t *>(bytes.constData());
    const QByteArray start = QByteArray::fromHex("000001");
    for (qsizetype at = bytes.indexOf(start), last = -1; at >= 0 && at + 14 <= bytes.size();
         at = bytes.indexOf(start, at + 3)) {
        const uint8_t *p = b + at;
        if (p[3] == 0xBA) {
            const bool mpeg2 = p[4] >> 6 == 1;
            packs.syntax.insert(mpeg2 ? 2 : 1);
            packs.rates.insert(
                400 * (mpeg2 ? p[10] << 14 | p[11] << 6 | p[12] >> 2 : (p[9] & 0x7F) << 15 | p[10] << 7 | p[11] >> 1));
            if (last >= 0)
                packs.sizes.insert(at - last);
            last = at;
        } else if (p[3] == 0xBB) { // after 6 bytes of bounds, 3 bytes a stream
            const qsizetype end = std::min<qsizetype>(at + 6 + (p[4] << 8 | p[5]), bytes.size());
            for (qsizetype s = at + 12; s + 3 <= end && b[s] & 0x80; s += 3)
                packs.buffers.insert({b[s], ((b[s + 1] & 0x1F) << 8 | b[s + 2]) * (b[s + 1] & 0x20 ? 1024 : 128)});
        }
    }
    return packs;
}

class MovieJoinTest : public MovieClips {
protected:
    static double SumOfLengths(const QStringList &names)
    {
        double sum = 0;
        for (const QString &n : names)
            sum += Play(Clip(n)).seconds;
        return sum;
    }
    static int SumOfFrames(const QStringList &names)
    {
        int sum = 0;
        for (const QString &n : names)
            sum += Play(Clip(n)).frames;
        return sum;
    }
};

TEST_F(MovieJoinTest, VcdClipsAndDatFilesPlayAsOneMovie)
{
    for (const QString ext : {"mpg", "dat"}) {
        const QStringList clips{"ntsc5." + ext, "ntsc7." + ext, "ntsc9." + ext};
        Recorder recorder;
        // A .dat output name would promise RIFF sectors: it becomes .mpg.
        const FileName written = JoinMovie(Name(Path("joined." + ext)), Names(clips), recorder);
        EXPECT_EQ(written, Name(Path("joined.mpg")));
        const Played joined = Play(Path("joined.mpg"));
        EXPECT_EQ(joined.format, "mpeg");
        EXPECT_NEAR(joined.seconds, 21.0, 0.3) << ext.toStdString();
        EXPECT_NEAR(joined.seconds, SumOfLengths(clips), 0.3);
        EXPECT_EQ(joined.frames, SumOfFrames(clips));
        EXPECT_TRUE(joined.seekLands);
        EXPECT_TRUE(joined.monotonic);
        // The bars: each file's bytes in full, reported as it was read.
        for (int i = 0; i < 3; ++i) {
            const qint64 size = QFileInfo(Path(clips[i])).size();
            EXPECT_TRUE(recorder.log.contains(QStringLiteral("finished %1 %2").arg(i).arg(size))) << i;
        }
        EXPECT_GT(recorder.blocks, 30);
        EXPECT_EQ(recorder.log.first(),
                  QStringLiteral("join %1").arg(QFileInfo(Path(clips[0])).size() + QFileInfo(Path(clips[1])).size() +
                                                QFileInfo(Path(clips[2])).size()));
        EXPECT_EQ(recorder.log[1], "created");
    }
}

// A disc's program stream keeps the packs of its kind: a VCD's (here from
// .dat tracks) and an SVCD's sectors hold 2324 bytes, a DVD's 2048, and
// each declares the mux rate and picture buffer its inputs declare.
TEST_F(MovieJoinTest, VcdSvcdAndDvdListsKeepTheirPacksAndMuxRate)
{
    const std::vector<QStringList> lists{
        {"ntsc5.dat", "ntsc7.dat"}, {"svcd2.mpg", "svcd3.mpg"}, {"dvd2.mpg", "dvd3.mpg"}};
    for (const QStringList &clips : lists) {
        Recorder recorder;
        JoinMovie(Name(Path("packs.mpg")), Names(clips), recorder);
        const QString first = clips[0].endsWith(".dat") ? QStringLiteral("ntsc5.mpg") : clips[0]; // its packs unwrapped
        const Packs input = PacksOf(ReadBytes(Clip(first)));
        ASSERT_EQ(input.sizes.size(), 1u) << first.toStdString();
        EXPECT_EQ(PacksOf(ReadBytes(Path("packs.mpg"))), input) << first.toStdString();
        EXPECT_NEAR(Play(Path("packs.mpg")).seconds, SumOfLengths(clips), 0.3);
    }
}

TEST_F(MovieJoinTest, VbrMp3sGetOneHeaderThatCountsTheWholeJoin)
{
    const QStringList clips{"vbr5.mp3", "vbr7.mp3", "vbr9.mp3"};
    Recorder recorder;
    JoinMovie(Name(Path("joined.mp3")), Names(clips), recorder);
    const Played joined = Play(Path("joined.mp3"));
    EXPECT_NEAR(joined.seconds, 21.0, 0.3);
    EXPECT_EQ(joined.frames, SumOfFrames(clips));
    EXPECT_TRUE(joined.seekLands);
    const QByteArray bytes = ReadBytes(Path("joined.mp3"));
    const QByteArray first = ReadBytes(Path("vbr5.mp3"));
    const int tag = 10 + (first[9] | first[8] << 7); // small tag: two size bytes suffice
    EXPECT_EQ(bytes.left(tag), first.left(tag));     // the first file's ID3v2 tag, as it was
    EXPECT_EQ(bytes.count("ID3"), 1);
    EXPECT_EQ(bytes.count("Xing"), 1);
    EXPECT_EQ(bytes.count("Info"), 0);
    EXPECT_LT(bytes.indexOf("Xing"), tag + 64);
    const Mp3Count whole = CountMp3(bytes);
    EXPECT_EQ(whole.counted, whole.held);
    // Gapless: the LAME tag leaves out the first clip's encoder delay and the
    // last clip's padding, so the clips before the last play every frame (the
    // delay of each is the same) and the last ends as it ends alone.
    const qint64 framesBeforeLast =
        CountMp3(ReadBytes(Path("vbr5.mp3"))).counted + CountMp3(ReadBytes(Path("vbr7.mp3"))).counted;
    EXPECT_EQ(joined.samples, 1152 * framesBeforeLast + Play(Path("vbr9.mp3")).samples);
    EXPECT_TRUE(joined.encoder.startsWith("Lavc")) << "the tag's CRC holds";

    // Stopped halfway, the header counts the frames written, not the list's.
    Recorder stopping;
    stopping.stopIn = 1;
    stopping.stopAt = QFileInfo(Path("vbr7.mp3")).size() / 2;
    EXPECT_THROW(JoinMovie(Name(Path("stopped.mp3")), Names(clips), stopping), app::JoinStopped);
    const Mp3Count stopped = CountMp3(ReadBytes(Path("stopped.mp3")));
    EXPECT_EQ(stopped.counted, stopped.held);
    EXPECT_LT(stopped.counted, whole.counted * 2 / 3);
    const Played stoppedPlayed = Play(Path("stopped.mp3"));
    EXPECT_NEAR(stoppedPlayed.seconds, 8.5, 0.5);
    // It ends before the last clip's end: no padding is left out of its last frame.
    EXPECT_GT(stoppedPlayed.samples, 1152 * stopped.counted - 1152);
}

TEST_F(MovieJoinTest, CbrMp3sKeepTheFirstTagAndDropTheOthers)
{
    const QStringList clips{"cbr3.mp3", "cbr4.mp3"};
    Recorder recorder;
    JoinMovie(Name(Path("tagged.mp3")), Names(clips), recorder);
    const QByteArray bytes = ReadBytes(Path("tagged.mp3"));
    const QByteArray first = ReadBytes(Path("cbr3.mp3"));
    const qsizetype tag = first.indexOf(QByteArray::fromHex("fffb")); // the cover makes it large
    ASSERT_GT(tag, 5000);
    EXPECT_EQ(bytes.left(tag), first.left(tag));
    EXPECT_EQ(bytes.count("ID3"), 1);
    EXPECT_EQ(bytes.count("Cover 4"), 0);  // nor the second file's ID3v2, nor its ID3v1
    EXPECT_EQ(bytes.count("TAGCover"), 0); // no ID3v1 tag anywhere
    EXPECT_EQ(bytes.count("Info"), 1);     // constant bitrate
    EXPECT_EQ(qFromBigEndian<quint32>(bytes.constData() + bytes.indexOf("Info") + 4), 7u)
        << "frames, bytes, table; no LAME tag after them, where the first file has none to give its delay";
    const Played joined = Play(Path("tagged.mp3"));
    EXPECT_NEAR(joined.seconds, 7.0, 0.3);
    EXPECT_EQ(joined.frames, SumOfFrames(clips));
}

TEST_F(MovieJoinTest, MixedFormatsAreRefusedBeforeAnythingIsWritten)
{
    WriteBytes(Path("kept.mpg"), "old");
    Recorder recorder;
    try {
        JoinMovie(Name(Path("kept.mpg")), Names({"ntsc5.mpg", "pvcd_B.mpg"}), recorder);
        FAIL() << "joined NTSC and PAL";
    } catch (const app::EMixedFormats &e) {
        EXPECT_EQ(e.Message(), "pvcd_B.mpg is 352×288 at 25 fps; the first file is 352×240 at 29.97 fps. --movie "
                               "asks for one movie; without it the files are joined byte for byte.");
    }
    try {
        JoinMovie(Name(Path("kept.mpg")), Names({"ntsc5.mpg", "vbr5.mp3"}), recorder);
        FAIL() << "joined a movie and an MP3";
    } catch (const app::EMixedFormats &e) {
        EXPECT_TRUE(e.Message().startsWith("vbr5.mp3 is MPEG audio; the first file is an MPEG program stream. "));
    }
    EXPECT_EQ(ReadBytes(Path("kept.mpg")), "old");
    EXPECT_FALSE(recorder.log.contains("created"));
}

TEST_F(MovieJoinTest, StopLeavesAPlayableBeginning)
{
    Recorder recorder;
    recorder.stopIn = 1;
    recorder.stopAt = QFileInfo(Clip("ntsc7.mpg")).size() / 2;
    EXPECT_THROW(JoinMovie(Name(Path("stopped.mpg")), Names({"ntsc5.mpg", "ntsc7.mpg", "ntsc9.mpg"}), recorder),
                 app::JoinStopped);
    EXPECT_TRUE(recorder.log.contains("finished 0 " + QString::number(QFileInfo(Path("ntsc5.mpg")).size())));
    EXPECT_FALSE(recorder.log.contains(QStringLiteral("finished 1"), Qt::CaseSensitive));
    const Played stopped = Play(Path("stopped.mpg"));
    EXPECT_GT(stopped.seconds, 5.0);
    EXPECT_LT(stopped.seconds, 12.0);
    EXPECT_GT(stopped.frames, 150);

    // Over an output that existed, a stop leaves the old file whole.
    const QByteArray before = ReadBytes(Path("stopped.mpg"));
    Recorder again;
    again.stopIn = 1;
    try {
        JoinMovie(Name(Path("stopped.mpg")), Names({"ntsc7.mpg", "ntsc9.mpg"}), again);
        ADD_FAILURE() << "not stopped";
    } catch (const app::JoinStopped &e) {
        EXPECT_EQ(e.left, app::OutputLeft::AsBefore);
    }
    EXPECT_EQ(ReadBytes(Path("stopped.mpg")), before);
}

// The disk fills up during the write: the error says so, a new output is a
// playable beginning (an MP3's header counts the frames it holds), and an
// output that existed is left whole. The media module writes through the
// program's one platform layer, so the write calls of the test reach it.
TEST_F(MovieJoinTest, AFullDiskEndsTheJoinWithAPlayableBeginningOrTheOldOutput)
{
    // As on a full disk: blocks the file has can be written again, no new one.
    qint64 room = 0;
    const platform::WriteCalls system = platform::CurrentWriteCalls();
    const platform::WriteCallsOverride disk(
        {[&](int fd, const char *data, size_t n) -> ssize_t {
             struct stat st {};
             if (::fstat(fd, &st) == 0 && ::lseek(fd, 0, SEEK_CUR) + off_t(n) <= st.st_size)
                 return system.Write(fd, data, n);
             if (room <= 0) {
                 errno = ENOSPC;
                 return -1;
             }
             const ssize_t done = system.Write(fd, data, std::min<size_t>(n, size_t(room)));
             room -= std::max<ssize_t>(done, 0);
             return done;
         },
         nullptr});
    for (const QString output : {"full.mpg", "full.mp3"}) {
        const bool mp3 = output.endsWith("mp3");
        const QStringList clips = mp3 ? QStringList{"vbr5.mp3", "vbr7.mp3"} : QStringList{"ntsc5.mpg", "ntsc7.mpg"};
        room = QFileInfo(Clip(clips[0])).size() * 3 / 2;
        Recorder recorder;
        EXPECT_EQ(ErrorOf([&] { JoinMovie(Name(Path(output)), Names(clips), recorder); }).ErrorCode(), 101);
        const Played played = Play(Path(output));
        EXPECT_GT(played.seconds, 5.0) << output.toStdString();
        EXPECT_LT(played.seconds, 12.0);
        EXPECT_TRUE(played.monotonic);
        if (mp3) {
            const Mp3Count count = CountMp3(ReadBytes(Path(output)));
            EXPECT_EQ(count.counted, count.held);
        }
        const QByteArray before = ReadBytes(Path(output));
        room = QFileInfo(Clip(clips[0])).size();
        EXPECT_EQ(ErrorOf([&] { JoinMovie(Name(Path(output)), Names(clips), recorder); }).ErrorCode(), 101);
        EXPECT_EQ(ReadBytes(Path(output)), before) << "an output that existed stays whole";
    }
}

// The inputs are read before anything is written, and a stop is asked for
// between them and while each is read: the output is then as it was.
TEST_F(MovieJoinTest, AStopWhileTheInputsAreReadLeavesTheOutputAsItWas)
{
    for (const bool existed : {false, true}) {
        QFile::remove(Path("early.mpg"));
        if (existed)
            WriteBytes(Path("early.mpg"), "old");
        Recorder recorder;
        recorder.stopAtAsk = 8;
        try {
            JoinMovie(Name(Path("early.mpg")), Names({"ntsc5.mpg", "ntsc7.mpg", "ntsc9.mpg"}), recorder);
            ADD_FAILURE() << "not stopped";
        } catch (const app::JoinStopped &e) {
            EXPECT_EQ(e.left, existed ? app::OutputLeft::AsBefore : app::OutputLeft::Nothing);
        }
        EXPECT_EQ(recorder.log.size(), 1) << "started, and nothing after: " << recorder.log.join(", ").toStdString();
        EXPECT_EQ(ReadBytes(Path("early.mpg")), existed ? QByteArray("old") : QByteArray("<unreadable>"));
    }
}

// Two clips joined byte for byte, as cat joins them, are one input whose
// clock starts again in the middle: as one movie it keeps its whole length.
TEST_F(MovieJoinTest, AByteJoinedInputKeepsItsWholeLength)
{
    WriteBytes(Path("catted.mpg"), ReadBytes(Clip("ntsc5.mpg")) + ReadBytes(Clip("ntsc7.mpg")));
    Recorder recorder;
    JoinMovie(Name(Path("whole.mpg")), {Name(Path("catted.mpg")), Name(Clip("ntsc9.mpg"))}, recorder);
    const Played whole = Play(Path("whole.mpg"));
    EXPECT_NEAR(whole.seconds, 21.0, 0.3);
    EXPECT_EQ(whole.frames, SumOfFrames({"ntsc5.mpg", "ntsc7.mpg", "ntsc9.mpg"}));
    EXPECT_TRUE(whole.monotonic);
    EXPECT_TRUE(whole.seekLands);
}

// Between the first pass, which reads each input's streams, and the write,
// an input is swapped: renamed over, it is still the file looked at, kept
// open; opened again by name (no descriptor to keep it), or rewritten in
// place with other streams, it is refused. Never a crash, never one
// stream's packets in another.
TEST_F(MovieJoinTest, AnInputSwappedBetweenThePassesIsJoinedAsLookedAtOrRefused)
{
    const QByteArray second = ReadBytes(Clip("ntsc7.mpg")), other = ReadBytes(Clip("pvcd_B.mpg"));
    const auto join = [&](const std::function<void()> &swap) {
        WriteBytes(Path("in2.mpg"), second);
        QFile::remove(Path("swapped.mpg"));
        Recorder recorder;
        recorder.onCreated = swap;
        return ErrorOf([&] {
            JoinMovie(Name(Path("swapped.mpg")), {Name(Clip("ntsc5.mpg")), Name(Path("in2.mpg"))}, recorder);
        });
    };
    const auto renameOver = [&] {
        WriteBytes(Path("intruder.mpg"), other);
        ASSERT_TRUE(QFile::remove(Path("in2.mpg")) && QFile::rename(Path("intruder.mpg"), Path("in2.mpg")));
    };
    const auto rewrite = [&] { WriteBytes(Path("in2.mpg"), other); }; // the same file, other streams

    // Renamed over: joined as looked at.
    Recorder recorder;
    recorder.onCreated = renameOver;
    WriteBytes(Path("in2.mpg"), second);
    JoinMovie(Name(Path("swapped.mpg")), {Name(Clip("ntsc5.mpg")), Name(Path("in2.mpg"))}, recorder);
    const Played joined = Play(Path("swapped.mpg"));
    EXPECT_NEAR(joined.seconds, 12.0, 0.3);
    EXPECT_EQ(joined.frames, SumOfFrames({"ntsc5.mpg", "ntsc7.mpg"}));

    EXPECT_TRUE(join(rewrite).Message().contains("in2.mpg changed while it was being joined"));
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit lowered = saved;
    lowered.rlim_cur = std::min<rlim_t>(256, saved.rlim_max); // no descriptor kept
    ::setrlimit(RLIMIT_NOFILE, &lowered);
    const EInOutError replaced = join(renameOver);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(replaced.Message(), app::OutputGuard::ReplacedInputMessage(Name(Path("in2.mpg"))));
    EXPECT_TRUE(Play(Path("swapped.mpg")).monotonic) << "the first input, written before the refusal";
}

// A tag that claims more than its file holds is refused before anything of
// it is read into memory.
TEST_F(MovieJoinTest, AnMp3TagLargerThanItsFileIsRefused)
{
    const QByteArray mp3 = ReadBytes(Clip("vbr5.mp3"));
    const int tag = 10 + (mp3[9] | mp3[8] << 7);
    WriteBytes(Path("liar.mp3"), QByteArray("ID3\x04\x00\x00\x7f\x7f\x7f\x7f", 10) + mp3.mid(tag)); // 256 MiB
    Recorder recorder;
    const EInOutError e = ErrorOf([&] {
        JoinMovie(Name(Path("liar-out.mp3")), {Name(Path("liar.mp3")), Name(Clip("vbr7.mp3"))}, recorder);
    });
    EXPECT_TRUE(e.Message().contains("liar.mp3 ")) << e.Message().toStdString();
    EXPECT_FALSE(QFile::exists(Path("liar-out.mp3")));
}

TEST_F(MovieJoinTest, InputsThatAreNoMediaOrNoFilesAreNamed)
{
    WriteBytes(Path("kept.mpg"), "old");
    WriteBytes(Path("notes.mpg"), QByteArray(100000, 'x'));
    const auto message = [](const std::vector<FileName> &inputs) {
        Recorder recorder;
        return ErrorOf([&] { JoinMovie(Name(Path("kept.mpg")), inputs, recorder); }).Message();
    };
    EXPECT_TRUE(message(Names({"ntsc5.mpg", "notes.mpg"})).contains("notes.mpg"));
    const QByteArray fifo = Path("pipe.mpg").toUtf8();
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    FifoWatchdog watchdog(fifo, 10);
    EXPECT_TRUE(message(Names({"ntsc5.mpg", "pipe.mpg"})).contains("pipe.mpg"));
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_TRUE(message(Names({"kept.mpg", "ntsc5.mpg"})).contains("kept.mpg")); // "old" is no media either
    Recorder recorder;
    EXPECT_THROW(JoinMovie(Name(Path("ntsc7.mpg")), Names({"ntsc5.mpg", "ntsc7.mpg"}), recorder), app::ESameFile);
    EXPECT_EQ(ReadBytes(Path("kept.mpg")), "old");

    // A name that is no text is opened by its bytes.
    const QByteArray odd = dir->path().toUtf8() + "/clip\xff\xfe.mpg";
    WriteBytesAt(odd, ReadBytes(Clip("ntsc5.mpg")));
    JoinMovie(FileName(dir->path().toUtf8() + "/odd\xff.mpg"), {FileName(odd), Name(Path("ntsc7.mpg"))}, recorder);
    EXPECT_EQ(ReadBytesAt(dir->path().toUtf8() + "/odd\xff.mpg").left(4), QByteArray::fromHex("000001ba"));
}

} // namespace
#endif
