// SPDX-License-Identifier: GPL-3.0-or-later
// Movie benchmark: "Join as One Movie" against `ffmpeg -f concat -safe 0
// -c copy` on the same 8 copies of a 60-s VCD clip, and the MP4 box join of
// three camera chapters of 512 MiB each against `cat` of the same files,
// and three Matroska segments of 200 MiB each against the same ffmpeg;
// alternating, each run in its own child process so wall time and peak
// memory are its own. The join is the program as it ships, zantrope --join
// --movie: run in this process, on its main thread, the allocator behaved
// otherwise and a Matroska join took five times as long as the program's.
//
//   movie_bench [--runs N] [--copies N] [--seconds N] [--chapter-mib N] [--segment-mib N] [--dir FOLDER]
#include "Child.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string Local(const QString &s) { return QFile::encodeName(s).toStdString(); }

// Three files for a case: the first made by ffmpeg from a few seconds of
// test picture and tone (lavfi), written with the given encoding arguments,
// and two copies of it, each read from its own place.
std::vector<std::string> ThreeFiles(const QTemporaryDir &dir, const std::vector<const char *> &names,
                                    const std::string &picture, const std::vector<std::string> &encoding)
{
    std::vector<std::string> files;
    for (const char *name : names)
        files.push_back(Local(dir.filePath(QString::fromLatin1(name))));
    std::vector<std::string> make{"ffmpeg",
                                  "-v",
                                  "error",
                                  "-nostdin",
                                  "-y",
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  picture,
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  "sine=sample_rate=48000",
                                  "-shortest"};
    make.insert(make.end(), encoding.begin(), encoding.end());
    make.push_back(files[0]);
    RunChild(make, "/dev/null", nullptr);
    for (size_t i = 1; i < files.size(); ++i)
        if (!QFile::copy(QString::fromStdString(files[0]), QString::fromStdString(files[i])))
            throw BenchFailure{"cannot copy " + files[0]};
    return files;
}

// Times the program's join of inputs against reference, printing each round
// as "run N: <referenceName> s, <joinName> s", then the medians and the key
// line "<joinName>/<referenceName> ratio".
void JoinAgainst(const std::vector<std::string> &inputs, const std::string &joinOut, const Contestant &reference,
                 const char *referenceName, const char *joinName, const char *what, int runs, double target)
{
    Contestant join{{ZANTROPE_PROGRAM, "--join", joinOut, "--movie"}, joinOut};
    join.args.insert(join.args.end(), inputs.begin(), inputs.end());
    ::sync();
    const auto [referenceRuns, joinRuns] =
        RunContest(reference, join, runs, true, [&](int r, const RunResult &theirs, const RunResult &ours) {
            std::printf("run %d: %s %.3f s, %s %.3f s\n", r + 1, referenceName, theirs.seconds, joinName, ours.seconds);
        });
    qint64 bytes = 0;
    for (const std::string &input : inputs)
        bytes += QFile(QString::fromStdString(input)).size();
    const double joinMedian = Median(SecondsOf(joinRuns)), referenceMedian = Median(SecondsOf(referenceRuns));
    std::printf("\ninputs: %s, %.1f MiB in all, %d runs each\n", what, bytes / 1048576.0, runs);
    std::printf("%s median: %.3f s; %s median: %.3f s (%.0f MiB/s)\n", referenceName, referenceMedian, joinName,
                joinMedian, bytes / 1048576.0 / joinMedian);
    std::printf("%s/%s ratio: %.2f (target <= %.2f)\n", joinName, referenceName, joinMedian / referenceMedian, target);
    Fresh(joinOut);
    Fresh(reference.output);
}

