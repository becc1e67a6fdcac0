// SPDX-License-Identifier: GPL-3.0-or-later
// The program run as a person would, against attacks through the file
// system: another spelling of a folder on a case-blind file system, modules
// planted where others can write, links planted on the output's path, and a
// join in another PID namespace.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestFiles.h"

namespace {

struct Outcome {
    int status = -1;
    QString err;
};

Outcome RunProgram(const QString &program, const QStringList &args, const QString &folder)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start(program, args);
    EXPECT_TRUE(process.waitForFinished(20000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace

// FAT and exFAT through FUSE find "sub2/X.MPG" also as "SUB2/x.mpg", under
// another inode number for each spelling of the folder. The output named that
// way is the input: refused, and the input stays byte for byte.
TEST(Attacks, AnInputNamedThroughAnotherSpellingOfItsFolderIsRefused)
{
    QTemporaryDir dir;
    const QByteArray input = Pattern(10000, 7), b = Pattern(3000, 8);
    WriteBytes(dir.filePath(QStringLiteral("b.mpg")), b);
    int mounted = 0;
    for (const QString &kind : {QStringLiteral("fusefat"), QStringLiteral("exfat-fuse")}) {
        ImageMount mount(kind, dir.path());
        if (!mount.Mounted()) {
            std::printf("skipped %s: %s\n", qPrintable(kind), qPrintable(mount.Why()));
            continue;
        }
        ++mounted;
        ASSERT_TRUE(QDir(mount.At()).mkdir(QStringLiteral("sub2")));
        const QString x = mount.At() + QStringLiteral("/sub2/X.MPG");
        WriteBytes(x, input);
        const Outcome refused = RunProgram(QStringLiteral(ZANTROPE_PROGRAM),
                                           {"--join", kind + "/SUB2/x.mpg", "b.mpg", kind + "/sub2/X.MPG"}, dir.path());
        EXPECT_EQ(refused.status, 1) << qPrintable(kind) << refused.err.toStdString();
        EXPECT_EQ(ReadBytes(x), input) << qPrintable(kind);
        EXPECT_EQ(QDir(mount.At() + QStringLiteral("/sub2")).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"X.MPG"});

        // Another name in the same folder is another file.
        EXPECT_EQ(RunProgram(QStringLiteral(ZANTROPE_PROGRAM),
                             {"--join", kind + "/SUB2/y.mpg", "b.mpg", kind + "/sub2/X.MPG"}, dir.path())
                      .status,
                  0);
        EXPECT_EQ(ReadBytes(mount.At() + QStringLiteral("/sub2/y.mpg")), b + input) << qPrintable(kind);
    }
    if (mounted == 0)
        GTEST_SKIP() << "no FUSE mount of FAT or exFAT here";
}

namespace {

void CopyProgram(const QString &program)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(program).path()));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZANTROPE_PROGRAM), program));
}

// The planted module at base/relative, made by nobody with the folders it needs.
void Plant(const QString &base, const QString &relative)
{
    const QString path = base + '/' + relative;
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    ASSERT_TRUE(QFile::copy(QStringLiteral(PLANTED_MODULE), path));
    for (QString at = path; at != base; at = QFileInfo(at).path())
        ASSERT_EQ(::lchown(QFile::encodeName(at).constData(), 65534, 65534), 0);
}

} // namespace

