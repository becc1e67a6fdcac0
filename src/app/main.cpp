// Program entry: the application object, its title, the main window and
// the message loop until the main window has closed.
#include <QTimer>
#include <vector>

#include "app/MainWindow.h"
#include "app/Program.h"
#include "framework/TApplication.h"

int main(int argc, char **argv)
{
    framework::TQtApplication qtApp(argc, argv); // takes Qt's own options out of argv
    app::PrepareApplication();
    app::TForm1 form;
    framework::Application().SetMainForm(&form);
    form.show();
    form.activateWindow();
    // Files and folders to open, as their bytes; added once the window shows.
    std::vector<platform::FileName> given;
    for (int i = 1; i < argc; ++i)
        given.emplace_back(QByteArray(argv[i]));
    QTimer::singleShot(0, &form,
                       [&form, given] { framework::Application().Guard([&] { form.AddFromCommandLine(given); }); });
    return QApplication::exec();
}
