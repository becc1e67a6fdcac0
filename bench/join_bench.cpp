// SPDX-License-Identifier: GPL-3.0-or-later
// Join benchmark: the program's join (the join session with its worker,
// progress signals and core application, as the command line runs it)
// against `cat` on the same three files, in alternating pairs, each run in
// its own child process so wall time and peak memory are its own. Three
// cases: onto a new name, over an existing output of the same size (synced
// to disk first, as a file from yesterday would be), and from inputs on
// another file system (where the system cannot copy between the files).
//
//   join_bench [--size-mib N] [--runs N] [--dir FOLDER] [--other-dir FOLDER]
//   join_bench --join-child OUTPUT INPUT...   (internal: one join, prints its time)
//   join_bench --start-only                   (internal: starts and ends)
// --dir puts the files in FOLDER (default: the temporary folder); --other-dir
// holds the inputs of the third case (default: /dev/shm; the case is left out
// when it is on the same file system as --dir).
#include "core/JoinSession.h"
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
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
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

namespace {

// One way of joining, timed for both sides.
struct Case {
    const char *name;
    std::vector<std::string> inputs;
    std::string catOut, joinOut;
    bool existing; // the output is there, on disk, when each run starts
    std::vector<RunResult> cat, join;
};

// Clears the output's place before a run, outside the timing: removed for a
// new output; left and written to disk for an existing one.
void Prepare(const Case &c, const std::string &out)
{
    if (c.existing)
        ::sync();
    else
        Fresh(out);
}

double Ratio(const Case &c, bool alone)
{
    std::vector<double> cat, join;
    for (const RunResult &r : c.cat)
        cat.push_back(r.seconds);
    for (const RunResult &r : c.join)
        join.push_back(alone ? r.joinSeconds : r.seconds);
    return Median(join) / Median(cat);
}

bool SameFileSystem(const QString &a, const QString &b)
{
    struct stat sa {
    }, sb{};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev;
}

} // namespace

// The program itself, zantrope --join, against cat on inputs, as a person
// would time them: whole processes onto a new name, in alternating pairs,
// each after the disk settled when settleDisk says so; prints the medians
// and returns the ratio.
double ProgramAgainstCat(const char *name, const std::vector<std::string> &inputs, const std::string &catOut,
                         const std::string &joinOut, int runs, bool settleDisk = false)
{
    Contestant cat{{"cat"}, catOut, catOut, settleDisk}, join{{ZANTROPE_PROGRAM, "--join", joinOut}, joinOut};
    join.settleDisk = settleDisk;
    cat.args.insert(cat.args.end(), inputs.begin(), inputs.end());
    join.args.insert(join.args.end(), inputs.begin(), inputs.end());
    const auto [catRuns, joinRuns] =
        RunContest(cat, join, runs, false, [](int, const RunResult &, const RunResult &) {});
    try {
        RunChild({"cmp", catOut, joinOut}, "/dev/null", nullptr);
    } catch (const BenchFailure &) {
        throw BenchFailure{std::string("the program's output differs from cat's: ") + name};
    }
    Fresh(catOut);
    Fresh(joinOut);
    const std::vector<double> catSeconds = SecondsOf(catRuns), joinSeconds = SecondsOf(joinRuns);
    const double ratio = Median(joinSeconds) / Median(catSeconds);
    // The spread beside the median: where write-back of earlier runs moves
    // single runs by seconds, a median of a few pairs is no firm figure.
    const auto [catFastest, catSlowest] = std::minmax_element(catSeconds.begin(), catSeconds.end());
    const auto [joinFastest, joinSlowest] = std::minmax_element(joinSeconds.begin(), joinSeconds.end());
    std::printf("%s, the program: cat %.3f s (%.3f to %.3f), zantrope --join %.3f s (%.3f to %.3f); ratio %.2f "
                "(target <= 1.10)\n",
                name, Median(catSeconds), *catFastest, *catSlowest, Median(joinSeconds), *joinFastest, *joinSlowest,
                ratio);
    return ratio;
}

// What every whole-process figure includes before any byte moves: starting a
// process that loads the program's libraries (Qt Core and what it needs) and
// does nothing, beside starting true.
void StartUpFloor(const std::string &self, int runs)
{
    std::vector<double> bare, loaded;
    for (int r = 0; r < runs * 3; ++r)
        RunInTurn(
            r,
            [&] {
                bare.push_back(RunChild({"true", "--"}, "/dev/null", nullptr).seconds);
            },
            [&] {
                loaded.push_back(RunChild({self, "--start-only"}, "/dev/null", nullptr).seconds);
            });
    std::printf("start-up alone: true %.4f s, a process loading the program's libraries %.4f s\n", Median(bare),
                Median(loaded));
}

