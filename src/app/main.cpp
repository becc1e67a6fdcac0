// Program entry: the application object, its title, the main window and
// the message loop until the main window has closed.
#include <QStyleFactory>

#include "app/MainWindow.h"
#include "framework/TApplication.h"
#include "platform/SystemFonts.h"

int main(int argc, char **argv)
{
    framework::TQtApplication qtApp(argc, argv);
    platform::InstallSystemFonts();
    // The same look on every desktop.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    framework::TApplication::ApplySystemPalette();
    framework::Application().SetTitle(QStringLiteral("Zantrope"));
    app::TForm1 form;
    framework::Application().SetMainForm(&form);
    form.show();
    form.activateWindow();
    return QApplication::exec();
}