// Modules planted by nobody, run by root: under a folder anyone may write,
// where the program's module folder would be for a copy in a subfolder of
// it, and in the bin folder of an install that anyone may write. Neither is
// loaded; the first is refused by name on standard error, and the program
// still joins bytes.
TEST(Attacks, AModulePlantedByAnotherUserIsNeverLoaded)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting another user's module needs root";
    QTemporaryDir dir;
    const QString mark = dir.filePath(QStringLiteral("mark"));
    qputenv("ZANTROPE_PLANTED_MARK", QFile::encodeName(mark));
    WriteBytes(dir.filePath(QStringLiteral("a.mpg")), "aaa");

    const QString world = dir.filePath(QStringLiteral("world"));
    ASSERT_TRUE(QDir().mkpath(world));
    ASSERT_EQ(::chmod(QFile::encodeName(world).constData(), 01777), 0);
    CopyProgram(world + QStringLiteral("/copy/zantrope"));
    const QString planted = QDir::cleanPath(world + QStringLiteral("/copy/" MODULES_FROM_BIN "/zantrope-media.so"));
    Plant(world, QDir(world).relativeFilePath(planted));
    const Outcome movie =
        RunProgram(world + QStringLiteral("/copy/zantrope"), {"--join", "m.mpg", "--movie", "a.mpg"}, dir.path());
    EXPECT_EQ(movie.status, 1);
    EXPECT_TRUE(movie.err.contains(planted + " is not loaded: ")) << movie.err.toStdString();
    EXPECT_FALSE(QFile::exists(mark));
    EXPECT_EQ(RunProgram(world + QStringLiteral("/copy/zantrope"), {"--join", "b.mpg", "a.mpg"}, dir.path()).status, 0);
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("b.mpg"))), QByteArray("aaa"));

    const QString bin = dir.filePath(QStringLiteral("prefix/bin"));
    CopyProgram(bin + QStringLiteral("/zantrope"));
    ASSERT_EQ(::chmod(QFile::encodeName(bin).constData(), 0777), 0);
    const QString modules = QDir::cleanPath(bin + QStringLiteral("/" MODULES_FROM_BIN));
    ASSERT_TRUE(QDir().mkpath(modules));
    ASSERT_TRUE(QFile::copy(QStringLiteral(MEDIA_MODULE), modules + QStringLiteral("/zantrope-media.so")));
    Plant(bin, QStringLiteral("zantrope-media.so"));
    if (!MakeVcdClip(dir.filePath(QStringLiteral("clip.mpg")), 1))
        GTEST_SKIP() << "ffmpeg cannot make a VCD clip here";
    const Outcome installed =
        RunProgram(bin + QStringLiteral("/zantrope"), {"--join", "m.mpg", "--movie", "clip.mpg"}, dir.path());
    EXPECT_EQ(installed.status, 0) << installed.err.toStdString();
    EXPECT_FALSE(QFile::exists(mark));
}

// nobody's link in a sticky folder, at a folder level of the output's path,
// to a folder only root may enter: refused whatever fs.protected_symlinks
// says, and nothing is written there; root's own link is followed.
TEST(Attacks, ALinkPlantedAtAFolderLevelOfTheOutputIsNotFollowed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting another user's link and setting fs.protected_symlinks need root";
    const QString sysctl = QStringLiteral("/proc/sys/fs/protected_symlinks");
    const QByteArray setting = ReadBytes(sysctl);
    struct Restore {
        QString file;
        QByteArray value;
        ~Restore() { WriteBytes(file, value); }
    } restore{sysctl, setting};
    WriteBytes(sysctl, "0");
    ASSERT_EQ(ReadBytes(sysctl).trimmed(), QByteArray("0"));

    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("sticky"));
    QDir(dir.path()).mkdir(QStringLiteral("priv"));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath(QStringLiteral("sticky"))).constData(), 01777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath(QStringLiteral("priv"))).constData(), 0700), 0);
    WriteBytes(dir.filePath(QStringLiteral("priv/out.mpg")), "root's own");
    WriteBytes(dir.filePath(QStringLiteral("a.mpg")), "joined");
    const QByteArray link = QFile::encodeName(dir.filePath(QStringLiteral("sticky/dirlink")));
    ASSERT_EQ(::symlink("../priv", link.constData()), 0);
    ASSERT_EQ(::lchown(link.constData(), 65534, 65534), 0);

    for (const char *output : {"sticky/dirlink/out.mpg", "sticky/dirlink/new.mpg"}) {
        const Outcome refused = RunProgram(QStringLiteral(ZANTROPE_PROGRAM), {"--join", output, "a.mpg"}, dir.path());
        EXPECT_EQ(refused.status, 1);
        EXPECT_TRUE(refused.err.contains("sticky/dirlink is a link that another user put in a shared folder"))
            << refused.err.toStdString();
    }
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("priv/out.mpg"))), QByteArray("root's own"));
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("priv"))).entryList(QDir::Files | QDir::Hidden), QStringList{"out.mpg"});

    ASSERT_EQ(::lchown(link.constData(), 0, 0), 0);
    EXPECT_EQ(
        RunProgram(QStringLiteral(ZANTROPE_PROGRAM), {"--join", "sticky/dirlink/out.mpg", "a.mpg"}, dir.path()).status,
        0);
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("priv/out.mpg"))), QByteArray("joined"));
}