// Three chapters of chapterMib MiB (uncompressed 1080p picture and PCM
// sound in QuickTime files, made by ffmpeg), joined box by box against cat
// of the same files; the key line is "mp4 join/cat ratio".
void Mp4AgainstCat(const QTemporaryDir &dir, int runs, int chapterMib)
{
    const qint64 frameBytes = 1920 * 1080 * 2; // 4:2:2, which QuickTime carries uncompressed
    std::printf("\nmaking three %d-MiB MP4 chapters with ffmpeg\n", chapterMib);
    const std::vector<std::string> chapters =
        ThreeFiles(dir, {"GX010042.MOV", "GX020042.MOV", "GX030042.MOV"}, "testsrc2=size=1920x1080:rate=30",
                   {"-frames:v", std::to_string((qint64(chapterMib) << 20) / frameBytes + 1), "-c:v", "rawvideo",
                    "-pix_fmt", "uyvy422", "-c:a", "pcm_s16le"});
    const std::string catOut = Local(dir.filePath(QStringLiteral("cat.mov")));
    Contestant cat{{"cat"}, catOut, catOut};
    cat.args.insert(cat.args.end(), chapters.begin(), chapters.end());
    JoinAgainst(chapters, Local(dir.filePath(QStringLiteral("joined.mov"))), cat, "cat", "mp4 join", "3 MP4 chapters",
                runs, 1.10);
}

// Three Matroska segments of segmentMib MiB (raw pictures and Opus sound,
// made by ffmpeg, as a screen recorder splits by size), joined as one movie
// against `ffmpeg -f concat -c copy` to Matroska; the key line is
// "mkv join/ffmpeg ratio".
void MkvAgainstFfmpeg(const QTemporaryDir &dir, int runs, int segmentMib)
{
    const qint64 frameBytes = 640 * 480 * 3 / 2; // yuv420p
    std::printf("\nmaking three %d-MiB Matroska segments with ffmpeg\n", segmentMib);
    const std::vector<std::string> segments =
        ThreeFiles(dir, {"rec1.mkv", "rec2.mkv", "rec3.mkv"}, "testsrc2=size=640x480:rate=30",
                   {"-frames:v", std::to_string((qint64(segmentMib) << 20) / frameBytes + 1), "-c:v", "rawvideo",
                    "-pix_fmt", "yuv420p", "-c:a", "libopus"});
    QFile list(dir.filePath(QStringLiteral("segments.txt")));
    if (!list.open(QIODevice::WriteOnly))
        throw BenchFailure{"cannot write the concat list"};
    for (const std::string &segment : segments)
        list.write("file '" + QByteArray::fromStdString(segment) + "'\n");
    list.close();
    const std::string ffmpegOut = Local(dir.filePath(QStringLiteral("ffmpeg.mkv")));
    const Contestant ffmpeg{{"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "concat", "-safe", "0", "-i",
                             Local(list.fileName()), "-c", "copy", ffmpegOut},
                            ffmpegOut};
    JoinAgainst(segments, Local(dir.filePath(QStringLiteral("joined.mkv"))), ffmpeg, "ffmpeg", "mkv join",
                "3 Matroska segments", runs, 1.00);
}

} // namespace

