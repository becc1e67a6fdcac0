// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own command-line options: a join with no window, the usage
// and the version. Anything else opens the window.
#include <QString>
#include <vector>

#include "core/JoinSession.h"
#include "platform/FileName.h"

namespace app {

// A kind of join the command line offers, named by its option. The first
// is --join itself; the others go with it and choose another kind.
struct JoinMode {
    const char *option; // "--join", "--movie"
    const char *usage;  // its lines in the usage, each ending in a line break
    MovieChoice movie;  // the person's choice it stands for
};
// Every kind, in the order the usage lists them; a new kind is one more entry.
const std::vector<JoinMode> &JoinModes();

struct CommandLineRequest {
    enum class Action { Window, Join, Help, Version, Usage };
    Action action = Action::Window;
    MovieChoice movie = MovieChoice::Off; // Join: --movie asks for one movie
    platform::FileName output;
    std::vector<platform::FileName> inputs;
    QString problem; // Usage: what is wrong with the command line
};

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
constexpr int ExitFailed = 1;    // the join failed; a new output holds what was joined
constexpr int ExitUsage = 2;     // the command line is wrong; nothing was touched
constexpr int ExitStopped = 130; // stopped by Ctrl-C, as the shell counts a SIGINT

} // namespace app
