// SPDX-License-Identifier: GPL-3.0-or-later
// Routes by which a join's output could reach one of its inputs: another view
// of the same file, the output's own new file, another spelling of one name,
// a file renamed over an input while the join runs.
#include "core/JoinEngine.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "TestFiles.h"

// Linux only: other views of a file (FUSE, bind mounts), /proc's links to
// descriptors and a FAT image mounted through FUSE. On Windows the platform
// layer's own tests cover its routes to one file.
#ifndef _WIN32
#include <unistd.h>

using app::JoinEngine;

namespace {

std::vector<platform::FileName> Names(const QStringList &paths)
{
    std::vector<platform::FileName> names;
    for (const QString &path : paths)
        names.push_back(Name(path));
    return names;
}

platform::EInOutError RefusedJoin(const QString &output, const QStringList &inputs)
{
    app::JoinObserver quiet;
    return ErrorOf([&] { JoinEngine().Join(Name(output), Names(inputs), quiet); });
}

} // namespace

// bindfs shows the files under another device number: an output that is a
// hard link of an input, reached through it, was rewritten in place before
// the input was read.
TEST(JoinSafety, AHardLinkOfAnInputSeenThroughAnotherViewIsRefused)
{
    QTemporaryDir dir;
    const QString real = dir.filePath(QStringLiteral("real"));
    const QString view = dir.filePath(QStringLiteral("view"));
    QDir(dir.path()).mkdir(QStringLiteral("real"));
    QDir(dir.path()).mkdir(QStringLiteral("view"));
    const QByteArray content = Pattern(20000, 3);
    WriteBytes(real + QStringLiteral("/a.mpg"), content);
    WriteBytes(dir.filePath(QStringLiteral("b.mpg")), "bbb");
    ASSERT_EQ(::link(QFile::encodeName(real + QStringLiteral("/a.mpg")).constData(),
                     QFile::encodeName(real + QStringLiteral("/out.mpg")).constData()),
              0);
    TestMount bind(QStringLiteral("bindfs"), {real, view}, QFile::encodeName(view), true);
    if (!bind.Mounted())
        GTEST_SKIP() << bind.Why().toStdString();

    const platform::EInOutError e = RefusedJoin(
        view + QStringLiteral("/out.mpg"), {real + QStringLiteral("/a.mpg"), dir.filePath(QStringLiteral("b.mpg"))});
    EXPECT_EQ(e.ErrorCode(), JoinEngine::SameFileCode);
    EXPECT_EQ(ReadBytes(real + QStringLiteral("/a.mpg")), content);
}

// An input that is a link to /proc/self/fd/N reads whatever the program has
// open as N: the output's own new file, fed into itself.
TEST(JoinSafety, AnInputThatIsTheOutputsNewFileIsRefused)
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.mpg"));
    const QString output = dir.filePath(QStringLiteral("out.mpg"));
    WriteBytes(a, "aaaa");
    WriteBytes(output, "old output");
    // The join keeps the file it looked at as a open, then opens the
    // output's folder and its new file, in the lowest free descriptors; the
    // link leads nowhere when looked at, so it is opened by name.
    const int lowest = ::dup(0);
    ::close(lowest);
    const QString link = dir.filePath(QStringLiteral("fd.mpg"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/fd/%1").arg(lowest + 2), link));
    const platform::EInOutError e = RefusedJoin(output, {a, link});
    EXPECT_EQ(e.Message(), JoinEngine::SameFileMessage(Name(link)));
    EXPECT_EQ(ReadBytes(output), QByteArray("old output")) << "refused before it replaced anything";
    EXPECT_EQ(ReadBytes(a), QByteArray("aaaa"));
}

// The same through /proc for an output with two names, which is rewritten
// where it is: its new bytes gather beside it, so the refusal is true.
TEST(JoinSafety, AHardLinkedOutputIsLeftUntouchedWhenAnInputIsItsNewFile)
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.mpg"));
    const QString output = dir.filePath(QStringLiteral("out.mpg")), other = dir.filePath(QStringLiteral("other.mpg"));
    WriteBytes(a, "aaaa");
    WriteBytes(output, "old output");
    ASSERT_EQ(::link(QFile::encodeName(output).constData(), QFile::encodeName(other).constData()), 0);
    // After a's look and the folder: the new file, then the old one opened to be rewritten.
    const int lowest = ::dup(0);
    ::close(lowest);
    const QString link = dir.filePath(QStringLiteral("fd.mpg"));
    for (const int fd : {lowest + 2, lowest + 3}) {
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/fd/%1").arg(fd), link));
        EXPECT_EQ(RefusedJoin(output, {a, link}).Message(), JoinEngine::SameFileMessage(Name(link)));
        EXPECT_EQ(ReadBytes(output), QByteArray("old output"));
        EXPECT_EQ(ReadBytes(other), QByteArray("old output"));
    }
}

