// SPDX-License-Identifier: GPL-3.0-or-later
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "window/Program.h"

namespace {

std::vector<QByteArray> Bytes(const std::vector<platform::FileName> &names)
{
    std::vector<QByteArray> bytes;
    for (const platform::FileName &name : names)
        bytes.push_back(name.Bytes());
    return bytes;
}

} // namespace

TEST(CommandLineSplitTest, QtSeesOnlyWhatComesBeforeTheDoubleDash)
{
    char *argv[] = {const_cast<char *>("zantrope"),  const_cast<char *>("a.mpg"), const_cast<char *>("--"),
                    const_cast<char *>("-platform"), const_cast<char *>("--"),    const_cast<char *>("b.mpg")};
    const app::CommandLineSplit split = app::SplitAtDoubleDash(6, argv);
    EXPECT_EQ(split.qtArgc, 2);
    // Only the first "--" ends Qt's part; a second one is a name.
    EXPECT_EQ(Bytes(app::NamesToOpen(split.qtArgc, argv, split)),
              (std::vector<QByteArray>{"a.mpg", "-platform", "--", "b.mpg"}));

    char *plain[] = {const_cast<char *>("zantrope"), const_cast<char *>("a.mpg")};
    EXPECT_EQ(app::SplitAtDoubleDash(2, plain).qtArgc, 2);
}

// Before, Qt read "-platform a.mpg" after "--" as its own option and aborted
// for want of a platform called a.mpg.
TEST(CommandLineSplitTest, QtOptionsAfterTheDoubleDashAreNamesForTheRealProgram)
{
    QTemporaryDir dir;
    QProcess program;
    program.setWorkingDirectory(dir.path());
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QStringLiteral(ZANTROPE_PROGRAM), {"--", "-platform", "a.mpg"});
    ASSERT_TRUE(program.waitForStarted());
    EXPECT_FALSE(program.waitForFinished(2000))
        << "ended with " << program.exitCode() << " (" << int(program.exitStatus())
        << "): " << program.readAll().toStdString();
    program.kill();
    program.waitForFinished();
}
