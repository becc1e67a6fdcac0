// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Running a benchmark's contestants as child processes, each with its own
// wall time and peak memory, and summing the runs up.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include <QFile>
#include <QString>
#include <QTemporaryDir>

using Clock = std::chrono::steady_clock;

struct RunResult {
    double seconds = 0;     // the child process from fork to exit
    double joinSeconds = 0; // the join alone, as the child measured it (join runs only)
    long peakKiB = 0;
};

// A failed step; main reports it and still removes the temporary files.
struct BenchFailure {
    std::string what;
};

[[noreturn]] inline void Die(const char *what) { throw BenchFailure{std::string(what) + ": " + std::strerror(errno)}; }

// In a forked child: becomes the program args name, found on the PATH.
[[noreturn]] inline void ExecArgs(const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

// Runs argv[0] with stdout redirected to outFile (or to a pipe read into
// captured when outFile is empty); returns timing and peak memory.
inline RunResult RunChild(const std::vector<std::string> &args, const std::string &outFile, std::string *captured)
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
        ExecArgs(args);
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

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline long MaxOf(const std::vector<RunResult> &runs)
{
    long peak = 0;
    for (const RunResult &r : runs)
        peak = std::max(peak, r.peakKiB);
    return peak;
}

// Removes the previous output outside the timing, so neither side pays for
// truncating the other's dirty pages.
inline void Fresh(const std::string &path)
{
    ::unlink(path.c_str());
    ::sync();
}

// A numeric option of a benchmark, "--name N".
struct NumberOption {
    const char *name;
    long long *value;
};

// Reads the numeric options and "--dir FOLDER"; prints usage and returns
// false for anything else.
inline bool ReadOptions(int argc, char **argv, std::initializer_list<NumberOption> numbers, QString &folder,
                        const char *usage)
{
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--dir") == 0 && hasValue) {
            folder = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        const auto option = std::find_if(numbers.begin(), numbers.end(), [&](const NumberOption &o) {
            return hasValue && std::strcmp(argv[i], o.name) == 0;
        });
        if (option == numbers.end()) {
            std::fprintf(stderr, "usage: %s\n", usage);
            return false;
        }
        *option->value = std::atoll(argv[++i]);
    }
    return true;
}

// Runs a contestant pair of round r, each going first every other round, so
// that neither always finds the caches as the other left them.
template <typename First, typename Second>
void RunInTurn(int r, First first, Second second)
{
    if (r % 2 == 0) {
        first();
        second();
    } else {
        second();
        first();
    }
}

// One side of a timed pair: a command, and the file it writes, removed
// before each run (stdoutFile takes its standard output; cat writes so).
// With settleDisk, the disk is brought up to date before each run, so that
// no run of gigabytes pays for the write-back of the one before.
struct Contestant {
    std::vector<std::string> args;
    std::string output;
    std::string stdoutFile = "/dev/null";
    bool settleDisk = false;
};

// Runs the reference and the contender in alternating pairs, runs times
// each; with warmUp, first one untimed run of each, so no timed run pays
// for loading the programs or the inputs' pages. Calls eachRound(r) after
// round r, for what a benchmark prints as it goes.
template <typename EachRound>
std::pair<std::vector<RunResult>, std::vector<RunResult>>
RunContest(const Contestant &reference, const Contestant &contender, int runs, bool warmUp, EachRound eachRound)
{
    auto run = [](const Contestant &c) {
        Fresh(c.output);
        if (c.settleDisk)
            ::sync();
        return RunChild(c.args, c.stdoutFile, nullptr);
    };
    if (warmUp) {
        run(reference);
        run(contender);
    }
    std::vector<RunResult> references, contenders;
    for (int r = 0; r < runs; ++r) {
        RunInTurn(
            r, [&] { references.push_back(run(reference)); }, [&] { contenders.push_back(run(contender)); });
        eachRound(r, references.back(), contenders.back());
    }
    return {references, contenders};
}

inline std::vector<double> SecondsOf(const std::vector<RunResult> &runs)
{
    std::vector<double> seconds;
    for (const RunResult &r : runs)
        seconds.push_back(r.seconds);
    return seconds;
}

// The benchmark's own program, for its children, as the bytes of its name.
inline std::string SelfProgram(char **argv) { return QFile::encodeName(QString::fromLocal8Bit(argv[0])).toStdString(); }

// A folder of its own under folder for the benchmark called bench; none,
// after saying so, when it cannot be made.
inline std::unique_ptr<QTemporaryDir> WorkFolder(const QString &folder, const char *bench)
{
    auto dir =
        std::make_unique<QTemporaryDir>(folder + QLatin1Char('/') + QLatin1String(bench) + QStringLiteral("-XXXXXX"));
    if (dir->isValid())
        return dir;
    std::fprintf(stderr, "%s: cannot create a temporary folder\n", bench);
    return nullptr;
}
