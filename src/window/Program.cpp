// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/Program.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QStyleFactory>

#include "desktop/SystemFonts.h"
#include "framework/Pictures.h"
#include "framework/TApplication.h"

static void initAssets() { Q_INIT_RESOURCE(assets); }

namespace app {

CommandLineSplit SplitAtDoubleDash(int argc, char **argv)
{
    CommandLineSplit split;
    split.qtArgc = argc;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--") == 0) {
            split.qtArgc = i;
            for (int j = i + 1; j < argc; ++j)
                split.afterDashes.emplace_back(QByteArray(argv[j]));
            break;
        }
    }
    return split;
}

std::vector<platform::FileName> NamesToOpen(int qtArgc, char **argv, const CommandLineSplit &split)
{
    std::vector<platform::FileName> names;
    for (int i = 1; i < qtArgc; ++i)
        names.emplace_back(QByteArray(argv[i]));
    names.insert(names.end(), split.afterDashes.begin(), split.afterDashes.end());
    return names;
}

void PrepareApplication()
{
    initAssets();
    // The desktop matches the window to its entry by this name: the app id
    // on Wayland, a window property on X11.
    QGuiApplication::setDesktopFileName(QStringLiteral("net.zantrope.Zantrope"));
    QIcon icon;
    for (const char *file : {":/zantrope-48.png", ":/zantrope-128.png"})
        icon.addPixmap(QPixmap::fromImage(framework::ReadPicture(QString::fromLatin1(file))));
    QApplication::setWindowIcon(icon);
    // The faces the window names, from packages every machine can have.
    platform::InstallSystemFonts();
    // The same look on every desktop.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    framework::TApplication::ApplySystemPalette();
    framework::Application().SetTitle(QStringLiteral("Zantrope"));
}

} // namespace app
