#include "app/Program.h"

#include <QApplication>
#include <QStyleFactory>

#include "framework/TApplication.h"

namespace app {

void PrepareApplication()
{
    // The same look on every desktop.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    framework::TApplication::ApplySystemPalette();
    framework::Application().SetTitle(QStringLiteral("Zantrope"));
}

} // namespace app
