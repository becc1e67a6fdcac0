// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's settings file across restarts: its position, the
// output name, the folders and the recent outputs it keeps.
#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

#include "HintSettings.h"
#include "WindowTest.h"
#include "core/NaturalOrder.h"
#include "core/PathRules.h"
#include "desktop/Cursor.h"
#include "desktop/Screens.h"
#include "desktop/WindowSystem.h"
#include "framework/TApplication.h"
#include "window/MainWindow.h"

using app::TForm1;

namespace {

struct SettingsWindowTest : ::testing::Test {
    QTemporaryDir dir;
    FakeDialogs dialogs;
    FakeMessageBoxes boxes;
    platform::Override<platform::Dialogs> d{dialogs};
    platform::Override<platform::MessageBoxes> m{boxes};
    platform::ScreenOverride screens{{QRect(0, 0, 1024, 768)}};
    QString file() const { return dir.path() + "/misuc.dat"; }
};

TEST_F(SettingsWindowTest, ARestartKeepsPositionOutputNameAndOpenFolder)
{
    {
        TForm1 first(Name(file()));
        EXPECT_EQ(ReadBytes(file()), QByteArray("\r\n"));
        EXPECT_EQ(first.pos(), QPoint(272, 159));
        EXPECT_EQ(first.Fc1->Text(), app::DefaultOutputName().Display());
        first.show();
        first.move(10, 20);
        first.SetOutputName(platform::FileName("/out/x.mpg"));
        dialogs.openAnswers = {{"/clips/a.mpg"}};
        first.fb1Click(first.fb1);
        QTest::mouseClick(first.fb10, Qt::LeftButton);
        EXPECT_FALSE(first.isVisible());
    }
    const QByteArray saved = ReadBytes(file());
    EXPECT_TRUE(saved.contains("[form1]\r\ntop=20\r\nleft=10\r\n")) << saved.constData();
    // The folder comes from the dialog, which names it as the system does.
    EXPECT_TRUE(saved.contains("[txt]\r\nSaven=/out/x.mpg\r\nOpenP=" + Shown("/clips/") + "\r\n")) << saved.constData();
    TForm1 second(Name(file()));
    EXPECT_EQ(second.pos(), QPoint(10, 20));
    EXPECT_EQ(second.Fc1->Text(), QStringLiteral("/out/x.mpg"));
    EXPECT_EQ(second.OD1.InitialDir, Name("/clips/"));
    EXPECT_TRUE(boxes.shown.empty());
}

// Before, a session without Add Movie (every start through "Open with")
// saved an empty folder and the next Add Movie started in the home folder.
TEST_F(SettingsWindowTest, ASessionWithoutAddMovieKeepsTheFolder)
{
    WriteBytes(file(), "[txt]\r\nOpenP=/clips/\r\n");
    TForm1 form(Name(file()));
    form.close();
    EXPECT_TRUE(ReadBytes(file()).contains("OpenP=/clips/\r\n")) << ReadBytes(file()).constData();
}

// Before, the box's arrow opened an empty list at every start.
TEST_F(SettingsWindowTest, TheOutputBoxListsTheLastEightOutputs)
{
    WriteBytes(file(), "[txt]\r\nSaven=/out/now.mpg\r\n[recent]\r\nOutput1=/out/1.mpg\r\nOutput2=/out/2.mpg\r\n");
    {
        TForm1 form(Name(file()));
        EXPECT_EQ(form.Fc1->Items(), (QStringList{"/out/1.mpg", "/out/2.mpg"}));
        EXPECT_EQ(form.Fc1->Text(), QStringLiteral("/out/now.mpg"));
        for (int i = 3; i <= 9; ++i)
            dialogs.saveAnswers.push_back(QStringLiteral("/out/%1.mpg").arg(i));
        dialogs.saveAnswers.push_back(QStringLiteral("/out/5.mpg")); // chosen again: the newest now
        for (int i = 0; i < 8; ++i)
            form.fb8Click(form.fb8);
        form.close();
    }
    // The stored names stay as stored; the dialog's come as the system names them.
    const QStringList expected =
        QStringList{"/out/2.mpg"} + Shown(QStringList{"/out/3.mpg", "/out/4.mpg", "/out/6.mpg", "/out/7.mpg",
                                                      "/out/8.mpg", "/out/9.mpg", "/out/5.mpg"});
    EXPECT_TRUE(ReadBytes(file()).contains("[recent]\r\nOutput1=/out/2.mpg\r\nOutput2=" + Shown("/out/3.mpg") + "\r\n"))
        << ReadBytes(file()).constData();
    TForm1 next(Name(file()));
    EXPECT_EQ(next.Fc1->Items(), expected);
    EXPECT_EQ(next.Fc1->Text(), Shown("/out/5.mpg"));
}

TEST_F(SettingsWindowTest, WhereWindowsDoNotKnowTheirPlaceTheStoredPositionStays)
{
    WriteBytes(file(), "[form1]\r\ntop=20\r\nleft=10\r\n");
    platform::WindowSystemOverride wayland(false, true);
    {
        TForm1 form(Name(file()));
        EXPECT_EQ(form.pos(), QPoint(46, 103)) << "where it was made, not where the file says";
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        // Ctrl+Q closes as X does, settings included.
        QTest::keyClick(form.Lv1->View(), Qt::Key_Q, Qt::ControlModifier);
        EXPECT_FALSE(form.isVisible());
    }
    const QByteArray saved = ReadBytes(file());
    EXPECT_TRUE(saved.contains("[form1]\r\ntop=20\r\nleft=10\r\n")) << saved.constData();
    EXPECT_TRUE(saved.contains("Saven=")) << "the rest is saved";
}

TEST_F(SettingsWindowTest, AFolderThatCannotHoldTheFileGivesTheErrorAndTheWindowStillWorks)
{
    WriteBytes(dir.path() + "/plain", "not a folder");
    const QString bad = dir.path() + "/plain/misuc.dat";
    TForm1 form(Name(bad));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "The settings file " + Shown(bad) + " cannot be created: Invalid filename: " +
                                       Shown(dir.path() + "/plain") + " is a file, not a folder.");
    EXPECT_EQ(form.pos(), QPoint(46, 103));
    EXPECT_EQ(form.Fc1->Text(), app::DefaultOutputName().Display());
    EXPECT_TRUE(form.OD1.InitialDir.IsEmpty());

    // At closing the person chooses: keep the window open to mend it, or close anyway.
    form.show();
    boxes.answers = {1};
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(boxes.asked[0].Text.contains(Shown(bad)));
    EXPECT_TRUE(boxes.asked[0].Details.startsWith(QStringLiteral("Invalid filename: ")));
    EXPECT_EQ(boxes.asked[0].DefaultAnswer, 1);
    boxes.answers = {0};
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.shown.size(), 1u);
}

} // namespace
