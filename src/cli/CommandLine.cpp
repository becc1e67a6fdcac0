// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <utility>
#ifdef _WIN32
#include <windows.h>
#else
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "core/JoinProgress.h"
#include "platform/Exceptions.h"

namespace app {

using platform::FileName;

namespace {

// How often the progress line on a terminal changes.
constexpr qint64 ProgressIntervalMs = 200;

void Print(FILE *to, const QString &text)
{
#ifdef _WIN32
    // A console shows every name as it is; the code page would turn what it
    // lacks into "?".
    const HANDLE console = GetStdHandle(to == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode)) {
        std::fflush(to);
        DWORD written = 0;
        WriteConsoleW(console, text.utf16(), DWORD(text.size()), &written, nullptr);
        return;
    }
#endif
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to);
    std::fflush(to);
}

// What went wrong, with the file it concerns: "NAME: reason".
QString ErrorLine(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const platform::Exception &e) {
        return e.Details().isEmpty() ? e.Message() : e.Details() + QStringLiteral(": ") + e.Message();
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

// What a stop left, naming the output.
QString StopLine(const JoinResult &result)
{
    const QString output = result.plan.output.Display();
    switch (result.left) {
    case OutputLeft::Prefix: return QStringLiteral("stopped; %1 holds what was joined").arg(output);
    case OutputLeft::AsBefore: return QStringLiteral("stopped; %1 was left as it was before the join").arg(output);
    case OutputLeft::Nothing: return QStringLiteral("stopped before %1 was written").arg(output);
    }
    return {};
}

#ifdef _WIN32

// Whether standard error is a console that shows the progress line; the line
// redraws itself with an escape sequence, which the console is asked to take.
bool ProgressTerminal()
{
    const HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(console, &mode) && SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

// Ctrl-C arrives on a thread of its own; the join is stopped on the loop's.
JoinSession *interrupted = nullptr;
std::atomic<bool> interruptedOnce = false;
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT || !interrupted || interruptedOnce.exchange(true))
        return FALSE; // the system's own handling: the program ends at once
    JoinSession *session = interrupted;
    QMetaObject::invokeMethod(
        session, [session] { session->Stop(); }, Qt::QueuedConnection);
    return TRUE;
}

#else

bool ProgressTerminal() { return ::isatty(STDERR_FILENO) == 1; }

// Ctrl-C, turned into an event of the loop: the handler may only write to a pipe.
int interruptPipe[2] = {-1, -1};
extern "C" void OnInterrupt(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(interruptPipe[1], &byte, 1);
}

#endif

} // namespace

ProgramArguments::ProgramArguments(int argc, char **argv)
{
#ifdef _WIN32
    int n = 0;
    if (wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &n)) {
        for (int i = 0; i < n; ++i)
            words_.push_back(platform::NameFromNative(wide[i]).Bytes());
        LocalFree(wide);
    }
    if (words_.empty())
#endif
        for (int i = 0; i < argc; ++i)
            words_.emplace_back(argv[i]);
    for (QByteArray &word : words_)
        values_.push_back(word.data());
    values_.push_back(nullptr);
    count_ = int(words_.size());
}

void UseParentConsole()
{
#ifdef _WIN32
    // Attached also where the streams were redirected: Ctrl-C in that
    // console then reaches the join.
    const bool outMissing = !GetStdHandle(STD_OUTPUT_HANDLE), errMissing = !GetStdHandle(STD_ERROR_HANDLE);
    if (!GetConsoleWindow() && AttachConsole(ATTACH_PARENT_PROCESS) && (outMissing || errMissing)) {
        // Both the C streams and the handles that Print asks for.
        const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, 0, nullptr);
        if (outMissing) {
            std::freopen("CONOUT$", "w", stdout);
            SetStdHandle(STD_OUTPUT_HANDLE, console);
        }
        if (errMissing) {
            std::freopen("CONOUT$", "w", stderr);
            SetStdHandle(STD_ERROR_HANDLE, console);
        }
    }
#endif
}

const std::vector<JoinMode> &JoinModes()
{
    static const std::vector<JoinMode> modes = {
        {"--join",
         "  --join OUTPUT INPUT...\n"
         "      joins the inputs byte for byte, in the order given, into OUTPUT\n",
         MovieChoice::Off},
        {"--movie",
         "  --movie    with --join: joins as one movie, without re-encoding, so that\n"
         "             players show the whole length and can seek (a .dat OUTPUT\n"
         "             is written as .mpg); files of different formats are refused\n",
         MovieChoice::Option},
    };
    return modes;
}

