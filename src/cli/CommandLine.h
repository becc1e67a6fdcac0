// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own command-line options: a join with no window, the usage
// and the version. Anything else opens the window.
#include <QString>
#include <vector>

#include "core/JoinSession.h"
#include "platform/FileName.h"

namespace app {

// A kind of join the command line can run, named by its option.
struct JoinMode {
    const char *option; // "--join"
    const char *what;   // for the usage
    JoinFunction (*make)();
};
// Every kind, in the order the usage lists them; a new kind is one more entry.
const std::vector<JoinMode> &JoinModes();

struct CommandLineRequest {
    enum class Action { Window, Join, Help, Version, Usage };
    Action action = Action::Window;
    const JoinMode *mode = nullptr; // Join: which kind
    bool movie = false;             // --movie: join as one movie
    platform::FileName output;
    std::vector<platform::FileName> inputs;
    QString problem; // Usage: what is wrong with the command line
};

// The program's arguments as the names they carry. On Windows the 8-bit
// argv has passed through the code page, which turns what it lacks into
// "?": the UTF-16 command line is read instead and each word given as its
// WTF-8 bytes (see platform::FileName). Elsewhere argv as it is.
class ProgramArguments {
public:
    ProgramArguments(int argc, char **argv);
    ProgramArguments(const ProgramArguments &) = delete;
    ProgramArguments &operator=(const ProgramArguments &) = delete;
    // For main's argc and argv; they stay valid as long as this object.
    int &Count() { return count_; }
    char **Values() { return values_.data(); }

private:
    std::vector<QByteArray> words_;
    std::vector<char *> values_; // ends in a null pointer, as argv does
    int count_ = 0;
};

// A program for the window has no standard streams of its own on Windows:
// what the command line prints goes to the console it was started from, if
// any, unless the streams were redirected. Elsewhere nothing to do.
void UseParentConsole();

// Reads the options before a "--"; every word after it is a name, whatever
// it looks like. Without one of the program's options: Window, which also
// takes Qt's own (-style, -platform, ...). Any other word that starts with
// "-" is an unknown option: Usage.
CommandLineRequest ParseCommandLine(int argc, char **argv);

QString UsageText();
QString VersionText();

// Runs the join a command line asked for, on the Qt Core application that
// exists already; returns the exit status. Errors go to standard error,
// each naming its file and the reason; progress too, when that is a
// terminal. Ctrl-C stops the join as Esc does in the window.
int RunCommandLineJoin(const CommandLineRequest &request);

// Exit statuses besides 0.
constexpr int ExitFailed = 1;    // the join failed; the output holds what was joined
constexpr int ExitUsage = 2;     // the command line is wrong; nothing was touched
constexpr int ExitStopped = 130; // stopped by Ctrl-C, as the shell counts a SIGINT

} // namespace app
