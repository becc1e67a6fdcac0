// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry: an application object exists for every test. Tests of the
// layers below the desktop get a core application only, so they cannot come
// to depend on widgets; the others a widget application on the offscreen
// platform.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#ifdef ZANTROPE_TESTS_WITHOUT_WIDGETS
#include <QCoreApplication>
#else
#include <QApplication>

#include "desktop/SystemFonts.h"
#endif

int main(int argc, char **argv)
{
#ifdef _WIN32
    // Plain "\n" line ends, as ctest reads the list of tests under Wine.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
#ifdef ZANTROPE_TESTS_WITHOUT_WIDGETS
    QCoreApplication app(argc, argv);
#else
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // Text measures as in the program.
    platform::InstallSystemFonts();
    QApplication::setStyle(QStringLiteral("Fusion"));
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
