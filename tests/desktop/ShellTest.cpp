// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/Desktop.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "TestFiles.h"

namespace {

// Runs f with PATH holding only an empty folder: no xdg-open, no desktop
// opener. The offscreen platform opens nothing anyway; on a desktop platform
// this keeps the test from starting a real program.
template <class F>
void WithoutOpeners(const QString &emptyFolder, F f)
{
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(emptyFolder));
    try {
        f();
    } catch (...) {
        qputenv("PATH", path);
        throw;
    }
    qputenv("PATH", path);
}

} // namespace

// The real shell tells why nothing opens instead of doing nothing: a missing
// help page (a system without the documentation), a missing output, no opener.
TEST(ShellTest, SaysWhyNothingOpens)
{
    QTemporaryDir dir;
    platform::Shell &shell = platform::CurrentShell();
    const platform::FileName missing = platform::FileName::FromUtf8(dir.filePath(QStringLiteral("gone.html")));
    try {
        shell.OpenFile(nullptr, missing, {});
        ADD_FAILURE() << "a missing file passed";
    } catch (const platform::EInOutError &e) {
        EXPECT_EQ(e.ErrorCode(), 2);
        EXPECT_EQ(e.Details(), missing.Display());
    }

#ifndef _WIN32 // Windows finds its openers in the registry, not on PATH; nothing to take away here
    const QString present = dir.filePath(QStringLiteral("joined.mpg"));
    WriteBytes(present, "x");
    WithoutOpeners(dir.path(), [&] {
        try {
            shell.OpenFile(nullptr, platform::FileName::FromUtf8(present), {});
            ADD_FAILURE() << "opened without any opener";
        } catch (const platform::Exception &e) {
            EXPECT_TRUE(e.Message().contains(present)) << e.Message().toStdString();
            EXPECT_TRUE(e.Details().contains(QStringLiteral("xdg-utils")));
        }
        EXPECT_THROW(shell.OpenAddress(nullptr, QStringLiteral("https://www.zantrope.net/"), {}), platform::Exception);
    });
#endif
}

#ifndef _WIN32
// Before, xdg-open that found no program for the type ("no method
// available", status 3) left Help, the web link and Play doing nothing.
TEST(ShellTest, AnOpenerThatFindsNoProgramIsHeardLater)
{
    QTemporaryDir dir;
    const QString opener = dir.filePath(QStringLiteral("xdg-open"));
    WriteBytes(opener, "#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n");
    QFile::setPermissions(opener, QFile::ReadOwner | QFile::ExeOwner);
    const QString page = dir.filePath(QStringLiteral("readme.html"));
    WriteBytes(page, "<html>");
    QStringList heard;
    const platform::OpenFailed failed = [&](const platform::Exception &e) { heard << e.Message() + " " + e.Details(); };
    WithoutOpeners(dir.path(), [&] {
        platform::CurrentShell().OpenFile(nullptr, platform::FileName::FromUtf8(page), failed);
        platform::CurrentShell().OpenAddress(nullptr, QStringLiteral("https://www.zantrope.net/"), failed);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard.size() == 2; }, 10000)) << heard.join('|').toStdString();
    heard.sort();
    EXPECT_TRUE(heard[0].startsWith("No program was found to open " + page)) << heard[0].toStdString();
    EXPECT_TRUE(heard[1].startsWith("No program was found to open https://www.zantrope.net/"));
    EXPECT_TRUE(heard[1].contains(QStringLiteral("No program for this kind of file or address is installed.")));
}
#endif
