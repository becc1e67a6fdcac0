// SPDX-License-Identifier: GPL-3.0-or-later
// The window's entry: the application object, its title, the main window
// and the message loop until the main window has closed. The program entry
// calls it when no command-line option asks for work without a window.
#include <QApplication>
#include <QTimer>
#include <vector>

#include "core/ProgramModules.h"
#include "framework/TApplication.h"
#include "window/MainWindow.h"
#include "window/Program.h"

ZANTROPE_MODULE_ENTRY int zantrope_window_main(int argc, char **argv)
{
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
