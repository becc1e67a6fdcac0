// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/File.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "TestFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using platform::EInOutError;
using platform::File;

namespace {

int OpenDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// Lowers the soft limit of open files for one test and restores it.
class FileLimit {
public:
    explicit FileLimit(rlim_t soft)
    {
        getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = soft;
        setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~FileLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }

private:
    rlimit saved_{};
};

} // namespace

TEST(File, CreateWritesAndOpenReadReadsBackToTheEnd)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.mpg"));
    WriteBytes(path, QByteArray(10000, 'x')); // Create must cut this away
    const QByteArray data = QByteArrayLiteral("hello, join");
    {
        File out = File::Create(Name(path));
        EXPECT_EQ(out.Size(), 0);
        out.WriteAll(data.constData(), data.size());
        EXPECT_EQ(out.Size(), data.size());
        out.Close();
        EXPECT_FALSE(out.IsOpen());
    }
    File in = File::OpenRead(Name(path));
    EXPECT_EQ(in.Size(), data.size());
    char buffer[64];
    EXPECT_EQ(in.Read(buffer, 5), 5);
    EXPECT_EQ(in.Read(buffer + 5, sizeof buffer - 5), data.size() - 5);
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 0);
    EXPECT_EQ(QByteArray(buffer, int(data.size())), data);
}

TEST(File, SizesAreSixtyFourBit)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sparse.mpg"));
    const qint64 size = (qint64(5) << 30) + 3;
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(size)); // sparse: no disk space used
    }
    EXPECT_EQ(File::OpenRead(Name(path)).Size(), size);
}

TEST(File, InputsAreOpenedForReadingOnly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.mpg"));
    WriteBytes(path, "abc");
    File in = File::OpenRead(Name(path));
    const EInOutError e = ErrorOf([&] { in.WriteAll("z", 1); });
    EXPECT_NE(e.ErrorCode(), 0);
    EXPECT_EQ(ReadBytes(path), QByteArray("abc"));
}

TEST(File, DescriptorIsClosedByDestructorAndFollowsAMove)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.mpg"));
    WriteBytes(path, "abc");
    const int before = OpenDescriptors();
    {
        File a = File::OpenRead(Name(path));
        File b = std::move(a);
        EXPECT_FALSE(a.IsOpen());
        EXPECT_TRUE(b.IsOpen());
        EXPECT_EQ(b.Path(), Name(path));
        EXPECT_EQ(OpenDescriptors(), before + 1);
        b = File::OpenRead(Name(path)); // the old descriptor goes
        EXPECT_EQ(OpenDescriptors(), before + 1);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(File, MissingFileAndMissingFolderAreTwoAndThree)
{
    QTemporaryDir dir;
    const EInOutError missingFile = ErrorOf([&] { File::OpenRead(Name(dir.filePath(QStringLiteral("none.mpg")))); });
    EXPECT_EQ(missingFile.ErrorCode(), 2);
    EXPECT_EQ(missingFile.Message(), QStringLiteral("File not found"));

    const EInOutError missingFolder =
        ErrorOf([&] { File::Create(Name(dir.filePath(QStringLiteral("no/such/out.mpg")))); });
    EXPECT_EQ(missingFolder.ErrorCode(), 3);
    EXPECT_EQ(missingFolder.Message(), QStringLiteral("Invalid filename"));
    EXPECT_EQ(ErrorOf([&] { File::OpenRead(Name(dir.filePath(QStringLiteral("no/a.mpg")))); }).ErrorCode(), 3);

    const QString plain = dir.filePath(QStringLiteral("plain"));
    WriteBytes(plain, "x");
    EXPECT_EQ(ErrorOf([&] { File::Create(Name(plain + QStringLiteral("/out.mpg"))); }).ErrorCode(), 3);

    // A folder as input or output is refused as access denied, saying it is a folder.
    const QString folder = dir.filePath(QStringLiteral("no"));
    ASSERT_TRUE(QDir().mkdir(folder));
    for (const auto &open : {std::function<void()>([&] { platform::LookAtInput(Name(folder)); }),
                             std::function<void()>([&] { File::Create(Name(folder)); }),
                             std::function<void()>([&] { File::Create(Name(folder + '/')); })}) {
        const EInOutError e = ErrorOf(open);
        EXPECT_EQ(e.ErrorCode(), 5);
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("File access denied: ") + folder) &&
                    e.Message().endsWith(QStringLiteral(" is a folder")))
            << e.Message().toStdString();
    }
}

