// SPDX-License-Identifier: GPL-3.0-or-later
// Join benchmark: the program's join (the join session with its worker,
// progress signals and core application, as the command line runs it)
// against `cat` on the same three files, alternating, each run in its own
// child process so wall time and peak memory are its own.
//
//   join_bench [--size-mib N] [--runs N] [--dir FOLDER]
//   join_bench --join-child OUTPUT INPUT...   (internal: one join, prints its time)
// --dir puts the files in FOLDER (default: the temporary folder).
#include "app/core/JoinSession.h"
#include "platform/File.h"

#include "Child.h"
#include "Content.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int JoinChild(int argc, char **argv)
{
    int qtArgc = 1;
    QCoreApplication application(qtArgc, argv);
    app::JoinSession session;
    std::vector<platform::FileName> inputs;
    for (int i = 3; i < argc; ++i)
        inputs.push_back(platform::FileName(argv[i]));
    session.Append(inputs);
    session.SetOutput(platform::FileName(argv[2]));
    // Counts what the window's bars would show.
    qint64 total = 0;
    QObject::connect(&session, &app::JoinSession::bytesCopied, [&](int, qint64 bytes) { total += bytes; });
    int status = 0;
    QObject::connect(&session, &app::JoinSession::finished,
                     [&](app::JoinSession::Work, app::JoinSession::Outcome outcome, std::exception_ptr error) {
                         if (outcome != app::JoinSession::Outcome::Done) {
                             try {
                                 if (error)
                                     std::rethrow_exception(error);
                             } catch (const platform::Exception &e) {
                                 std::fprintf(stderr, "join failed: %s\n", e.what());
                             }
                             status = 1;
                         }
                         QCoreApplication::quit();
                     });
    const auto start = Clock::now();
    session.Join();
    QCoreApplication::exec();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
    std::printf("%lld %lld\n", static_cast<long long>(ns), static_cast<long long>(total));
    return status;
}

std::string Local(const QString &s) { return QFile::encodeName(s).toStdString(); }

