// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File helpers shared by the tests.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/FileName.h"

// The sanitizers' runtime needs descriptors of its own to check and report;
// a test that uses up the descriptor limit leaves it none.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#define SKIP_WHEN_SANITIZED()                                                                                          \
    if (kSanitized)                                                                                                    \
    GTEST_SKIP() << "uses up the descriptors the sanitizer needs"

// Bytes that differ from seed to seed, so order mistakes show.
inline QByteArray Pattern(qint64 size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator rng(seed);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(rng.generate());
    return bytes;
}

inline void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// The file's bytes, or "<unreadable>" when it cannot be read.
inline QByteArray ReadBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The error an action throws, or a failure when it throws none.
template <typename Action>
platform::EInOutError ErrorOf(Action action)
{
    try {
        action();
    } catch (const platform::EInOutError &e) {
        return e;
    }
    ADD_FAILURE() << "no EInOutError";
    return platform::EInOutError(0);
}

// Runs program with arguments and waits for it; its exit status, or -1 when
// it could not run or did not end normally. On Linux it is spawned without
// QProcess, whose start (a vfork) ThreadSanitizer cannot follow: its child
// changes the parent's state in the sanitizer, which then misses the locks
// of the parent's threads.
int RunProgram(const QString &program, const QStringList &arguments);

#ifndef _WIN32
// While it lives, the desktop's opener is the real xdg-open with no program
// to hand anything to, as on a system without a player or a browser: PATH
// holds only xdg-open and the tools it runs, the desktop's settings folders
// are empty and no desktop is named. xdg-open then ends with status 3, "no
// method available". Windows' shell answers at once and needs none of this.
class OpenerWithoutPrograms {
public:
    OpenerWithoutPrograms();
    ~OpenerWithoutPrograms();
    OpenerWithoutPrograms(const OpenerWithoutPrograms &) = delete;
    OpenerWithoutPrograms &operator=(const OpenerWithoutPrograms &) = delete;

private:
    QTemporaryDir folder_;
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> saved_; // each variable as it was
};
#endif

// A VCD clip of test picture and tone made by the ffmpeg program; false
// where that program cannot make one (it is missing under Wine).
bool MakeVcdClip(const QString &path, int seconds);

// An MP4 clip of test picture (H.264 at size) and tone (AAC) made by the
// ffmpeg program; false where it cannot make one. A chapter of a camera's.
// extra are more of ffmpeg's options for the output.
bool MakeMp4Clip(const QString &path, int seconds, const QString &size = QStringLiteral("320x240"),
                 const QStringList &extra = {});

// The bytes of a path written in the test as text, as the system writes
// it: Qt's "/" is "\\" on Windows, as in the program's own names and in
// those of the dialogs and the drops.
inline platform::FileName Name(const QString &path)
{
    return platform::FileName::FromUtf8(QDir::toNativeSeparators(path));
}

// A path or text written in the test with "/" as the program shows and
// stores it: with "\\" on Windows.
inline QString Shown(const QString &text) { return QDir::toNativeSeparators(text); }
inline QStringList Shown(QStringList texts)
{
    for (QString &text : texts)
        text = Shown(text);
    return texts;
}
inline QByteArray Shown(const char *text) { return Shown(QString::fromUtf8(text)).toUtf8(); }

// Texts in failure messages as text, not as arrays of characters.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

namespace platform {
// Names in failure messages, with bytes that are not text escaped.
inline void PrintTo(const FileName &name, std::ostream *os)
{
    *os << '"' << name.Bytes().toPercentEncoding("/ ").toStdString() << '"';
}
} // namespace platform

// Opens a name given as bytes: on Linux as they are (they need not be
// UTF-8), on Windows as UTF-8, never through the 8-bit code page.
inline FILE *OpenAt(const QByteArray &path, const char *mode)
{
#ifdef _WIN32
    return ::_wfopen(QString::fromUtf8(path).toStdWString().c_str(), QString::fromLatin1(mode).toStdWString().c_str());
#else
    return std::fopen(path.constData(), mode);
#endif
}

// A file under a name given as bytes.
inline void WriteBytesAt(const QByteArray &path, const QByteArray &bytes)
{
    QFile f;
    ASSERT_TRUE(f.open(OpenAt(path, "wb"), QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

inline QByteArray ReadBytesAt(const QByteArray &path)
{
    QFile f;
    FILE *c = OpenAt(path, "rb");
    if (!c)
        return "<unreadable>";
    f.open(c, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    return f.readAll();
}

// Removes a folder tree when it goes, names that are not UTF-8 included
// (which QDir cannot see).
class TreeRemoval {
public:
    explicit TreeRemoval(QByteArray folder) : folder_(std::move(folder)) {}
    ~TreeRemoval();
    TreeRemoval(const TreeRemoval &) = delete;
    TreeRemoval &operator=(const TreeRemoval &) = delete;

private:
    QByteArray folder_;
};

#ifndef _WIN32
// Fails, instead of hanging the test run, when something blocks on the named
// pipe for longer than the limit: it then opens the pipe's other ends itself,
// which releases whoever waits on it.
class FifoWatchdog {
public:
    FifoWatchdog(const QByteArray &fifo, int seconds);
    ~FifoWatchdog();
    bool Fired() const { return fired_; }

private:
    QByteArray fifo_;
    std::atomic<bool> done_{false}, fired_{false};
    std::thread thread_;
};
#endif

// A mount made for one test (a FUSE view, a bind mount), taken away when it
// goes. Mounted() is false, with Why() saying so, where this machine does not
// allow it (never on Windows); the test then skips.
class TestMount {
public:
    // program and arguments mount at `at`; unmounting uses `fusermount -u`
    // for FUSE mounts and umount(2) for the others.
    TestMount(const QString &program, const QStringList &arguments, QByteArray at, bool fuse);
    ~TestMount();
    TestMount(const TestMount &) = delete;
    TestMount &operator=(const TestMount &) = delete;
    bool Mounted() const { return mounted_; }
    const QString &Why() const { return why_; }

private:
    QByteArray at_;
    bool fuse_;
    bool mounted_ = false;
    QString why_;
};

// A FAT (kind "fusefat") or exFAT ("exfat-fuse") file system made in an image
// in folder and mounted through FUSE at folder/kind: file systems that find a
// name in any case, where each spelling even has an inode number of its own.
// As root, exfat-fuse wants a block device: the image goes through a loop
// device. Mounted() is false, with Why() saying so, where that cannot be done.
class ImageMount {
public:
    ImageMount(const QString &kind, const QString &folder, int kib = 8192);
    ~ImageMount();
    ImageMount(const ImageMount &) = delete;
    ImageMount &operator=(const ImageMount &) = delete;
    bool Mounted() const { return mount_ && mount_->Mounted(); }
    QString Why() const { return mount_ ? mount_->Why() : why_; }
    const QString &At() const { return at_; }

private:
    QString at_, loop_, why_;
    std::unique_ptr<TestMount> mount_;
};
