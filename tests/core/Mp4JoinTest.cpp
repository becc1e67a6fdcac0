// SPDX-License-Identifier: GPL-3.0-or-later
// The MP4 box join on chapters made with ffmpeg, judged as players judge
// them: ffprobe's streams, tags and packets, a decode, a seek, and when each
// chapter's sound starts against its picture.
#include "core/ClipFacts.h"
#include "core/IsoBox.h"
#include "core/JoinPlan.h"
#include "core/Mp4Movie.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "platform/File.h"

#include "core/Mp4Timeline.h"

#include <cmath>

// Pieces cut from one recording by a stream copy show their last frames up
// to 1536 ticks past where their samples' times end (frames reordered, some
// dropped by the cut). The next chapter's media must start after that, or
// its first frames show at the end of the chapter before as well.
TEST(Mp4Seams, NoFrameOfAChapterShowsAtTheEndOfTheOneBefore)
{
    using app::mp4::Segment;
    app::mp4::ChapterPiece piece;
    piece.mediaDuration = 62 * 512;
    piece.presentationEnd = 67 * 512;
    piece.samples = 62;
    piece.lastSampleDuration = piece.frameDuration = 512;
    piece.uniformFrames = true;
    piece.segments = {{-1, 1014}, {1024, 65 * 512}}; // starts late, as its own file says
    const std::vector<app::mp4::ChapterPiece> pieces{piece, piece};
    const app::mp4::TrackTimeline t =
        app::mp4::LayOut(pieces, app::mp4::Seam::Stretch, 15360, app::mp4::ChapterStarts(pieces), 15360);
    ASSERT_EQ(t.segments.size(), 4u);
    const Segment &first = t.segments[1], &second = t.segments[3];
    EXPECT_LE(first.mediaTime + first.duration, second.mediaTime);
    EXPECT_EQ(t.Duration(), 2 * (1014 + 65 * 512)) << "each chapter as long as alone";
}

// Linux only: the chapters are made and judged by the ffmpeg programs.
#ifndef _WIN32

using app::JoinKind;
using app::MovieChoice;
using platform::FileName;

