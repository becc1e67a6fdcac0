#include "app/Program.h"

#include <QApplication>
#include <QStyleFactory>

#include "framework/TApplication.h"
#include "platform/desktop/SystemFonts.h"

namespace app {

void PrepareApplication()
{
    // The faces the window names, from packages every machine can have.
    platform::InstallSystemFonts();
    // The same look on every desktop.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    framework::TApplication::ApplySystemPalette();
    framework::Application().SetTitle(QStringLiteral("Zantrope"));
}

} // namespace app
