// SPDX-License-Identifier: GPL-3.0-or-later
// The application object's standard error box, shown through a real message box.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include "desktop/SysColors.h"
#include "framework/TApplication.h"

using namespace framework;

namespace {

TEST(TApplicationTest, TheErrorBoxIsTitledExactlyWithTheApplicationTitle)
{
    const QString previous = Application().Title();
    Application().SetTitle(QStringLiteral("Zantrope"));
    QString title, text;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    Application().ShowException(QStringLiteral("Disk full"));
    EXPECT_EQ(title, QStringLiteral("Zantrope"));
    EXPECT_EQ(text, QStringLiteral("Disk full."));
    // The desktop shows every window's title followed by " — " and Qt's
    // display name once one is set (in _NET_WM_NAME on X11), so the title
    // must not become that name.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    Application().SetTitle(previous);
}

TEST(TApplicationTest, QtWidgetsTakeTheirColoursFromTheSystemColourTable)
{
    const QPalette before = QApplication::palette();
    platform::SetSysColor(platform::COLOR_WINDOW, 0x00102030);
    TApplication::ApplySystemPalette();
    EXPECT_EQ(QApplication::palette().color(QPalette::Base), QColor(0x30, 0x20, 0x10));
    EXPECT_EQ(QApplication::palette().color(QPalette::Highlight), ToQColor(clHighlight));
    platform::ResetSysColors();
    QApplication::setPalette(before);
}

} // namespace
