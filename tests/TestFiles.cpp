// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#ifndef _WIN32
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <ftw.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#ifdef _WIN32
int RunProgram(const QString &program, const QStringList &arguments) { return QProcess::execute(program, arguments); }
#else
int RunProgram(const QString &program, const QStringList &arguments)
{
    std::vector<QByteArray> words{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        words.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

#ifndef _WIN32
OpenerWithoutPrograms::OpenerWithoutPrograms()
{
    // What xdg-open and xdg-mime run in a desktop-less session; no player,
    // browser or mailcap viewer among them.
    for (const char *tool :
         {"xdg-open", "xdg-mime", "sh",  "sed",      "grep",    "egrep",    "awk",   "cut",  "tr",
          "head",     "tail",     "cat", "readlink", "dirname", "basename", "which", "file", "printf",
          "id",       "uname",    "tty", "env",      "sort",    "mkdir",    "rm"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(tool));
        EXPECT_FALSE(found.isEmpty()) << tool << " is missing";
        QFile::link(found, folder_.filePath(QString::fromLatin1(tool)));
    }
    QDir(folder_.path()).mkdir(QStringLiteral("empty"));
    const QByteArray empty = QFile::encodeName(folder_.filePath(QStringLiteral("empty")));
    const std::pair<const char *, std::optional<QByteArray>> settings[] = {
        {"PATH", QFile::encodeName(folder_.path())},
        {"HOME", empty},
        {"XDG_CONFIG_HOME", empty},
        {"XDG_CONFIG_DIRS", empty},
        {"XDG_DATA_HOME", empty},
        {"XDG_DATA_DIRS", empty},
        {"XDG_CURRENT_DESKTOP", std::nullopt},
        {"DESKTOP_SESSION", std::nullopt},
        {"KDE_FULL_SESSION", std::nullopt},
        {"GNOME_DESKTOP_SESSION_ID", std::nullopt},
        {"MATE_DESKTOP_SESSION_ID", std::nullopt},
        {"BROWSER", std::nullopt},
    };
    for (const auto &[name, value] : settings) {
        saved_.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
}

OpenerWithoutPrograms::~OpenerWithoutPrograms()
{
    for (const auto &[name, value] : saved_) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}
#endif

bool MakeVcdClip(const QString &path, int seconds)
{
    const QString duration = QStringLiteral("duration=%1").arg(seconds);
    return RunProgram(QStringLiteral("ffmpeg"),
                      {"-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                       "testsrc=" + duration + ":size=352x240:rate=30000/1001", "-f", "lavfi", "-i", "sine=" + duration,
                       "-target", "ntsc-vcd", "-threads", "1", path}) == 0;
}

bool MakeMp4Clip(const QString &path, int seconds, const QString &size, const QStringList &extra)
{
    const QString duration = QStringLiteral("duration=%1").arg(seconds);
    return RunProgram(QStringLiteral("ffmpeg"),
                      QStringList{"-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                  "testsrc=" + duration + ":size=" + size + ":rate=25", "-f", "lavfi", "-i",
                                  "sine=" + duration, "-c:v", "libx264", "-c:a", "aac", "-threads", "1"} +
                          extra + QStringList{path}) == 0;
}

#ifdef _WIN32
// Windows names are UTF-16, so every name is text that QDir can see.
TreeRemoval::~TreeRemoval() { QDir(QString::fromUtf8(folder_)).removeRecursively(); }
#else
TreeRemoval::~TreeRemoval()
{
    ::nftw(
        folder_.constData(), [](const char *path, const struct stat *, int, FTW *) { return std::remove(path); }, 32,
        FTW_DEPTH | FTW_PHYS);
}

FifoWatchdog::FifoWatchdog(const QByteArray &fifo, int seconds) : fifo_(fifo)
{
    thread_ = std::thread([this, seconds] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done_ && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (done_)
            return;
        fired_ = true;
        // A reader and a writer of our own: an open waiting for either side
        // returns, and a write waiting for room finds it drained.
        const int r = ::open(fifo_.constData(), O_RDONLY | O_NONBLOCK);
        const int w = ::open(fifo_.constData(), O_WRONLY | O_NONBLOCK);
        char sink[65536];
        while (!done_ && r >= 0 && ::read(r, sink, sizeof sink) != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (w >= 0)
            ::close(w);
        if (r >= 0)
            ::close(r);
    });
}

FifoWatchdog::~FifoWatchdog()
{
    done_ = true;
    thread_.join();
}

#endif

#ifdef _WIN32
TestMount::TestMount(const QString &program, const QStringList &, QByteArray at, bool fuse)
    : at_(std::move(at)), fuse_(fuse), why_(program + QStringLiteral(" mounts only on Linux"))
{}

TestMount::~TestMount() = default;
#else
TestMount::TestMount(const QString &program, const QStringList &arguments, QByteArray at, bool fuse)
    : at_(std::move(at)), fuse_(fuse)
{
    QProcess mount;
    mount.setProcessChannelMode(QProcess::MergedChannels);
    mount.start(program, arguments);
    if (!mount.waitForStarted(5000)) {
        why_ = program + QStringLiteral(" is not installed");
        return;
    }
    mount.waitForFinished(20000);
    mounted_ = mount.exitStatus() == QProcess::NormalExit && mount.exitCode() == 0;
    if (!mounted_)
        why_ = QStringLiteral("%1 cannot mount here: %2").arg(program, QString::fromLocal8Bit(mount.readAll()));
}

TestMount::~TestMount()
{
    if (!mounted_)
        return;
    if (fuse_)
        QProcess::execute(QStringLiteral("fusermount"), {QStringLiteral("-u"), QString::fromLocal8Bit(at_)});
    else
        ::umount(at_.constData());
}
#endif

#ifndef _WIN32
namespace {

// The program's output, or none when it cannot be run or fails; why then says so.
std::optional<QString> Run(const QString &program, const QStringList &arguments, QString &why)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(5000)) {
        why = program + QStringLiteral(" is not installed");
        return std::nullopt;
    }
    process.waitForFinished(20000);
    const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        why = QStringLiteral("%1 failed: %2").arg(program, output);
        return std::nullopt;
    }
    return output;
}

} // namespace
#endif

ImageMount::ImageMount(const QString &kind, const QString &folder, int kib) : at_(folder + '/' + kind)
{
#ifdef _WIN32
    (void)kib;
    why_ = kind + QStringLiteral(" mounts only on Linux");
#else
    const QString image = folder + '/' + kind + QStringLiteral(".img");
    QDir(folder).mkdir(kind);
    QString device = image;
    QString program = QStringLiteral("fusefat");
    QStringList arguments{"-o", "rw+"};
    if (kind == QStringLiteral("fusefat")) {
        if (!Run(QStringLiteral("mkfs.vfat"), {"-C", image, QString::number(kib)}, why_))
            return;
    } else {
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(kib) << 10) ||
            !Run(QStringLiteral("mkfs.exfat"), {image}, why_))
            return;
        if (::geteuid() == 0) {
            const auto loop = Run(QStringLiteral("losetup"), {"-f", "--show", image}, why_);
            if (!loop)
                return;
            device = loop_ = *loop;
        }
        program = QStringLiteral("mount.exfat-fuse");
        arguments.clear();
    }
    mount_ = std::make_unique<TestMount>(program, arguments << device << at_, QFile::encodeName(at_), true);
#endif
}

ImageMount::~ImageMount()
{
    mount_.reset();
    if (!loop_.isEmpty())
        QProcess::execute(QStringLiteral("losetup"), {"-d", loop_});
}
