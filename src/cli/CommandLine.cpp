// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include "cli/QtOptions.h"
#include "core/MovieJoin.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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
#include "platform/File.h"
#include "platform/Folders.h"

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

// The join's reason in the words of a command line, where the window's own
// ("File access denied", "Invalid filename") would leave the cause to guess.
QString PlainReason(const platform::Exception &e, const CommandLineRequest &request, const FileName &written)
{
    for (const FileName &input : request.inputs)
        if (e.Details() == input.Display() && platform::IsFolder(input))
            return QStringLiteral("is a folder; only files can be joined");
    if (QByteArray folder = written.Folder().Bytes(); e.Details() == written.Display() && !folder.isEmpty()) {
        if (folder.size() > 1)
            folder.chop(1); // the separator
        if (platform::IsMissing(FileName(folder)))
            return QStringLiteral("folder %1 does not exist").arg(FileName(folder).Display());
    }
    return e.Message();
}

// What went wrong, with the file it concerns: "NAME: reason".
QString ErrorLine(std::exception_ptr error, const CommandLineRequest &request, const FileName &written)
{
    try {
        std::rethrow_exception(error);
    } catch (const platform::Exception &e) {
        const QString reason = PlainReason(e, request, written);
        return e.Details().isEmpty() ? reason : e.Details() + QStringLiteral(": ") + reason;
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
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
        {"--join", "joins the inputs byte for byte, in the order given, into OUTPUT", &ByteJoin},
    };
    return modes;
}

CommandLineRequest ParseCommandLine(int argc, char **argv)
{
    CommandLineRequest request;
    std::vector<FileName> names;
    bool optionsEnded = false;
    QString unknown;  // the first word that is no option of anyone's
    QString qtOption; // the first of Qt's, which only the window takes
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
        if (word == "--movie") {
            request.movie = true;
            continue;
        }
        if (word == "--help" || word == "-h" || word == "--version") {
            request.action =
                word == "--version" ? CommandLineRequest::Action::Version : CommandLineRequest::Action::Help;
            return request;
        }
        bool known = false;
        for (const JoinMode &mode : JoinModes()) {
            if (word == mode.option) {
                if (request.mode && request.mode != &mode) {
                    request.action = CommandLineRequest::Action::Usage;
                    request.problem = QStringLiteral("%1 and %2 cannot be combined")
                                          .arg(QLatin1String(request.mode->option), QLatin1String(mode.option));
                    return request;
                }
                request.mode = &mode;
                known = true;
            }
        }
        if (known)
            continue;
        // Qt's own options, with their values, are the window's; they mean
        // nothing to a join.
        const std::optional<int> qtValues = QtOptionValueCount(word);
        if (QString &first = qtValues ? qtOption : unknown; first.isEmpty())
            first = QString::fromLocal8Bit(word);
        i += qtValues.value_or(0);
    }
    if (!request.mode && request.movie) {
        request.action = CommandLineRequest::Action::Usage;
        request.problem = QStringLiteral("--movie goes with --join");
        return request;
    }
    if (const QString wrong = unknown.isEmpty() && request.mode ? qtOption : unknown; !wrong.isEmpty()) {
        // Told here, with no display needed, rather than taken for a file name.
        request.action = CommandLineRequest::Action::Usage;
        request.problem = QStringLiteral("unknown option %1").arg(wrong);
    } else if (!request.mode) {
        return {};
    } else if (names.size() < 2) {
        request.action = CommandLineRequest::Action::Usage;
        request.problem =
            QStringLiteral("%1 needs an output and at least one input").arg(QLatin1String(request.mode->option));
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
        text += QStringLiteral("  %1 OUTPUT INPUT...\n      %2\n")
                    .arg(QLatin1String(mode.option), QLatin1String(mode.what));
    text += QStringLiteral("  --movie    with --join: joins as one movie, without re-encoding, so that\n"
                           "             players show the whole length and can seek (a .dat OUTPUT\n"
                           "             is written as .mpg); files of different formats are refused\n"
                           "  --help     shows this text\n"
                           "  --version  shows the version\n"
                           "  --         every word after it is a file name\n\n"
                           "A join needs no display. It refuses an output that is one of the inputs and\n"
                           "inputs that are no regular files; after an error or Ctrl-C the output holds\n"
                           "exactly what was joined. Exit status: 0 joined, 1 failed, 2 wrong command\n"
                           "line, 130 stopped by Ctrl-C.\n");
    return text;
}

QString VersionText() { return QStringLiteral("zantrope %1\n").arg(QStringLiteral(ZANTROPE_VERSION)); }

int RunCommandLineJoin(const CommandLineRequest &request)
{
    JoinSession session;
    session.SetJoinFunction(request.movie ? OneMovieJoin() : request.mode->make());
    session.Append(request.inputs);
    session.SetOutput(request.output);
    const platform::FileName written = request.movie ? MovieJoin::OutputNameFor(request.output) : request.output;

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
    QObject::connect(&session, &JoinSession::joinStarted, [&](int files, qint64 total) {
        progress.Start(files, total, clock.elapsed());
        show(true);
    });
    QObject::connect(&session, &JoinSession::fileStarted, [&](int index, qint64) { progress.FileStarted(index); });
    QObject::connect(&session, &JoinSession::bytesCopied, [&](int, qint64 bytes) {
        progress.Copied(bytes);
        show(false);
    });
    int status = 0;
    QObject::connect(
        &session, &JoinSession::finished,
        [&](JoinSession::Work, JoinSession::Outcome outcome, std::exception_ptr error) {
            if (terminal && shownMs >= 0) {
                show(true);
                Print(stderr, QStringLiteral("\n"));
            }
            if (outcome == JoinSession::Outcome::Failed) {
                Print(stderr, QStringLiteral("zantrope: %1\n").arg(ErrorLine(error, request, written)));
                status = ExitFailed;
            } else if (outcome == JoinSession::Outcome::Stopped) {
                Print(stderr, QStringLiteral("zantrope: stopped; %1 holds what was joined\n").arg(written.Display()));
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