RunResult RunJoin(const std::string &self, const std::string &out, const std::vector<std::string> &inputs)
{
    std::vector<std::string> args{self, "--join-child", out};
    args.insert(args.end(), inputs.begin(), inputs.end());
    std::string report;
    RunResult r = RunChild(args, {}, &report);
    long long ns = 0, total = 0;
    if (std::sscanf(report.c_str(), "%lld %lld", &ns, &total) != 2)
        throw BenchFailure{"the join child reported nothing"};
    r.joinSeconds = double(ns) / 1e9;
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "--join-child") == 0)
        return JoinChild(argc, argv);

    long long sizeMiB = 256;
    long long runsGiven =
        6; // even: each side goes second as often as first, and the second pays the first one's writeback
    QString folder = QDir::tempPath();
    if (!ReadOptions(argc, argv, {{"--size-mib", &sizeMiB}, {"--runs", &runsGiven}}, folder,
                     "join_bench [--size-mib N] [--runs N] [--dir FOLDER]"))
        return 2;
    const int runs = int(runsGiven);
    if (sizeMiB < 1 || runs < 1) {
        std::fprintf(stderr, "join_bench: size and runs must be positive\n");
        return 2;
    }

    const std::string self = QFile::encodeName(QString::fromLocal8Bit(argv[0])).toStdString();
    QTemporaryDir dir(folder + QStringLiteral("/join_bench-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "join_bench: cannot create a temporary folder\n");
        return 2;
    }
    try {
        const qint64 bytes = sizeMiB << 20;
        std::vector<std::string> inputs, smallInputs;
        std::printf("generating 3 inputs of %lld MiB in %s\n", static_cast<long long>(sizeMiB),
                    Local(dir.path()).c_str());
        for (int i = 0; i < 3; ++i) {
            const QString big = dir.filePath(QStringLiteral("in%1.mpg").arg(i));
            const QString small = dir.filePath(QStringLiteral("small%1.mpg").arg(i));
            WriteContent(platform::FileName::FromUtf8(big), bytes, quint64(i) + 1);
            WriteContent(platform::FileName::FromUtf8(small), std::max<qint64>(bytes / 16, 1), quint64(i) + 11);
            inputs.push_back(Local(big));
            smallInputs.push_back(Local(small));
        }
        const std::string catOut = Local(dir.filePath(QStringLiteral("cat.out")));
        const std::string joinOut = Local(dir.filePath(QStringLiteral("join.out")));
        ::sync();

        // One warm-up of each, so the first timed run does not pay for loading
        // programs and libraries from disk; the first join's output is checked.
        std::vector<std::string> catArgs{"cat"};
        catArgs.insert(catArgs.end(), inputs.begin(), inputs.end());
        RunChild(catArgs, catOut, nullptr);
        RunJoin(self, joinOut, inputs);
        try {
            RunChild({"cmp", catOut, joinOut}, "/dev/null", nullptr);
        } catch (const BenchFailure &) {
            throw BenchFailure{"the join's output differs from cat's"};
        }
        std::printf("join output equals cat output byte for byte (%lld bytes)\n", static_cast<long long>(3 * bytes));

        std::vector<RunResult> catRuns, joinRuns;
        for (int r = 0; r < runs; ++r) {
            // Each side goes first in every other run: the file system's work
            // left over from deleting the previous output falls on whoever
            // writes next, and must not always be the same side.
            auto runCat = [&] {
                Fresh(catOut);
                catRuns.push_back(RunChild(catArgs, catOut, nullptr));
            };
            auto runJoin = [&] {
                Fresh(joinOut);
                joinRuns.push_back(RunJoin(self, joinOut, inputs));
            };
            if (r % 2 == 0) {
                runCat();
                runJoin();
            } else {
                runJoin();
                runCat();
            }
            std::printf("run %d: cat %.3f s, join %.3f s (join alone %.3f s)\n", r + 1, catRuns.back().seconds,
                        joinRuns.back().seconds, joinRuns.back().joinSeconds);
        }
        Fresh(joinOut);
        const RunResult small = RunJoin(self, joinOut, smallInputs);
        Fresh(catOut);
        Fresh(joinOut);

        std::vector<double> catTimes, joinTimes, joinAlone;
        for (const RunResult &r : catRuns)
            catTimes.push_back(r.seconds);
        for (const RunResult &r : joinRuns) {
            joinTimes.push_back(r.seconds);
            joinAlone.push_back(r.joinSeconds);
        }
        const double catMedian = Median(catTimes);
        const double joinMedian = Median(joinTimes);
        const double throughput = double(3 * bytes) / (1 << 20) / joinMedian;
        std::printf("\ninputs: 3 x %lld MiB, %d runs each\n", static_cast<long long>(sizeMiB), runs);
        std::printf("cat  median: %.3f s, peak memory %.1f MiB\n", catMedian, MaxOf(catRuns) / 1024.0);
        std::printf("join median: %.3f s (%.0f MiB/s; the join alone %.3f s), peak memory %.1f MiB\n", joinMedian,
                    throughput, Median(joinAlone), MaxOf(joinRuns) / 1024.0);
        std::printf("join peak memory with 3 x %lld KiB inputs: %.1f MiB (3 x %lld MiB: %.1f MiB)\n",
                    static_cast<long long>(std::max<qint64>(bytes / 16, 1) >> 10), small.peakKiB / 1024.0,
                    static_cast<long long>(sizeMiB), MaxOf(joinRuns) / 1024.0);
        // Whole processes on both sides, as a person would time them; the
        // join's own time beside it.
        std::printf("join/cat ratio: %.2f (target <= 1.00); the join alone: %.2f\n", joinMedian / catMedian,
                    Median(joinAlone) / catMedian);
        return 0;
    } catch (const BenchFailure &failure) {
        std::fprintf(stderr, "FAILED: %s\n", failure.what.c_str());
    } catch (const platform::Exception &e) {
        std::fprintf(stderr, "FAILED: %s\n", e.what());
    }
    return 1;
}
