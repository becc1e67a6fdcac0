// SPDX-License-Identifier: GPL-3.0-or-later
// A settings file with other names (a hard link) or mounted over another,
// which is rewritten where it is: two writers never mix, and a full disk
// never costs the old settings.
#include "platform/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

#include "TestFiles.h"

using platform::ProfileFile;

namespace {

const QByteArray kOld = "[form1]\r\ntop=10\r\n[txt]\r\nSaven=/home/u/old.mpg\r\n";

// The settings file at path given another name, or a file mounted over it;
// false, with why, where that cannot be done here.
struct SecondName {
    QByteArray mountedAt;
    ~SecondName()
    {
        if (!mountedAt.isEmpty())
            ::umount(mountedAt.constData());
    }
    bool Make(bool mount, const QString &path, QString &why)
    {
        const QByteArray file = QFile::encodeName(path), other = QFile::encodeName(path + QStringLiteral(".other"));
        if (!mount)
            return ::link(file.constData(), other.constData()) == 0 || (why = QStringLiteral("no hard links"), false);
        WriteBytes(path + QStringLiteral(".other"), kOld);
        if (::mount(other.constData(), file.constData(), nullptr, MS_BIND, nullptr) != 0) {
            why = QStringLiteral("no bind mounts here");
            return false;
        }
        mountedAt = file;
        return true;
    }
};

void WriteSaven(const QString &path, const QByteArray &value, bool expectFlushed)
{
    ProfileFile ini(Name(path));
    ASSERT_TRUE(ini.WriteValue(QStringLiteral("txt"), QStringLiteral("Saven"), value));
    EXPECT_EQ(ini.Flush(), expectFlushed) << ini.ErrorString().toStdString();
}

} // namespace

TEST(ProfileFileInPlace, TwoWritersAtOnceLeaveOneWholeVersion)
{
    for (const bool mount : {false, true}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("misuc.dat"));
        WriteBytes(path, kOld);
        SecondName second;
        QString why;
        if (!second.Make(mount, path, why)) {
            std::printf("skipped: %s\n", qPrintable(why));
            continue;
        }
        const QByteArray a(3000, 'a'), b(100, 'b');
        int mixed = 0;
        for (int round = 0; round < 100; ++round) {
            std::atomic<int> ready{0};
            const auto writer = [&](const QByteArray &value) {
                ++ready;
                while (ready < 2) {
                }
                WriteSaven(path, value, true);
            };
            std::thread first(writer, a), other(writer, b);
            first.join();
            other.join();
            const QByteArray now = ReadBytes(path);
            mixed += now != QByteArray(kOld).replace("/home/u/old.mpg", a) &&
                     now != QByteArray(kOld).replace("/home/u/old.mpg", b);
        }
        EXPECT_EQ(mixed, 0) << (mount ? "mounted" : "hard-linked");
    }
}

// On a full tmpfs, for a file with one name and for one with two.
TEST(ProfileFileInPlace, AFullDiskLeavesTheOldSettings)
{
    QTemporaryDir dir;
    const QByteArray at = QFile::encodeName(dir.path());
    if (::mount("tmpfs", at.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount(at.constData()); }
    } unmount{at};
    const QString single = dir.filePath(QStringLiteral("single.dat")),
                  linked = dir.filePath(QStringLiteral("misuc.dat"));
    WriteBytes(single, kOld);
    WriteBytes(linked, kOld);
    QString why;
    SecondName second;
    ASSERT_TRUE(second.Make(false, linked, why));
    {
        QFile filler(dir.filePath(QStringLiteral("filler")));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
        }
    }
    for (const QString &path : {single, linked}) {
        WriteSaven(path, QByteArray(6000, 'n'), false);
        EXPECT_EQ(ReadBytes(path), kOld) << path.toStdString();
    }
}