int main(int argc, char **argv)
{
    long long runsGiven = 6; // even: each side goes first as often as second
    long long copiesGiven = 8, secondsGiven = 60, chapterMibGiven = 512, segmentMibGiven = 200;
    QString folder = QDir::tempPath();
    if (!ReadOptions(argc, argv,
                     {{"--runs", &runsGiven},
                      {"--copies", &copiesGiven},
                      {"--seconds", &secondsGiven},
                      {"--chapter-mib", &chapterMibGiven},
                      {"--segment-mib", &segmentMibGiven}},
                     folder,
                     "movie_bench [--runs N] [--copies N] [--seconds N] [--chapter-mib N] [--segment-mib N] "
                     "[--dir FOLDER]"))
        return 2;
    const int runs = int(runsGiven), copies = int(copiesGiven), seconds = int(secondsGiven);
    if (runs < 1 || copies < 2 || seconds < 1 || chapterMibGiven < 1 || segmentMibGiven < 1) {
        std::fprintf(stderr,
                     "movie_bench: runs, copies (2 or more), seconds, chapter-mib and segment-mib must be positive\n");
        return 2;
    }
    const std::unique_ptr<QTemporaryDir> work = WorkFolder(folder, "movie_bench");
    if (!work)
        return 2;
    const QTemporaryDir &dir = *work;
    try {
        std::printf("making a %d-s VCD clip with ffmpeg in %s\n", seconds, Local(dir.path()).c_str());
        const std::string clip = Local(dir.filePath(QStringLiteral("clip.mpg")));
        const std::string length = std::to_string(seconds);
        RunChild({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                  "testsrc=size=352x240:rate=30000/1001:duration=" + length, "-f", "lavfi", "-i",
                  "sine=frequency=440:sample_rate=44100:duration=" + length, "-target", "ntsc-vcd", clip},
                 "/dev/null", nullptr);
        // Copies, not one file listed again: each is read from its own place.
        std::vector<std::string> inputs, smallInputs;
        QFile list(dir.filePath(QStringLiteral("list.txt")));
        if (!list.open(QIODevice::WriteOnly))
            throw BenchFailure{"cannot write the concat list"};
        for (int i = 0; i < copies; ++i) {
            const QString copy = dir.filePath(QStringLiteral("copy%1.mpg").arg(i));
            if (!QFile::copy(QString::fromStdString(clip), copy))
                throw BenchFailure{"cannot copy the clip"};
            inputs.push_back(Local(copy));
            if (i < 2)
                smallInputs.push_back(Local(copy));
            list.write("file '" + QFile::encodeName(copy) + "'\n");
        }
        list.close();
        const std::string joinOut = Local(dir.filePath(QStringLiteral("movie.mpg")));
        const std::string ffmpegOut = Local(dir.filePath(QStringLiteral("ffmpeg.mpg")));
        Contestant join{{ZANTROPE_PROGRAM, "--join", joinOut, "--movie"}, joinOut};
        join.args.insert(join.args.end(), inputs.begin(), inputs.end());
        // The same muxer on both sides: the one the join picks for VCD clips.
        const Contestant ffmpeg{{"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "concat", "-safe", "0", "-i",
                                 Local(list.fileName()), "-c", "copy", "-f", "vcd", ffmpegOut},
                                ffmpegOut};
        ::sync();
        const auto [ffmpegRuns, joinRuns] =
            RunContest(ffmpeg, join, runs, true, [](int r, const RunResult &ffmpegRun, const RunResult &joinRun) {
                std::printf("run %d: ffmpeg %.3f s, movie %.3f s\n", r + 1, ffmpegRun.seconds, joinRun.seconds);
            });
        const qint64 joinedBytes = QFile(QString::fromStdString(joinOut)).size();
        const qint64 ffmpegBytes = QFile(QString::fromStdString(ffmpegOut)).size();
        Fresh(joinOut);
        std::vector<std::string> smallArgs{ZANTROPE_PROGRAM, "--join", joinOut, "--movie"};
        smallArgs.insert(smallArgs.end(), smallInputs.begin(), smallInputs.end());
        const RunResult small = RunChild(smallArgs, "/dev/null", nullptr);

        const double ffmpegMedian = Median(SecondsOf(ffmpegRuns)), joinMedian = Median(SecondsOf(joinRuns));
        const qint64 inputBytes = QFile(QString::fromStdString(clip)).size() * copies;
        std::printf("\ninputs: %d x %d-s VCD clip, %.1f MiB in all, %d runs each\n", copies, seconds,
                    inputBytes / 1048576.0, runs);
        std::printf("outputs: movie %.1f MiB, ffmpeg %.1f MiB\n", joinedBytes / 1048576.0, ffmpegBytes / 1048576.0);
        std::printf("ffmpeg concat median: %.3f s, peak memory %.1f MiB\n", ffmpegMedian, MaxOf(ffmpegRuns) / 1024.0);
        std::printf("movie join    median: %.3f s (%.0f MiB/s), peak memory %.1f MiB\n", joinMedian,
                    inputBytes / 1048576.0 / joinMedian, MaxOf(joinRuns) / 1024.0);
        std::printf("movie join peak memory with 2 clips: %.1f MiB (%d clips: %.1f MiB)\n", small.peakKiB / 1024.0,
                    copies, MaxOf(joinRuns) / 1024.0);
        std::printf("movie/ffmpeg ratio: %.2f (target <= 1.00)\n", joinMedian / ffmpegMedian);
        Fresh(joinOut);
        Fresh(ffmpegOut);
        Mp4AgainstCat(dir, runs, int(chapterMibGiven));
        MkvAgainstFfmpeg(dir, runs, int(segmentMibGiven));
        return 0;
    } catch (const BenchFailure &failure) {
        std::fprintf(stderr, "FAILED: %s\n", failure.what.c_str());
    }
    return 1;
}