TEST(File, TooManyOpenFilesIsFour)
{
    SKIP_WHEN_SANITIZED();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.mpg"));
    WriteBytes(path, "abc");
    std::vector<File> open;
    FileLimit limit(rlim_t(OpenDescriptors() + 4));
    const EInOutError e = ErrorOf([&] {
        for (int i = 0; i < 100; ++i)
            open.push_back(File::OpenRead(Name(path)));
    });
    EXPECT_EQ(e.ErrorCode(), 4);
    EXPECT_EQ(e.Message(), QStringLiteral("Too many open files"));
}

TEST(File, AccessDeniedIsFiveEvenForRoot)
{
    // sysfs refuses new files to everyone, root included.
    const EInOutError sys = ErrorOf([] { File::Create(Name(QStringLiteral("/sys/zantrope-test.mpg"))); });
    EXPECT_EQ(sys.ErrorCode(), 5);
    EXPECT_EQ(sys.Message(), QStringLiteral("File access denied"));

    QTemporaryDir dir;
    EXPECT_EQ(ErrorOf([&] { File::OpenRead(Name(dir.path())); }).ErrorCode(), 5);
    EXPECT_EQ(ErrorOf([&] { File::Create(Name(dir.path())); }).ErrorCode(), 5);
}

TEST(File, FullDiskIsOneHundredAndOne)
{
    File out = File::Create(Name(QStringLiteral("/dev/full")));
    const QByteArray block(4097, 'a');
    const EInOutError e = ErrorOf([&] { out.WriteAll(block.constData(), block.size()); });
    EXPECT_EQ(e.ErrorCode(), 101);
    EXPECT_EQ(e.Message(), QStringLiteral("Disk full"));
}

TEST(File, OtherErrorsKeepTheirNumber)
{
    QTemporaryDir dir;
    const QString loop = dir.filePath(QStringLiteral("loop.mpg"));
    ASSERT_EQ(::symlink(QFile::encodeName(loop).constData(), QFile::encodeName(loop).constData()), 0);
    const EInOutError e = ErrorOf([&] { File::OpenRead(Name(loop)); });
    EXPECT_EQ(e.ErrorCode(), ELOOP);
    EXPECT_EQ(e.Message(), QStringLiteral("I/O error %1").arg(ELOOP));
}

TEST(File, ErrnoMapping)
{
    QTemporaryDir dir;
    const QString inDir = dir.filePath(QStringLiteral("x"));
    const QString inMissing = dir.filePath(QStringLiteral("gone/x"));
    struct Case {
        int errnum;
        QString path;
        int code;
        QString message;
    };
    const Case cases[] = {
        {ENOENT, inDir, 2, QStringLiteral("File not found")},
        {ENOENT, inMissing, 3, QStringLiteral("Invalid filename")},
        {ENOTDIR, inDir, 3, QStringLiteral("Invalid filename")},
        {EMFILE, inDir, 4, QStringLiteral("Too many open files")},
        {ENFILE, inDir, 4, QStringLiteral("Too many open files")},
        {EACCES, inDir, 5, QStringLiteral("File access denied")},
        {EPERM, inDir, 5, QStringLiteral("File access denied")},
        {EROFS, inDir, 5, QStringLiteral("File access denied")},
        {ENOSPC, inDir, 101, QStringLiteral("Disk full")},
        {EDQUOT, inDir, 101, QStringLiteral("Disk full")},
        {EFBIG, inDir, EFBIG, QStringLiteral("I/O error %1").arg(EFBIG)},
        // Raw numbers that equal a code still read as what they are.
        {EIO, inDir, EIO, QStringLiteral("I/O error 5")},
        {ENETUNREACH, inDir, ENETUNREACH, QStringLiteral("I/O error 101")},
    };
    for (const Case &c : cases) {
        const EInOutError e = platform::InOutErrorFor(c.errnum, Name(c.path));
        EXPECT_EQ(e.ErrorCode(), c.code) << "errno " << c.errnum;
        EXPECT_EQ(e.Message(), c.message) << "errno " << c.errnum;
    }
}

