// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry: a join on the command line with no window, or the window.
// The entry needs Qt Core only; the window is a module of its own on Linux
// (see ProgramModules.h), so that the command line's join starts quickly.
#include <QCoreApplication>

#include "cli/CommandLine.h"
#include "cli/WindowModule.h"
#include "platform/Console.h"

namespace {

// The program's own options, which need no display; -1 when the window is wanted.
int RunCommandLine(int argc, char **argv)
{
    using Action = app::CommandLineRequest::Action;
    const app::CommandLineRequest request = app::ParseCommandLine(argc, argv);
    if (request.action != Action::Window)
        platform::UseParentConsole();
    switch (request.action) {
    case Action::Window: return -1;
    case Action::Help: platform::WriteText(platform::StandardStream::Output, app::UsageText()); return 0;
    case Action::Version: platform::WriteText(platform::StandardStream::Output, app::VersionText()); return 0;
    case Action::Usage:
        platform::WriteText(platform::StandardStream::Error,
                            QStringLiteral("zantrope: %1\nTry 'zantrope --help'.\n").arg(request.problem));
        return app::ExitUsage;
    case Action::Join: {
        int coreArgc = 1; // the names are the request's; Qt Core takes no options from them
        QCoreApplication core(coreArgc, argv);
        return app::RunCommandLineJoin(request);
    }
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    // The names as the system holds them, before anything reads them.
    platform::ProgramArguments arguments(argc, argv);
    argc = arguments.Count();
    argv = arguments.Values();
    if (const int status = RunCommandLine(argc, argv); status >= 0)
        return status;
    return app::RunWindowModule(argc, argv);
}