// A join kept waiting while it writes onto FAT, where its new file has a
// hidden name, and another join into the same folder from another PID
// namespace, where the first join's process id names no process: the
// second leaves the first one's file alone, which then finishes whole. A
// file that a killed run left, unlocked, is removed, also where the system
// has unnamed files and names them only for the last instant.
TEST(Attacks, OnlyTheTemporaryFilesOfKilledRunsAreRemoved)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a PID namespace needs root";
    QTemporaryDir dir;
    ImageMount fat(QStringLiteral("fusefat"), dir.path(), 65536);
    if (!fat.Mounted())
        GTEST_SKIP() << fat.Why().toStdString();
    const QByteArray big = Pattern(24 << 20, 5);
    WriteBytes(dir.filePath(QStringLiteral("big.mpg")), big);
    WriteBytes(dir.filePath(QStringLiteral("a.mpg")), "a");
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const QString stale = QStringLiteral(".zantrope-%1-x.part").arg(gone);
    WriteBytes(dir.filePath(stale), "left by kill -9");
    WriteBytes(fat.At() + '/' + stale, "left by kill -9");

    QProcess live;
    live.setWorkingDirectory(dir.path());
    live.start(QStringLiteral(ZANTROPE_PROGRAM), {"--join", "fusefat/out.mpg", "big.mpg"});
    ASSERT_TRUE(live.waitForStarted());
    const QString part = QStringLiteral(".zantrope-%1-").arg(live.processId());
    const auto hidden = [&] {
        return QDir(fat.At()).entryList({part + '*'}, QDir::Files | QDir::Hidden | QDir::System);
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return !hidden().isEmpty(); }, 10000));
    ::kill(pid_t(live.processId()), SIGSTOP);
    const Outcome other =
        RunProgram(QStringLiteral("unshare"),
                   {"-p", "-f", "--mount-proc", ZANTROPE_PROGRAM, "--join", "fusefat/a.mpg", "a.mpg"}, dir.path());
    EXPECT_EQ(other.status, 0) << other.err.toStdString();
    EXPECT_EQ(hidden().size(), 1) << "the live join's file stays";
    EXPECT_FALSE(QFile::exists(fat.At() + '/' + stale));
    ::kill(pid_t(live.processId()), SIGCONT);
    ASSERT_TRUE(live.waitForFinished(60000));
    EXPECT_EQ(live.exitCode(), 0) << live.readAllStandardError().toStdString();
    EXPECT_EQ(ReadBytes(fat.At() + QStringLiteral("/out.mpg")), big);

    EXPECT_EQ(RunProgram(QStringLiteral(ZANTROPE_PROGRAM), {"--join", "out.mpg", "a.mpg"}, dir.path()).status, 0);
    EXPECT_FALSE(QFile::exists(dir.filePath(stale)));
}

// root's copy of the program in a sticky folder, and a misuc.dat that nobody
// put beside it, whose output name would steer root's next Join Now: the
// window uses root's own settings file and says why.
TEST(Attacks, AnotherUsersSettingsBesideTheProgramAreNotUsed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting another user's file needs root";
    QTemporaryDir dir;
    const QString shared = dir.filePath(QStringLiteral("shared"));
    CopyProgram(shared + QStringLiteral("/zantrope"));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString modules = QDir::cleanPath(shared + QStringLiteral("/" MODULES_FROM_BIN));
    ASSERT_TRUE(QDir().mkpath(modules));
    for (const QString &module : {QStringLiteral("zantrope-window.so"), QStringLiteral("zantrope-media.so")})
        ASSERT_TRUE(QFile::copy(QFileInfo(QStringLiteral(MEDIA_MODULE)).path() + '/' + module, modules + '/' + module));
    const QByteArray planted = "[txt]\r\nSaven=/root/precious.mpg\r\n";
    const QString beside = shared + QStringLiteral("/misuc.dat");
    WriteBytes(beside, planted);
    ASSERT_EQ(::chown(QFile::encodeName(beside).constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(beside).constData(), 0666), 0);

    QProcess window;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    window.setProcessEnvironment(env);
    window.start(shared + QStringLiteral("/zantrope"), {});
    const QString own = dir.filePath(QStringLiteral("config/zantrope/misuc.dat"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(own); }, 20000));
    window.kill();
    window.waitForFinished();
    const QString err = QString::fromLocal8Bit(window.readAllStandardError());
    EXPECT_TRUE(err.contains(beside + " belongs to user 65534, not to you")) << err.toStdString();
    EXPECT_EQ(ReadBytes(beside), planted);
}
