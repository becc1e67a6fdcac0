// SPDX-License-Identifier: GPL-3.0-or-later
// Routes by which a join's output could reach one of its inputs: another view
// of the same file, the output's own new file, another spelling of one name,
// a file renamed over an input while the join runs.
#include "core/JoinEngine.h"
#include "core/OutputGuard.h"

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
#include <fcntl.h>
#include <sys/resource.h>
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
    EXPECT_EQ(e.ErrorCode(), platform::InOutCode::AccessDenied);
    EXPECT_EQ(ReadBytes(real + QStringLiteral("/a.mpg")), content);
}

// An input that is a link to /proc/self/fd/N reads whatever the program has
// open as N: when it is opened again by name (no descriptor was left to keep
// it open since the look), that may be the output's own new file. An output
// with a second name is rewritten where it is, which opens one file more.
TEST(JoinSafety, AnInputThatIsTheOutputsNewFileIsRefused)
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.mpg"));
    const QString output = dir.filePath(QStringLiteral("out.mpg"));
    const QString second = dir.filePath(QStringLiteral("second.mpg"));
    const QByteArray other = QFile::encodeName(dir.filePath(QStringLiteral("other.mpg")));
    WriteBytes(a, "aaaa");
    WriteBytes(QString::fromUtf8(other), "other");
    const QString link = dir.filePath(QStringLiteral("fd.mpg"));
    // No look keeps its file open below 257 descriptors.
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit lowered = saved;
    lowered.rlim_cur = std::min<rlim_t>(256, saved.rlim_max);
    for (const bool hardLinked : {false, true}) {
        WriteBytes(output, "old output");
        QFile::remove(second);
        if (hardLinked) {
            ASSERT_EQ(::link(QFile::encodeName(output).constData(), QFile::encodeName(second).constData()), 0);
        }
        for (int offset = 1; offset <= (hardLinked ? 2 : 1); ++offset) {
            // When looked at, the link leads to other, open as lowest + offset;
            // once the looks are done all are closed, and what the join opens
            // (the output's folder, its new file, the old one) takes them.
            std::vector<int> open;
            for (int i = 0; i <= 2; ++i)
                open.push_back(::open(other.constData(), O_RDONLY));
            QFile::remove(link);
            ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/fd/%1").arg(open[std::size_t(offset)]), link));
            struct CloseAfterLooks : app::JoinObserver {
                std::vector<int> fds;
                void JoinStarted(qint64) override
                {
                    for (const int fd : fds)
                        ::close(fd);
                }
            } observer;
            observer.fds = open;
            ::setrlimit(RLIMIT_NOFILE, &lowered);
            const platform::EInOutError e = ErrorOf([&] {
                JoinEngine().Join(Name(output), Names({a, link}), observer);
            });
            ::setrlimit(RLIMIT_NOFILE, &saved);
            EXPECT_EQ(e.Message(), app::OutputGuard::SameFileMessage(Name(link))) << hardLinked << offset;
            EXPECT_EQ(ReadBytes(output), QByteArray("old output")) << "refused before it replaced anything";
            if (hardLinked) {
                EXPECT_EQ(ReadBytes(second), QByteArray("old output"));
            }
            EXPECT_EQ(ReadBytes(a), QByteArray("aaaa"));
        }
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
        platform::InOutCode::AccessDenied);
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

// Without a descriptor to keep it open, an input is opened again by name
// when its turn comes: another file renamed over it meanwhile is refused,
// and the output that existed stays whole.
TEST(JoinSafety, AnInputReplacedAfterTheLookIsRefusedWhenNotKeptOpen)
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.mpg")), b = dir.filePath(QStringLiteral("b.mpg"));
    const QString output = dir.filePath(QStringLiteral("out.mpg"));
    WriteBytes(a, "aaa");
    WriteBytes(b, "bbb");
    WriteBytes(output, "old output");
    // Another name keeps b's file, so that no new file gets its inode number.
    ASSERT_EQ(::link(QFile::encodeName(b).constData(), QFile::encodeName(b + QStringLiteral(".kept")).constData()), 0);
    struct Swapper : app::JoinObserver {
        QString from, over;
        void JoinStarted(qint64) override
        {
            WriteBytes(from, "intruder");
            EXPECT_EQ(::rename(QFile::encodeName(from).constData(), QFile::encodeName(over).constData()), 0);
        }
    } swapper;
    swapper.from = dir.filePath(QStringLiteral("intruder.mpg"));
    swapper.over = b;
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit lowered = saved;
    lowered.rlim_cur = std::min<rlim_t>(256, saved.rlim_max);
    ::setrlimit(RLIMIT_NOFILE, &lowered);
    const platform::EInOutError e = ErrorOf([&] { JoinEngine().Join(Name(output), Names({a, b}), swapper); });
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(e.Message(), app::OutputGuard::ReplacedInputMessage(Name(b)));
    EXPECT_EQ(ReadBytes(output), QByteArray("old output"));
}
#endif