// On vfat "a.mpg" and "A.MPG" are one file, and through FUSE they even show
// different inode numbers.
TEST(JoinSafety, AnInputSpeltInAnotherCaseOnACaseBlindFileSystemIsRefused)
{
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("fat.img"));
    const QString at = dir.filePath(QStringLiteral("fat"));
    QDir(dir.path()).mkdir(QStringLiteral("fat"));
    if (QProcess::execute(QStringLiteral("mkfs.vfat"), {"-C", image, "1024"}) != 0)
        GTEST_SKIP() << "mkfs.vfat is not installed";
    TestMount fat(QStringLiteral("fusefat"), {"-o", "rw+", image, at}, QFile::encodeName(at), true);
    if (!fat.Mounted())
        GTEST_SKIP() << fat.Why().toStdString();
    WriteBytes(at + QStringLiteral("/A.MPG"), "upper");
    WriteBytes(dir.filePath(QStringLiteral("b.mpg")), "b");
    EXPECT_EQ(
        RefusedJoin(at + QStringLiteral("/a.mpg"), {at + QStringLiteral("/A.MPG"), dir.filePath("b.mpg")}).ErrorCode(),
        JoinEngine::SameFileCode);
    EXPECT_EQ(ReadBytes(at + QStringLiteral("/A.MPG")), QByteArray("upper"));

    // On a file system that tells case apart, the two are two files.
    WriteBytes(dir.filePath(QStringLiteral("A.MPG")), "upper");
    app::JoinObserver quiet;
    JoinEngine().Join(Name(dir.filePath(QStringLiteral("a.mpg"))), Names({dir.filePath(QStringLiteral("A.MPG"))}),
                      quiet);
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("a.mpg"))), QByteArray("upper"));
}

// A file renamed over an input after the join looked at it, another file or
// the old output itself: the file looked at is joined, never what took its
// name, and the output still takes its own name with nothing left beside it.
TEST(JoinSafety, AnInputRenamedOverMeanwhileIsJoinedAsLookedAt)
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.mpg")), b = dir.filePath(QStringLiteral("b.mpg"));
    const QString output = dir.filePath(QStringLiteral("out.mpg"));
    const QString intruder = dir.filePath(QStringLiteral("intruder.mpg"));
    struct Swapper : app::JoinObserver {
        QString from, over;
        void FileStarted(int index, qint64) override
        {
            if (index == 0) {
                EXPECT_EQ(::rename(QFile::encodeName(from).constData(), QFile::encodeName(over).constData()), 0);
            }
        }
    };
    for (const QString &swappedIn : {intruder, output}) {
        WriteBytes(a, "aaa");
        WriteBytes(b, "bbb");
        WriteBytes(intruder, "intruder");
        WriteBytes(output, "old output");
        Swapper swapper;
        swapper.from = swappedIn;
        swapper.over = b;
        JoinEngine().Join(Name(output), Names({a, b}), swapper);
        EXPECT_EQ(ReadBytes(output), QByteArray("aaabbb")) << swappedIn.toStdString();
        EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden).isEmpty());
    }
}
#endif