int main(int argc, char **argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "--join-child") == 0)
        return JoinChild(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "--start-only") == 0)
        return 0;

    long long sizeMiB = 256;
    // Pairs: each side goes first in every other one, as the second pays for
    // the first one's writeback; ten pairs give a median that holds on a busy
    // machine.
    long long runsGiven = 10;
    // The cases that were slower than cat: many small files, and a 4 GiB output.
    long long manyFiles = 1000, bigGiB = 2;
    QString folder = QDir::tempPath();
    QString otherFolder = QStringLiteral("/dev/shm");
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--other-dir") == 0) {
            otherFolder = QString::fromLocal8Bit(argv[i + 1]);
            // Read here; the common options go on without it.
            for (int j = i; j + 2 < argc; ++j)
                argv[j] = argv[j + 2];
            argc -= 2;
            break;
        }
    }
    if (!ReadOptions(argc, argv,
                     {{"--size-mib", &sizeMiB}, {"--runs", &runsGiven}, {"--many", &manyFiles}, {"--big-gib", &bigGiB}},
                     folder,
                     "join_bench [--size-mib N] [--runs N] [--many N] [--big-gib N] [--dir FOLDER] "
                     "[--other-dir FOLDER]"))
        return 2;
    const int runs = int(runsGiven);
    if (sizeMiB < 1 || runs < 1) {
        std::fprintf(stderr, "join_bench: size and runs must be positive\n");
        return 2;
    }

    const std::string self = SelfProgram(argv);
    const std::unique_ptr<QTemporaryDir> work = WorkFolder(folder, "join_bench");
    if (!work)
        return 2;
    const QTemporaryDir &dir = *work;
    std::unique_ptr<QTemporaryDir> other;
    if (!SameFileSystem(otherFolder, dir.path())) {
        other = std::make_unique<QTemporaryDir>(otherFolder + QStringLiteral("/join_bench-XXXXXX"));
        if (!other->isValid())
            other.reset();
    }
    try {
        const qint64 bytes = sizeMiB << 20;
        std::vector<std::string> inputs, smallInputs, otherInputs;
        std::printf("generating 3 inputs of %lld MiB in %s\n", static_cast<long long>(sizeMiB),
                    Local(dir.path()).c_str());
        for (int i = 0; i < 3; ++i) {
            const QString big = dir.filePath(QStringLiteral("in%1.mpg").arg(i));
            const QString small = dir.filePath(QStringLiteral("small%1.mpg").arg(i));
            WriteContent(platform::FileName::FromUtf8(big), bytes, quint64(i) + 1);
            WriteContent(platform::FileName::FromUtf8(small), std::max<qint64>(bytes / 16, 1), quint64(i) + 11);
            inputs.push_back(Local(big));
            smallInputs.push_back(Local(small));
            if (other) {
                const QString far = other->filePath(QStringLiteral("in%1.mpg").arg(i));
                WriteContent(platform::FileName::FromUtf8(far), bytes, quint64(i) + 1);
                otherInputs.push_back(Local(far));
            }
        }
        const std::string catOut = Local(dir.filePath(QStringLiteral("cat.out")));
        const std::string joinOut = Local(dir.filePath(QStringLiteral("join.out")));
        ::sync();

        // One warm-up of each, so the first timed run does not pay for loading
        // programs and libraries from disk; the first join's output is checked.
        auto catArgs = [](const std::vector<std::string> &files) {
            std::vector<std::string> args{"cat"};
            args.insert(args.end(), files.begin(), files.end());
            return args;
        };
        RunChild(catArgs(inputs), catOut, nullptr);
        RunJoin(self, joinOut, inputs);
        try {
            RunChild({"cmp", catOut, joinOut}, "/dev/null", nullptr);
        } catch (const BenchFailure &) {
            throw BenchFailure{"the join's output differs from cat's"};
        }
        std::printf("join output equals cat output byte for byte (%lld bytes)\n", static_cast<long long>(3 * bytes));

        std::vector<Case> cases{{"new output", inputs, catOut, joinOut, false, {}, {}},
                                {"existing output", inputs, catOut, joinOut, true, {}, {}}};
        if (other)
            cases.push_back({"inputs on another file system", otherInputs, catOut, joinOut, false, {}, {}});
        else
            std::printf("(no other file system at %s: that case is left out)\n", Local(otherFolder).c_str());
        for (int r = 0; r < runs; ++r) {
            for (Case &c : cases) {
                auto runCat = [&] {
                    Prepare(c, c.catOut);
                    c.cat.push_back(RunChild(catArgs(c.inputs), c.catOut, nullptr));
                };
                auto runJoin = [&] {
                    Prepare(c, c.joinOut);
                    c.join.push_back(RunJoin(self, c.joinOut, c.inputs));
                };
                RunInTurn(r, runCat, runJoin);
                std::printf("pair %d, %s: cat %.3f s, join %.3f s (join alone %.3f s)\n", r + 1, c.name,
                            c.cat.back().seconds, c.join.back().seconds, c.join.back().joinSeconds);
            }
        }
        Fresh(joinOut);
        const RunResult small = RunJoin(self, joinOut, smallInputs);
        Fresh(catOut);
        Fresh(joinOut);

        std::printf("\ninputs: 3 x %lld MiB, median of %d alternating pairs per case\n",
                    static_cast<long long>(sizeMiB), runs);
        for (const Case &c : cases) {
            std::vector<double> catTimes, joinTimes, joinAlone;
            for (const RunResult &r : c.cat)
                catTimes.push_back(r.seconds);
            for (const RunResult &r : c.join) {
                joinTimes.push_back(r.seconds);
                joinAlone.push_back(r.joinSeconds);
            }
            std::printf("%s: cat %.3f s, join %.3f s (%.0f MiB/s), the join alone %.3f s; "
                        "join/cat ratio %.2f as a whole process, %.2f alone (target <= 1.00)\n",
                        c.name, Median(catTimes), Median(joinTimes), double(3 * bytes) / (1 << 20) / Median(joinTimes),
                        Median(joinAlone), Ratio(c, false), Ratio(c, true));
        }
        std::printf("peak memory: cat %.1f MiB, join %.1f MiB; join with 3 x %lld KiB inputs: %.1f MiB\n",
                    MaxOf(cases[0].cat) / 1024.0, MaxOf(cases[0].join) / 1024.0,
                    static_cast<long long>(std::max<qint64>(bytes / 16, 1) >> 10), small.peakKiB / 1024.0);
        // The key line: whole processes, as a person would time them, onto a
        // new name; the join's own time beside it.
        std::printf("join/cat ratio: %.2f (the key figure: whole processes, new output; target <= 1.00); "
                    "the join alone: %.2f\n",
                    Ratio(cases[0], false), Ratio(cases[0], true));

        std::vector<std::string> many, big;
        for (int i = 0; i < manyFiles; ++i) {
            const QString name = dir.filePath(QStringLiteral("many%1.mpg").arg(i, 5, 10, QLatin1Char('0')));
            WriteContent(platform::FileName::FromUtf8(name), 4096, quint64(i) + 21);
            many.push_back(Local(name));
        }
        if (!many.empty()) {
            ProgramAgainstCat(QStringLiteral("%1 x 4 KiB").arg(manyFiles).toUtf8().constData(), many, catOut, joinOut,
                              runs);
            StartUpFloor(self, runs);
        }
        for (const std::string &name : many)
            ::unlink(name.c_str());
        for (int i = 0; i < 2 && bigGiB > 0; ++i) {
            const QString name = dir.filePath(QStringLiteral("big%1.mpg").arg(i));
            WriteContent(platform::FileName::FromUtf8(name), bigGiB << 30, quint64(i) + 31);
            big.push_back(Local(name));
        }
        if (!big.empty()) {
            ::sync();
            // Each run leaves gigabytes for the page cache to write back:
            // without a settled disk, a run's time is mostly the write-back
            // of the run before.
            ProgramAgainstCat(QStringLiteral("2 x %1 GiB").arg(bigGiB).toUtf8().constData(), big, catOut, joinOut,
                              std::min(runs, 5), true);
        }
        for (const std::string &name : big)
            Fresh(name);
        return 0;
    } catch (const BenchFailure &failure) {
        std::fprintf(stderr, "FAILED: %s\n", failure.what.c_str());
    } catch (const platform::Exception &e) {
        std::fprintf(stderr, "FAILED: %s\n", e.what());
    }
    return 1;
}