TEST(File, IdentityIgnoresSpelling)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("d")));
    const QString a = dir.filePath(QStringLiteral("d/a.mpg"));
    const QString b = dir.filePath(QStringLiteral("d/b.mpg"));
    WriteBytes(a, "a");
    WriteBytes(b, "a");
    const QString link = dir.filePath(QStringLiteral("link.mpg"));
    ASSERT_TRUE(QFile::link(a, link));

    const auto id = platform::IdentityOf(Name(a));
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(platform::IdentityOf(Name(dir.filePath(QStringLiteral("d/../d/a.mpg")))), id);
    EXPECT_EQ(platform::IdentityOf(Name(link)), id);
    EXPECT_EQ(File::OpenRead(Name(link)).Identity(), *id);
    EXPECT_NE(platform::IdentityOf(Name(b)), id);
    EXPECT_FALSE(platform::IdentityOf(Name(dir.filePath(QStringLiteral("none")))).has_value());
    EXPECT_FALSE(platform::IdentityOf(Name(QString())).has_value());
}

TEST(File, ANulInANameIsRefusedBeforeAnyOpen)
{
    QTemporaryDir dir;
    const QString kept = dir.filePath(QStringLiteral("a.mpg"));
    WriteBytes(kept, "keep");
    const platform::FileName cut(Name(kept).Bytes() + QByteArray("\0.bak", 5));
    for (const std::function<void()> &open : std::vector<std::function<void()>>{
             [&] { File::OpenRead(cut); }, [&] { File::Create(cut); }, [&] { File::CreateNew(cut); }}) {
        const EInOutError e = ErrorOf(open);
        EXPECT_EQ(e.ErrorCode(), 3);
        EXPECT_TRUE(e.Message().contains(QStringLiteral("NUL"))) << e.Message().toStdString();
    }
    EXPECT_EQ(ReadBytes(kept), QByteArray("keep"));
}

// Pipes, sockets and devices are refused at once, for reading and for
// writing, instead of waiting for a partner that never comes.
TEST(File, WhatIsNoRegularFileIsRefusedWithoutWaiting)
{
    QTemporaryDir dir;
    const QByteArray fifo = Name(dir.filePath(QStringLiteral("pipe.mpg"))).Bytes();
    ASSERT_EQ(::mkfifo(fifo.constData(), 0666), 0);
    const QByteArray socketPath = Name(dir.filePath(QStringLiteral("sock.mpg"))).Bytes();
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);

    FifoWatchdog watchdog(fifo, 10);
    for (const QByteArray &path : {fifo, socketPath, QByteArray("/dev/zero")}) {
        const EInOutError in = ErrorOf([&] { File::OpenRead(platform::FileName(path)); });
        EXPECT_EQ(in.ErrorCode(), 5) << path.constData();
        EXPECT_TRUE(in.Message().contains(QString::fromUtf8(path))) << in.Message().toStdString();
    }
    for (const QByteArray &path : {fifo, socketPath}) {
        const EInOutError out = ErrorOf([&] { File::Create(platform::FileName(path)); });
        EXPECT_EQ(out.ErrorCode(), 5) << path.constData();
    }
    EXPECT_FALSE(watchdog.Fired());
    ::close(sock);
}

// The new content goes into a file of its own and takes the old one's place
// only when closed: whatever reads the old file meanwhile reads it whole.
TEST(File, CreateReplacesTheOldFileOnlyWhenClosedKeepingLinksAndMode)
{
    QTemporaryDir dir;
    const QString real = dir.filePath(QStringLiteral("real.mpg"));
    const QString link = dir.filePath(QStringLiteral("link.mpg"));
    WriteBytes(real, "old content");
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(real, link));
    {
        File out = File::Create(Name(link));
        out.WriteAll("new", 3);
        EXPECT_EQ(ReadBytes(real), QByteArray("old content"));
        out.Close();
    }
    EXPECT_EQ(ReadBytes(real), QByteArray("new"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2)
        << "nothing left beside it";

    // A file that grants no writing at all is refused, whoever runs the program.
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0444), 0);
    EXPECT_EQ(ErrorOf([&] { File::Create(Name(real)); }).ErrorCode(), 5);
    EXPECT_EQ(ReadBytes(real), QByteArray("new"));
}
