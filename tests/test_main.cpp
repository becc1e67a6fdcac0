// Test entry: a QApplication exists for every test, on the offscreen platform.
#include <QApplication>
#include <gtest/gtest.h>

#include "platform/SystemFonts.h"

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // Text measures as in the program.
    platform::InstallSystemFonts();
    QApplication::setStyle(QStringLiteral("Fusion"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
