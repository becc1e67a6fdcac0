// SPDX-License-Identifier: GPL-3.0-or-later
// What File::Create must never do, whoever prepared the folder: follow a link
// another user planted, create through a dangling link, lose the old file's
// attributes, or fail at the very end on a file mounted over another.
#include "platform/File.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "TestFiles.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using platform::EInOutError;
using platform::File;

namespace {

constexpr uid_t kNobody = 65534;

QByteArray Bytes(const QString &path) { return QFile::encodeName(path); }

void WriteThrough(const QString &path, const QByteArray &bytes)
{
    File out = File::Create(Name(path));
    out.WriteAll(bytes.constData(), bytes.size());
    out.Close();
}

} // namespace

TEST(FileSafety, LinksAreFollowedOnlyAsTheKernelWould)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting another user's link needs root";
    QTemporaryDir dir;
    const QString shared = dir.filePath(QStringLiteral("shared"));
    const QString secret = dir.filePath(QStringLiteral("secret.mpg"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("shared")));
    ASSERT_EQ(::chmod(Bytes(shared).constData(), 01777), 0);
    WriteBytes(secret, "root's own");
    ASSERT_EQ(::chmod(Bytes(secret).constData(), 0640), 0);

    // nobody's link in a sticky folder anyone may write: refused, naming the link.
    const QString planted = shared + QStringLiteral("/out.mpg");
    ASSERT_EQ(::symlink(Bytes(secret).constData(), Bytes(planted).constData()), 0);
    ASSERT_EQ(::lchown(Bytes(planted).constData(), kNobody, kNobody), 0);
    const EInOutError e = ErrorOf([&] { WriteThrough(planted, "joined"); });
    EXPECT_EQ(e.ErrorCode(), 5);
    EXPECT_TRUE(e.Message().contains(planted)) << e.Message().toStdString();
    EXPECT_EQ(ReadBytes(secret), QByteArray("root's own"));

    // The same link owned by the follower is followed, as the kernel would.
    ASSERT_EQ(::lchown(Bytes(planted).constData(), 0, 0), 0);
    WriteThrough(planted, "joined");
    EXPECT_EQ(ReadBytes(secret), QByteArray("joined"));
    EXPECT_TRUE(QFileInfo(planted).isSymLink());

    // A link that leads nowhere never creates its target.
    const QString dangling = dir.filePath(QStringLiteral("dangling.mpg"));
    const QString nowhere = dir.filePath(QStringLiteral("private/new.mpg"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("private")));
    ASSERT_EQ(::symlink(Bytes(nowhere).constData(), Bytes(dangling).constData()), 0);
    EXPECT_EQ(ErrorOf([&] { WriteThrough(dangling, "x"); }).ErrorCode(), 2);
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST(FileSafety, TheReplacedFileKeepsItsExtendedAttributesAndAcl)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.mpg"));
    WriteBytes(path, "old");
    if (::setxattr(Bytes(path).constData(), "user.zantrope", "kept", 4, 0) != 0)
        GTEST_SKIP() << "no extended attributes here: " << std::strerror(errno);
    const bool acl = QProcess::execute(QStringLiteral("setfacl"), {"-m", "u:nobody:---", path}) == 0;
    const auto attribute = [&](const char *name) {
        QByteArray value(256, '\0');
        const ssize_t n = ::getxattr(Bytes(path).constData(), name, value.data(), size_t(value.size()));
        return n < 0 ? QByteArray("<none>") : value.left(n);
    };
    const QByteArray aclBefore = attribute("system.posix_acl_access");

    WriteThrough(path, "new");
    EXPECT_EQ(ReadBytes(path), QByteArray("new"));
    EXPECT_EQ(attribute("user.zantrope"), QByteArray("kept"));
    if (acl) {
        EXPECT_EQ(attribute("system.posix_acl_access"), aclBefore) << "the deny entry for nobody stays";
    }
}

// Renaming over a file that is itself a mount point fails only at the end,
// after the whole join; it is seen coming and written in place.
TEST(FileSafety, AFileMountedOverAnotherIsWrittenInPlace)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.mpg"));
    const QString output = dir.filePath(QStringLiteral("out.mpg"));
    WriteBytes(source, "source");
    WriteBytes(output, "old");
    if (::mount(Bytes(source).constData(), Bytes(output).constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "no bind mounts here: " << std::strerror(errno);
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount(at.constData()); }
    } unmount{Bytes(output)};
    WriteThrough(output, "joined");
    EXPECT_EQ(ReadBytes(output), QByteArray("joined"));
    EXPECT_EQ(ReadBytes(source), QByteArray("joined"));
}

// A file system without unnamed files (FUSE here) gets a hidden temporary
// name; one left by a killed run is removed, one of a live program is not.
TEST(FileSafety, StaleTemporaryFilesOfKilledRunsAreRemoved)
{
    QTemporaryDir dir;
    const QByteArray image = Bytes(dir.filePath(QStringLiteral("fat.img")));
    const QByteArray at = Bytes(dir.filePath(QStringLiteral("fat")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("fat")));
    if (QProcess::execute(QStringLiteral("mkfs.vfat"), {"-C", QString::fromLocal8Bit(image), "1024"}) != 0)
        GTEST_SKIP() << "mkfs.vfat is not installed";
    TestMount fat(QStringLiteral("fusefat"), {"-o", "rw+", QString::fromLocal8Bit(image), QString::fromLocal8Bit(at)},
                  at, true);
    if (!fat.Mounted())
        GTEST_SKIP() << fat.Why().toStdString();
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const QString folder = QString::fromLocal8Bit(at);
    const QString stale = folder + QStringLiteral("/.zantrope-%1-x.part").arg(gone);
    const QString live = folder + QStringLiteral("/.zantrope-%1-y.part").arg(::getppid());
    WriteBytes(stale, "stale");
    WriteBytes(live, "live");

    WriteThrough(folder + QStringLiteral("/out.mpg"), "joined");
    EXPECT_EQ(ReadBytes(folder + QStringLiteral("/out.mpg")), QByteArray("joined"));
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QFile::exists(live));
}
