// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include "core/MovieJoin.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include "core/JoinProgress.h"
#include "platform/Console.h"

namespace app {

using platform::FileName;

namespace {

// How often the progress line on a terminal changes.
constexpr qint64 ProgressIntervalMs = 200;

void PrintError(const QString &text) { platform::WriteText(platform::StandardStream::Error, text); }

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

} // namespace

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
        // Anything else may be an option of Qt's for the window.
        if (!known && unknown.isEmpty())
            unknown = QString::fromLocal8Bit(word);
    }
    if (!request.mode && request.movie) {
        request.action = CommandLineRequest::Action::Usage;
        request.problem = QStringLiteral("--movie goes with --join");
        return request;
    }
    if (!request.mode)
        return {};
    if (!unknown.isEmpty()) {
        request.action = CommandLineRequest::Action::Usage;
        request.problem = QStringLiteral("unknown option %1").arg(unknown);
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

QString VersionText()
{
    QString text = QStringLiteral("zantrope %1\n").arg(QStringLiteral(ZANTROPE_VERSION));
    // The build names what the program holds besides its own code, where it holds any (on Windows).
    if (const QString note = QStringLiteral(ZANTROPE_VERSION_NOTE); !note.isEmpty())
        text += note + QLatin1Char('\n');
    return text;
}

int RunCommandLineJoin(const CommandLineRequest &request)
{
    JoinSession session;
    session.SetJoinFunction(request.movie ? OneMovieJoin() : request.mode->make());
    session.Append(request.inputs);
    session.SetOutput(request.output);
    const platform::FileName written = request.movie ? MovieJoin::OutputNameFor(request.output) : request.output;

    const bool terminal = platform::ErrorShowsProgress();
    JoinProgress progress;
    QElapsedTimer clock;
    clock.start();
    qint64 shownMs = -ProgressIntervalMs;
    auto show = [&](bool now) {
        const qint64 ms = clock.elapsed();
        if (!terminal || (!now && ms - shownMs < ProgressIntervalMs))
            return;
        shownMs = ms;
        PrintError(QStringLiteral("\r%1% \u00b7 %2\033[K").arg(progress.Percent()).arg(progress.Details(ms)));
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
                PrintError(QStringLiteral("\n"));
            }
            if (outcome == JoinSession::Outcome::Failed) {
                PrintError(QStringLiteral("zantrope: %1\n").arg(ErrorLine(error)));
                status = ExitFailed;
            } else if (outcome == JoinSession::Outcome::Stopped) {
                PrintError(QStringLiteral("zantrope: stopped; %1 holds what was joined\n").arg(written.Display()));
                status = ExitStopped;
            }
            QCoreApplication::exit(status);
        });

    // Ctrl-C stops the join at its next block; a second one ends the program at once.
    const platform::InterruptWatch interrupt([&session] { session.Stop(); });
    session.Join();
    return QCoreApplication::exec();
}

} // namespace app
