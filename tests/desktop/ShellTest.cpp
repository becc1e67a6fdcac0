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