CommandLineRequest ParseCommandLine(int argc, char **argv)
{
    CommandLineRequest request;
    std::vector<FileName> names;
    bool optionsEnded = false, join = false;
    QString unknown;
    for (int i = 1; i < argc; ++i) {
        const QByteArray word(argv[i]);
        if (optionsEnded || !word.startsWith('-') || word == "-") {
            names.emplace_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word == "--help" || word == "-h" || word == "--version") {
            request.action =
                word == "--version" ? CommandLineRequest::Action::Version : CommandLineRequest::Action::Help;
            return request;
        }
        const auto mode =
            std::find_if(JoinModes().begin(), JoinModes().end(), [&](const JoinMode &m) { return word == m.option; });
        if (mode == JoinModes().begin())
            join = true;
        else if (mode != JoinModes().end())
            request.movie = mode->movie;
        else if (unknown.isEmpty()) // it may be an option of Qt's for the window
            unknown = QString::fromLocal8Bit(word);
    }
    const char *joinOption = JoinModes().front().option;
    if (!join && request.movie != MovieChoice::Off) {
        request.action = CommandLineRequest::Action::Usage;
        request.problem = QStringLiteral("--movie goes with %1").arg(QLatin1String(joinOption));
        return request;
    }
    if (!join)
        return {};
    if (!unknown.isEmpty()) {
        request.action = CommandLineRequest::Action::Usage;
        request.problem = QStringLiteral("unknown option %1").arg(unknown);
    } else if (names.size() < 2) {
        request.action = CommandLineRequest::Action::Usage;
        request.problem = QStringLiteral("%1 needs an output and at least one input").arg(QLatin1String(joinOption));
    } else {
        request.action = CommandLineRequest::Action::Join;
        request.output = names.front();
        request.inputs.assign(names.begin() + 1, names.end());
    }
    return request;
}

QString UsageText()
{
    QString text = QStringLiteral("Usage: zantrope [FILE | FOLDER]...\n"
                                  "       zantrope --join OUTPUT [--movie] INPUT...\n\n"
                                  "Without options, opens the window with the files and folders given.\n\n");
    for (const JoinMode &mode : JoinModes())
        text += QLatin1String(mode.usage);
    text += QStringLiteral("  --help     shows this text\n"
                           "  --version  shows the version\n"
                           "  --         every word after it is a file name\n\n"
                           "A join needs no display. It refuses an output that is one of the inputs and\n"
                           "inputs that are no regular files; after an error or Ctrl-C a new output\n"
                           "holds exactly what was joined, and one that existed is left as it was.\n"
                           "Exit status: 0 joined, 1 failed, 2 wrong command line, 130 stopped by Ctrl-C.\n");
    return text;
}

QString VersionText() { return QStringLiteral("zantrope %1\n").arg(QStringLiteral(ZANTROPE_VERSION)); }

int RunCommandLineJoin(const CommandLineRequest &request)
{
    JoinSession session;
    session.SetMovieChoice(request.movie);
    session.Append(request.inputs);
    session.SetOutput(request.output);

    const bool terminal = ProgressTerminal();
    JoinProgress progress;
    QElapsedTimer clock;
    clock.start();
    qint64 shownMs = -ProgressIntervalMs;
    auto show = [&](bool now) {
        const qint64 ms = clock.elapsed();
        if (!terminal || (!now && ms - shownMs < ProgressIntervalMs))
            return;
        shownMs = ms;
        Print(stderr, QStringLiteral("\r%1% \u00b7 %2\033[K").arg(progress.Percent()).arg(progress.Details(ms)));
    };
    // With the session as context, the news of the join's worker arrives
    // here, on this thread, as it does in the window.
    QObject::connect(&session, &JoinSession::joinStarted, &session, [&](int files, qint64 total) {
        progress.Start(files, total, clock.elapsed());
        show(true);
    });
    QObject::connect(&session, &JoinSession::fileStarted, &session,
                     [&](int index, qint64) { progress.FileStarted(index); });
    QObject::connect(&session, &JoinSession::bytesCopied, &session, [&](int, qint64 bytes) {
        progress.Copied(bytes);
        show(false);
    });
    int status = 0;
    QObject::connect(
        &session, &JoinSession::finished, &session,
        [&](JoinSession::Work, JoinSession::Outcome outcome, std::exception_ptr error, const JoinResult &result) {
            if (terminal && shownMs >= 0) {
                show(true);
                Print(stderr, QStringLiteral("\n"));
            }
            if (outcome == JoinSession::Outcome::Failed) {
                Print(stderr, QStringLiteral("zantrope: %1\n").arg(ErrorLine(error)));
                status = ExitFailed;
            } else if (outcome == JoinSession::Outcome::Stopped) {
                Print(stderr, QStringLiteral("zantrope: %1\n").arg(StopLine(result)));
                status = ExitStopped;
            }
            QCoreApplication::exit(status);
        });

    // Ctrl-C stops the join at its next block; a second one ends the program at once.
#ifdef _WIN32
    interrupted = &session;
    interruptedOnce = false;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    session.Join();
    const int exitStatus = QCoreApplication::exec();
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    interrupted = nullptr;
    return exitStatus;
#else
    QSocketNotifier *interrupt = nullptr;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, interruptPipe) == 0) {
        interrupt = new QSocketNotifier(interruptPipe[0], QSocketNotifier::Read, &session);
        QObject::connect(interrupt, &QSocketNotifier::activated, [&] {
            char byte;
            [[maybe_unused]] const auto got = ::read(interruptPipe[0], &byte, 1);
            std::signal(SIGINT, SIG_DFL);
            session.Stop();
        });
        std::signal(SIGINT, OnInterrupt);
    }
    session.Join();
    const int exitStatus = QCoreApplication::exec();
    std::signal(SIGINT, SIG_DFL);
    delete interrupt;
    for (int &fd : interruptPipe)
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
    return exitStatus;
#endif
}

} // namespace app
