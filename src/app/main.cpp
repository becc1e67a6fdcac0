// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry: a join on the command line with no window, or the
// application object, its title, the main window and the message loop
// until the main window has closed.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <vector>

#include "app/core/CommandLine.h"

#include "app/MainWindow.h"
#include "app/Program.h"
#include "framework/TApplication.h"

namespace {

// The program's own options, which need no display; -1 when the window is wanted.
int RunCommandLine(int argc, char **argv)
{
    using Action = app::CommandLineRequest::Action;
    const app::CommandLineRequest request = app::ParseCommandLine(argc, argv);
    if (request.action != Action::Window)
        app::UseParentConsole();
    switch (request.action) {
    case Action::Window: return -1;
    case Action::Help: std::fputs(app::UsageText().toLocal8Bit().constData(), stdout); return 0;
    case Action::Version: std::fputs(app::VersionText().toLocal8Bit().constData(), stdout); return 0;
    case Action::Usage:
        std::fprintf(stderr, "zantrope: %s\nTry 'zantrope --help'.\n", request.problem.toLocal8Bit().constData());
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
    app::ProgramArguments arguments(argc, argv);
    argc = arguments.Count();
    argv = arguments.Values();
    if (const int status = RunCommandLine(argc, argv); status >= 0)
        return status;
    // Qt takes its own options out of the part of argv it is given; the names
    // after "--" are kept from it, so a file called "-reverse" stays a file.
    const app::CommandLineSplit split = app::SplitAtDoubleDash(argc, argv);
    int qtArgc = split.qtArgc;
    framework::TQtApplication qtApp(qtArgc, argv);
    app::PrepareApplication();
    app::TForm1 form;
    framework::Application().SetMainForm(&form);
    form.show();
    form.activateWindow();
    // Files and folders to open, as their bytes; added once the window shows.
    const std::vector<platform::FileName> given = app::NamesToOpen(qtArgc, argv, split);
    QTimer::singleShot(0, &form,
                       [&form, given] { framework::Application().Guard([&] { form.AddFromCommandLine(given); }); });
    return QApplication::exec();
}
