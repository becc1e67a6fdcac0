// SPDX-License-Identifier: GPL-3.0-or-later
// Join benchmark: the program's join (engine, progress counting, event pump,
// core application) against `cat` on the same three files, alternating,
// each run in its own child process so wall time and peak memory are its own.
//
//   join_bench [--size-mib N] [--runs N] [--pump-ms N] [--dir FOLDER]
//   join_bench --join-child PUMP_MS OUTPUT INPUT...   (internal: one join, prints its time)
// --dir puts the files in FOLDER (default: the temporary folder). --pump-ms sets the pump's interval (default the
// window's: 4 ms; 0 pumps at every call).
#include "app/core/EventPump.h"
#include "app/core/JoinEngine.h"
#include "platform/File.h"

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

// Behaves as the main window does during a join: keeps the two progress bars'
// numbers and pumps events through the same throttled pump.
class WindowLikeObserver : public app::JoinObserver {
public:
    explicit WindowLikeObserver(int pumpMs) : pump_(pumpMs) {}
    void OutputCreated() override { filesDone_ = 0; }
    void FileStarted(int, qint64 size) override
    {
        fileMax_ = size;
        filePosition_ = 0;
    }
    void BlockCopied(int, qint64 got) override
    {
        filePosition_ += got;
        total_ += got;
    }
    void FileFinished(int) override
    {
        filePosition_ = 0;
        ++filesDone_;
    }
    bool StopRequested() override
    {
        pump_.Pump();
        return false;
    }
    qint64 Total() const { return total_; }

private:
    app::EventPump pump_;
    qint64 fileMax_ = 0;
    qint64 filePosition_ = 0;
    int filesDone_ = 0;
    qint64 total_ = 0;
};

int JoinChild(int argc, char **argv)
{
    int qtArgc = 1;
    QCoreApplication application(qtArgc, argv);
    std::vector<platform::FileName> inputs;
    for (int i = 4; i < argc; ++i)
        inputs.push_back(platform::FileName(argv[i]));
    const int pumpMs = std::atoi(argv[2]);
    WindowLikeObserver observer(pumpMs < 0 ? 4 : pumpMs);
    const auto start = Clock::now();
    try {
        app::JoinEngine().Join(platform::FileName(argv[3]), inputs, observer);
    } catch (const platform::Exception &e) {
        std::fprintf(stderr, "join failed: %s\n", e.what());
        return 1;
    }
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
    std::printf("%lld %lld\n", static_cast<long long>(ns), static_cast<long long>(observer.Total()));
    return 0;
}

struct RunResult {
    double seconds = 0;     // the child process from fork to exit
    double joinSeconds = 0; // the join alone, as the child measured it (join runs only)
    long peakKiB = 0;
};

// A failed step; main reports it and still removes the temporary files.
struct BenchFailure {
    std::string what;
};

[[noreturn]] void Die(const char *what) { throw BenchFailure{std::string(what) + ": " + std::strerror(errno)}; }

// Runs argv[0] with stdout redirected to outFile (or to a pipe read into
// captured when outFile is empty); returns timing and peak memory.
RunResult RunChild(const std::vector<std::string> &args, const std::string &outFile, std::string *captured)
{
    int pipeFds[2] = {-1, -1};
    if (outFile.empty() && ::pipe(pipeFds) != 0)
        Die("pipe");
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid < 0)
        Die("fork");
    if (pid == 0) {
        const int fd = outFile.empty() ? pipeFds[1] : ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0)
            ::_exit(126);
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (pipeFds[1] >= 0)
        ::close(pipeFds[1]);
    if (captured && pipeFds[0] >= 0) {
        char chunk[256];
        ssize_t n;
        while ((n = ::read(pipeFds[0], chunk, sizeof chunk)) > 0)
            captured->append(chunk, size_t(n));
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) < 0)
        Die("wait4");
    RunResult result;
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.peakKiB = usage.ru_maxrss;
    if (pipeFds[0] >= 0)
        ::close(pipeFds[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw BenchFailure{args[0] + " " + args[1] + " ended with status " + std::to_string(status)};
    return result;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

long MaxOf(const std::vector<RunResult> &runs)
{
    long peak = 0;
    for (const RunResult &r : runs)
        peak = std::max(peak, r.peakKiB);
    return peak;
}

std::string Local(const QString &s) { return QFile::encodeName(s).toStdString(); }

RunResult RunJoin(const std::string &self, int pumpMs, const std::string &out, const std::vector<std::string> &inputs)
{
    std::vector<std::string> args{self, "--join-child", std::to_string(pumpMs), out};
    args.insert(args.end(), inputs.begin(), inputs.end());
    std::string report;
    RunResult r = RunChild(args, {}, &report);
    long long ns = 0, total = 0;
    if (std::sscanf(report.c_str(), "%lld %lld", &ns, &total) != 2)
        throw BenchFailure{"the join child reported nothing"};
    r.joinSeconds = double(ns) / 1e9;
    return r;
}

// Removes the previous output outside the timing, so neither side pays for
// truncating the other's dirty pages.
void Fresh(const std::string &path)
{
    ::unlink(path.c_str());
    ::sync();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 5 && std::strcmp(argv[1], "--join-child") == 0)
        return JoinChild(argc, argv);

    qint64 sizeMiB = 256;
    int runs = 6; // even: each side goes second as often as first, and the second pays the first one's writeback
    int pumpMs = -1;
    QString folder = QDir::tempPath();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--size-mib") == 0 && i + 1 < argc)
            sizeMiB = std::atoll(argv[++i]);
        else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
            folder = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--pump-ms") == 0 && i + 1 < argc)
            pumpMs = std::max(0, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: join_bench [--size-mib N] [--runs N] [--pump-ms N] [--dir FOLDER]\n");
            return 2;
        }
    }
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
        RunJoin(self, pumpMs, joinOut, inputs);
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
                joinRuns.push_back(RunJoin(self, pumpMs, joinOut, inputs));
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
        const RunResult small = RunJoin(self, pumpMs, joinOut, smallInputs);
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