namespace {

// The join Join Now and --join make of a list, the person having chosen nothing.
app::JoinPlan Join(const QString &output, const std::vector<FileName> &inputs, app::JoinObserver &observer)
{
    return app::RunJoin({inputs, Name(output), MovieChoice::Off}, observer);
}

// What a program wrote, and what it said on stderr.
struct Ran {
    bool ok = false;
    QByteArray out, err;
};

Ran Output(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    Ran ran;
    ran.ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    ran.out = p.readAllStandardOutput();
    ran.err = p.readAllStandardError();
    return ran;
}

bool Ffmpeg(const QStringList &args) { return Output("ffmpeg", QStringList{"-loglevel", "error", "-y"} + args).ok; }

// ffprobe's answer as JSON.
QJsonObject Probe(const QString &file, const QStringList &args)
{
    return QJsonDocument::fromJson(
               Output("ffprobe", QStringList{"-v", "error", "-of", "json"} + args + QStringList{file}).out)
        .object();
}

QJsonArray Streams(const QString &file)
{
    return Probe(file,
                 {"-count_packets", "-show_entries",
                  "stream=codec_type,codec_tag_string,duration,nb_read_packets:stream_tags=handler_name,timecode"})
        .value("streams")
        .toArray();
}

// The times of a file's packets or frames (entry "packet" or "frame") of one stream.
std::vector<double> Times(const QString &file, const QString &stream, const QString &entry, const QString &field)
{
    std::vector<double> times;
    const QJsonObject probe = Probe(file, {"-select_streams", stream, "-show_entries", entry + "=" + field});
    for (const QJsonValue &v : probe.value(entry == "frame" ? "frames" : "packets").toArray())
        times.push_back(v.toObject().value(field).toString().toDouble());
    return times;
}

// The bytes of a file's telemetry, every packet in order, edit lists aside.
QByteArray Telemetry(const QString &file)
{
    return Output("ffmpeg", {"-v", "error", "-ignore_editlist", "1", "-i", file, "-map", "0:d:0", "-c", "copy", "-f",
                             "data", "-"})
        .out;
}

// Counts the observer's calls; stops after stopAfter blocks when given.
class Observer : public app::JoinObserver {
public:
    void OutputCreated() override { ++created; }
    void FileStarted(int, qint64) override { ++started; }
    void BlockCopied(int, qint64) override { ++blocks; }
    void FileFinished(int) override { ++finished; }
    bool StopRequested() override { return stopAfter >= 0 && blocks >= stopAfter; }
    int created = 0, started = 0, blocks = 0, finished = 0, stopAfter = -1;
};

class Mp4JoinTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir.filePath(name); }

    // Three chapters of one recording as a camera splits it: its picture
    // red, green and blue chapter by chapter, its sound running on across
    // the cuts, telemetry every 0.75 s and a timecode.
    std::vector<FileName> CameraChapters()
    {
        WriteBytes(path("tele.bin"), Pattern(12 * 1024, 7));
        QString picture;
        for (const char *colour : {"red", "green", "blue"})
            picture += QStringLiteral("color=c=%1:size=320x240:rate=30000/1001:duration=3,format=yuv420p[%1];")
                           .arg(QLatin1String(colour));
        picture += "[red][green][blue]concat=n=3";
        if (!Ffmpeg({"-f",
                     "lavfi",
                     "-i",
                     picture,
                     "-f",
                     "lavfi",
                     "-i",
                     "sine=frequency=440:sample_rate=48000:duration=9",
                     "-f",
                     "data",
                     "-i",
                     path("tele.bin"),
                     "-map",
                     "0:v",
                     "-map",
                     "1:a",
                     "-map",
                     "2:d",
                     "-c:v",
                     "libx264",
                     "-g",
                     "15",
                     "-force_key_frames",
                     "expr:gte(t,n_forced*3)",
                     "-c:a",
                     "aac",
                     "-c:d",
                     "copy",
                     "-tag:d",
                     "gpmd",
                     "-bsf:d",
                     "setts=ts=N*0.75/TB:duration=0.75/TB",
                     "-timecode",
                     "01:00:00:00",
                     "-metadata",
                     "title=Ride",
                     "-metadata:s:v",
                     "handler_name=Camera AVC",
                     "-f",
                     "segment",
                     "-segment_format",
                     "mov",
                     "-segment_times",
                     "3,6",
                     "-reset_timestamps",
                     "1",
                     "-threads",
                     "1",
                     path("GX0%d0042.MP4")}))
            return {};
        return {Name(path("GX000042.MP4")), Name(path("GX010042.MP4")), Name(path("GX020042.MP4"))};
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(Mp4JoinTest, CameraChaptersKeepEveryTrackTagAndSample)
{
    const std::vector<FileName> chapters = CameraChapters();
    if (chapters.empty())
        GTEST_SKIP() << "ffmpeg cannot make camera chapters here";
    // A chapter's hint tells its length, picture, sound and other tracks.
    EXPECT_EQ(app::ReadClipFacts(chapters[0]).Text(),
              QStringLiteral("0:03 · H.264 320×240 29.97 fps · AAC 48 kHz · telemetry, timecode"));
    Observer observer;
    const app::JoinPlan plan = Join(path("ride.mp4"), chapters, observer);
    EXPECT_EQ(plan.kind, JoinKind::Mp4Boxes);
    EXPECT_EQ(plan.output, Name(path("ride.mp4")));
    EXPECT_EQ(observer.started, 3);
    EXPECT_EQ(observer.finished, 3);

    // The first chapter's tracks, in order, with its handler names and
    // timecode; every packet of every chapter, the timecode's one aside.
    const QJsonArray joined = Streams(path("ride.mp4"));
    std::vector<QJsonArray> each;
    for (const char *chapter : {"GX000042.MP4", "GX010042.MP4", "GX020042.MP4"})
        each.push_back(Streams(path(chapter)));
    const QJsonArray &first = each.front();
    ASSERT_EQ(joined.size(), 4);
    ASSERT_EQ(first.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const QJsonObject s = joined[i].toObject(), f = first[i].toObject();
        EXPECT_EQ(s.value("codec_tag_string"), f.value("codec_tag_string")) << i;
        EXPECT_EQ(s.value("tags").toObject().value("handler_name"), f.value("tags").toObject().value("handler_name"));
        int packets = 0;
        double length = 0;
        for (const QJsonArray &streams : each) {
            const QJsonObject c = streams[i].toObject();
            packets += c.value("nb_read_packets").toString().toInt();
            length += c.value("duration").toString().toDouble();
        }
        const bool timecode = f.value("codec_tag_string") == QStringLiteral("tmcd");
        EXPECT_EQ(s.value("nb_read_packets").toString().toInt(), timecode ? 1 : packets) << i;
        if (i == 0) {
            EXPECT_NEAR(s.value("duration").toString().toDouble(), length, 0.001) << "the picture's length";
        }
    }
    EXPECT_EQ(joined[0].toObject().value("tags").toObject().value("timecode"), QStringLiteral("01:00:00:00"));
    // mediainfo, another reader of the index, agrees with ffprobe on the length (in ms).
    const Ran info = Output("mediainfo", {"--Inform=General;%Duration%", path("ride.mp4")});
    ASSERT_TRUE(info.ok) << info.err.toStdString();
    const QJsonValue length = Probe(path("ride.mp4"), {"-show_entries", "format=duration"}).value("format")["duration"];
    EXPECT_NEAR(info.out.trimmed().toDouble(), 1000 * length.toString().toDouble(), 2);
    EXPECT_EQ(Probe(path("ride.mp4"), {"-show_entries", "format_tags=title"}).value("format").toObject().value("tags"),
              QJsonObject({{"title", "Ride"}}));
    EXPECT_EQ(Telemetry(path("ride.mp4")),
              Telemetry(path("GX000042.MP4")) + Telemetry(path("GX010042.MP4")) + Telemetry(path("GX020042.MP4")));

    // The sound plays on sample for sample: one stretch of the edit list
    // after the first chapter's own lead.
    platform::File file = platform::File::OpenRead(Name(path("ride.mp4")));
    const app::mp4::Movie movie = app::mp4::ReadMovie(file, Name(path("ride.mp4")));
    ASSERT_TRUE(movie.tracks[1].edits);
    EXPECT_EQ(movie.tracks[1].edits->back().mediaTime, 0);

    // It decodes without a word, and 80 % in shows the third chapter's blue.
    const Ran decoded = Output("ffmpeg", {"-v", "error", "-i", path("ride.mp4"), "-f", "null", "-"});
    EXPECT_TRUE(decoded.ok && decoded.err.isEmpty()) << decoded.err.toStdString();
    const QByteArray pixel = Output("ffmpeg", {"-v", "error", "-ss", "7.2", "-i", path("ride.mp4"), "-frames:v", "1",
                                               "-vf", "scale=1:1", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"})
                                 .out;
    ASSERT_EQ(pixel.size(), 3);
    EXPECT_GT(quint8(pixel[2]), 200);
    EXPECT_LT(quint8(pixel[0]) + quint8(pixel[1]), 60);
}

// Chapters encoded one by one, each with the priming its sound starts with.
// Their sound alternates between silence and a tone, so each chapter's
// start can be heard; telemetry comes every half second.
TEST_F(Mp4JoinTest, IndependentChaptersKeepTheirSoundWithTheirPicture)
{
    WriteBytes(path("tele.bin"), Pattern(4 * 1024, 8)); // four packets of 1 KiB
    std::vector<FileName> chapters;
    for (int k = 0; k < 10; ++k) {
        const QString sound =
            k % 2 ? "sine=frequency=1000:sample_rate=48000:duration=2" : "anullsrc=r=48000:cl=mono,atrim=duration=2";
        const QString name = path(QStringLiteral("chapter%1.mov").arg(k));
        if (!Ffmpeg({"-f",       "lavfi", "-i",     "testsrc=size=160x120:rate=25:duration=2",
                     "-f",       "lavfi", "-i",     sound,
                     "-f",       "data",  "-i",     path("tele.bin"),
                     "-map",     "0:v",   "-map",   "1:a",
                     "-map",     "2:d",   "-c:v",   "libx264",
                     "-c:a",     "aac",   "-c:d",   "copy",
                     "-tag:d",   "gpmd",  "-bsf:d", "setts=ts=N*0.5/TB:duration=0.5/TB",
                     "-threads", "1",     "-f",     "mov",
                     name}))
            GTEST_SKIP() << "ffmpeg cannot make chapters here";
        chapters.push_back(Name(name));
    }
    Observer observer;
    const QString joined = path("joined.mov");
    Join(joined, chapters, observer);

    // Where the sound turns on or off, in milliseconds.
    const QByteArray pcm =
        Output("ffmpeg", {"-v", "error", "-i", joined, "-map", "0:a", "-ac", "1", "-ar", "48000", "-f", "s16le", "-"})
            .out;
    std::vector<double> loudness;
    for (qsizetype at = 0; at + 96 <= pcm.size(); at += 96) {
        double sum = 0;
        for (int i = 0; i < 48; ++i) {
            const double v = qFromLittleEndian<qint16>(pcm.constData() + at + 2 * i);
            sum += v * v;
        }
        loudness.push_back(std::sqrt(sum / 48));
    }
    const double half = *std::max_element(loudness.begin(), loudness.end()) / 2;
    std::vector<double> changes;
    // The last chapter's tone ends with the file: that is no seam.
    for (std::size_t ms = 1; ms + 20 < loudness.size(); ++ms)
        if ((loudness[ms] > half) != (loudness[ms - 1] > half))
            changes.push_back(ms / 1000.0);
    const std::vector<double> pictures = Times(joined, "v:0", "frame", "best_effort_timestamp_time");
    ASSERT_EQ(pictures.size(), 500u);
    ASSERT_EQ(changes.size(), 9u) << "one at each seam";
    for (int k = 1; k < 10; ++k)
        EXPECT_NEAR(changes[std::size_t(k - 1)], pictures[std::size_t(50 * k)], 0.035) << "seam " << k;

    // Each telemetry sample at its chapter's start plus its own time.
    const std::vector<double> telemetry = Times(joined, "d:0", "packet", "pts_time");
    ASSERT_EQ(telemetry.size(), 40u);
    for (std::size_t i = 0; i < telemetry.size(); ++i)
        EXPECT_NEAR(telemetry[i], pictures[i / 4 * 50] + 0.5 * double(i % 4), 0.002) << i;
}

TEST_F(Mp4JoinTest, ChaptersThatDifferOrLackTheirIndexAreRefusedByNameWithNothingWritten)
{
    if (!MakeMp4Clip(path("a.mp4"), 1) || !MakeMp4Clip(path("small.mp4"), 1, "160x120") ||
        !MakeMp4Clip(path("base.mp4"), 1, "320x240", {"-pix_fmt", "yuv420p", "-profile:v", "baseline"}) ||
        !MakeMp4Clip(path("high.mp4"), 1, "320x240", {"-pix_fmt", "yuv420p"}) || !MakeVcdClip(path("clip.mpg"), 1))
        GTEST_SKIP() << "ffmpeg cannot make the clips here";
    // A recording whose writer stopped before its index: everything up to it.
    const QByteArray whole = ReadBytes(path("a.mp4"));
    WriteBytes(path("cut.MP4"), whole.left(whole.indexOf("moov") - 4));

    const struct {
        const char *first, *file, *says;
    } cases[] = {
        {"a.mp4", "cut.MP4", "cut.MP4 has no index (no 'moov' box)"},
        {"a.mp4", "small.mp4", "small.mp4 has 160×120 H.264 video; the first file has 320×240 H.264 video"},
        {"high.mp4", "base.mp4",
         "base.mp4 has H.264 video of the Baseline profile; the first file's is of the High "
         "profile"},
        {"a.mp4", "clip.mpg", "clip.mpg is not an MP4 or QuickTime file"},
    };
    for (const auto &c : cases) {
        Observer observer;
        const platform::EInOutError error = ErrorOf([&] {
            Join(path("out.mp4"), {Name(path(c.first)), Name(path(c.file))}, observer);
        });
        EXPECT_TRUE(error.Message().startsWith(QString::fromUtf8(c.says))) << error.Message().toStdString();
        if (!error.Details().isEmpty()) { // the file of another type is refused by its name alone
            EXPECT_EQ(error.Details(), path(c.file));
        }
        EXPECT_EQ(observer.created, 0);
        EXPECT_FALSE(QFile::exists(path("out.mp4")));
    }
}

// A stop leaves a movie of what was copied, with an index for it alone.
TEST_F(Mp4JoinTest, AStopLeavesAPlayableBeginning)
{
    const std::vector<FileName> chapters = CameraChapters();
    if (chapters.empty())
        GTEST_SKIP() << "ffmpeg cannot make camera chapters here";
    Observer counting;
    Join(path("whole.mp4"), {chapters[0]}, counting);
    Observer observer;
    observer.stopAfter = counting.blocks + 3; // a few blocks into the second chapter
    EXPECT_THROW(Join(path("ride.mp4"), chapters, observer), app::JoinStopped);
    const double length = Streams(path("ride.mp4"))[0].toObject().value("duration").toString().toDouble();
    EXPECT_GT(length, 3.0);
    EXPECT_LT(length, 6.0);
    const Ran decoded = Output("ffmpeg", {"-v", "error", "-i", path("ride.mp4"), "-f", "null", "-"});
    EXPECT_TRUE(decoded.ok && decoded.err.isEmpty()) << decoded.err.toStdString();

    // Over a file that existed, the same stop leaves that file whole.
    WriteBytes(path("old.mp4"), "kept");
    Observer again;
    again.stopAfter = observer.stopAfter;
    try {
        Join(path("old.mp4"), chapters, again);
        ADD_FAILURE() << "not stopped";
    } catch (const app::JoinStopped &stopped) {
        EXPECT_EQ(stopped.left, app::OutputLeft::AsBefore);
    }
    EXPECT_EQ(ReadBytes(path("old.mp4")), "kept");
}

#endif
