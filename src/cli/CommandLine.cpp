// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>

#include "cli/QtOptions.h"
#include "core/JoinProgress.h"
#include "platform/Console.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Folders.h"

namespace app {

using platform::FileName;

namespace {

// How often the progress line on a terminal changes.
constexpr qint64 ProgressIntervalMs = 200;

void PrintError(const QString &text) { platform::WriteText(platform::StandardStream::Error, text); }

// The cause in the words of a command line, where the window's own
// ("File access denied", "Invalid filename") would leave it to guess:
// "NAME: reason", or nothing when the error is not one of these.
QString PlainLine(const platform::Exception &e, const CommandLineRequest &request, const FileName &written)
{
    // A folder met where a file was wanted is named in the details or, on
    // Linux, in the message.
    for (const FileName &input : request.inputs)
        if ((e.Details() == input.Display() ||
             e.Message().endsWith(input.Display() + QStringLiteral(" is a folder"))) &&
            platform::IsFolder(input))
            return input.Display() + QStringLiteral(": is a folder; only files can be joined");
    if (QByteArray folder = written.Folder().Bytes(); e.Details() == written.Display() && !folder.isEmpty()) {
        if (folder.size() > 1)
            folder.chop(1); // the separator
        if (platform::IsMissing(FileName(folder)))
            return written.Display() + QStringLiteral(": folder %1 does not exist").arg(FileName(folder).Display());
    }
    return {};
}

// What went wrong, with the file it concerns: "NAME: reason".
QString ErrorLine(std::exception_ptr error, const CommandLineRequest &request, const FileName &written)
{
    try {
        std::rethrow_exception(error);
    } catch (const platform::Exception &e) {
        if (QString line = PlainLine(e, request, written); !line.isEmpty())
            return line;
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

} // namespace

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
         "             is written as .mpg); files of different formats are refused;\n"
         "             MP4, M4V, MOV and M4A files (camera chapters) are always\n"
         "             joined as one movie, with every track, --movie or not\n",
         MovieChoice::Option},
    };
    return modes;
}

CommandLineRequest ParseCommandLine(int argc, char **argv)
{
    CommandLineRequest request;
    std::vector<FileName> names;
    bool optionsEnded = false, join = false;
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
        if (word == "--help" || word == "-h" || word == "--version") {
            request.action =
                word == "--version" ? CommandLineRequest::Action::Version : CommandLineRequest::Action::Help;
            return request;
        }
        const auto mode =
            std::find_if(JoinModes().begin(), JoinModes().end(), [&](const JoinMode &m) { return word == m.option; });
        if (mode == JoinModes().begin()) {
            join = true;
            continue;
        }
        if (mode != JoinModes().end()) {
            request.movie = mode->movie;
            continue;
        }
        // Qt's own options, with their values, are the window's; they mean
        // nothing to a join.
        const std::optional<int> qtValues = QtOptionValueCount(word);
        if (QString &first = qtValues ? qtOption : unknown; first.isEmpty())
            first = QString::fromLocal8Bit(word);
        i += qtValues.value_or(0);
    }
    const char *joinOption = JoinModes().front().option;
    if (!join && request.movie != MovieChoice::Off) {
        request.action = CommandLineRequest::Action::Usage;
        request.problem = QStringLiteral("--movie goes with %1").arg(QLatin1String(joinOption));
        return request;
    }
    if (const QString wrong = unknown.isEmpty() && join ? qtOption : unknown; !wrong.isEmpty()) {
        // Told here, with no display needed, rather than taken for a file name.
        request.action = CommandLineRequest::Action::Usage;
        request.problem = QStringLiteral("unknown option %1").arg(wrong);
    } else if (!join) {
        return {};
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
    session.SetMovieChoice(request.movie);
    session.Append(request.inputs);
    session.SetOutput(request.output);

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
                PrintError(QStringLiteral("\n"));
            }
            if (outcome == JoinSession::Outcome::Failed) {
                PrintError(QStringLiteral("zantrope: %1\n").arg(ErrorLine(error, request, result.plan.output)));
                status = ExitFailed;
            } else if (outcome == JoinSession::Outcome::Stopped) {
                PrintError(QStringLiteral("zantrope: %1\n").arg(StopLine(result)));
                status = ExitStopped;
            } else if (result.plan.FilesMakeOneMovie()) {
                // Not what --join alone does: say what was written.
                platform::WriteText(platform::StandardStream::Output, result.plan.Done() + QLatin1Char('\n'));
            }
            QCoreApplication::exit(status);
        });

    // Ctrl-C stops the join at its next block; a second one ends the program at once.
    const platform::InterruptWatch interrupt([&session] { session.Stop(); });
    session.Join();
    return QCoreApplication::exec();
}

} // namespace app
