// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/JoinEngine.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "platform/File.h"

#include <cstring>
#include <functional>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using app::JoinEngine;
using platform::EInOutError;

namespace {

// Records every call as a line, plus the block sizes of each input.
class Recorder : public app::JoinObserver {
public:
    explicit Recorder(QStringList inputs) : inputs(std::move(inputs)) {}
    std::vector<platform::FileName> Names() const
    {
        std::vector<platform::FileName> names;
        for (const QString &input : inputs)
            names.push_back(Name(input));
        return names;
    }
    void OutputCreated() override { log << QStringLiteral("created"); }
    void FileStarted(int index, qint64 size) override
    {
        log << QStringLiteral("started %1 %2").arg(index).arg(size);
        blocks.append(QList<qint64>());
    }
    void BlockCopied(int index, qint64 got) override
    {
        log << QStringLiteral("block %1 %2").arg(index).arg(got);
        blocks.last().append(got);
        if (onBlock)
            onBlock(index, got);
    }
    void FileFinished(int index) override { log << QStringLiteral("finished %1").arg(index); }
    bool StopRequested() override
    {
        log << QStringLiteral("stop?");
        return stopAfter >= 0 && ++blocksSeen > stopAfter;
    }

    bool Saw(const QString &line) const { return log.contains(line); }

    QStringList inputs;
    QStringList log;
    QList<QList<qint64>> blocks;
    std::function<void(int, qint64)> onBlock;
    int stopAfter = -1; // blocks to copy before asking to stop; -1 never
    int blocksSeen = 0;
};

class JoinTest : public ::testing::TestWithParam<bool> {
protected:
    // The engine with the copy path of this run of the tests.
    JoinEngine Engine() const
    {
        JoinEngine engine;
        engine.SetKernelCopy(GetParam());
        return engine;
    }
    QString Path(const QString &name) const { return dir.filePath(name); }
    qint64 Piece() const { return JoinEngine::Piece; }
    QString Input(const QString &name, const QByteArray &bytes)
    {
        const QString path = Path(name);
        WriteBytes(path, bytes);
        return path;
    }
    EInOutError FailedJoin(const QString &output, Recorder &recorder)
    {
        return ErrorOf([&] { Engine().Join(Name(output), recorder.Names(), recorder); });
    }

    QTemporaryDir dir;
};

} // namespace

TEST_P(JoinTest, OutputIsTheConcatenationInListOrder)
{
    QList<qint64> sizes{0, 1, 4096, 4097, 4098, 3 * 4097, 0};
    QRandomGenerator rng(7);
    for (int i = 0; i < 4; ++i)
        sizes << rng.bounded(1, 200000);
    QStringList inputs;
    QByteArray expected;
    for (int i = 0; i < sizes.size(); ++i) {
        const QByteArray bytes = Pattern(sizes[i], quint32(i));
        inputs << Input(QStringLiteral("in%1.mpg").arg(i), bytes);
        expected += bytes;
    }
    // Listed twice and in reverse too: the order is the list's, duplicates allowed.
    inputs << inputs[3];
    expected += ReadBytes(inputs[3]);
    const QString output = Input(QStringLiteral("out.mpg"), QByteArray(300000, 'o')); // replaced, not appended to

    Recorder recorder(inputs);
    Engine().Join(Name(output), recorder.Names(), recorder);
    EXPECT_EQ(ReadBytes(output), expected);
    for (const QString &input : inputs)
        EXPECT_TRUE(QFile::exists(input));
    EXPECT_EQ(ReadBytes(inputs[5]).size(), 3 * 4097); // inputs untouched
}

TEST_P(JoinTest, BlocksAreOf4097BytesWithNoEmptyBlock)
{
    const QList<qint64> sizes{0, 1, 4096, 4097, 4098, 3 * 4097, 3 * 4097 + 5};
    QStringList inputs;
    for (int i = 0; i < sizes.size(); ++i)
        inputs << Input(QStringLiteral("in%1.mpg").arg(i), Pattern(sizes[i], 1));
    Recorder recorder(inputs);
    Engine().Join(Name(Path(QStringLiteral("out.mpg"))), recorder.Names(), recorder);
    using L = QList<qint64>;
    const QList<L> expected{L{}, L{1}, L{4096}, L{4097}, L{4097, 1}, L{4097, 4097, 4097}, L{4097, 4097, 4097, 5}};
    EXPECT_EQ(recorder.blocks, expected);
}

// The system may copy or write less than asked at any call; blocks stay whole
// across the program's pieces and across such short calls.
TEST_P(JoinTest, BlocksStayWholeAcrossPiecesAndShortCalls)
{
    const qint64 size = Piece() + 3 * 4097 + 5;
    const QByteArray content = Pattern(size, 4);
    const QString a = Input(QStringLiteral("a.mpg"), content);
    const auto shortly = [](auto call) {
        return [call](platform::Handle x, auto y, size_t n) { return call(x, y, std::min<size_t>(n, 1000)); };
    };
    platform::WriteCalls system = platform::CurrentWriteCalls();
    const platform::WriteCallsOverride shortCalls({shortly(system.Write), shortly(system.CopyRange)});
    Recorder recorder({a});
    Engine().Join(Name(Path(QStringLiteral("out.mpg"))), recorder.Names(), recorder);
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("out.mpg"))), content);
    QList<qint64> expected(size / 4097, 4097);
    expected << size % 4097;
    EXPECT_EQ(recorder.blocks[0], expected);
}

// A write that comes up short and then fails: the output holds exactly the
// bytes of the list up to the failure, none twice, and the progress reported
// never runs ahead of what the output holds.
TEST_P(JoinTest, AShortWriteThenAFailureLeaveAnExactPrefix)
{
    const QByteArray first = Pattern(3 * Piece() / 2, 5), second = Pattern(300000, 6);
    const QStringList inputs{Input(QStringLiteral("a.mpg"), first), Input(QStringLiteral("b.mpg"), second)};
    const QString output = Path(QStringLiteral("out.mpg"));
    for (const qint64 failAt : {qint64(100000), Piece() + 5000, first.size() + 7000}) {
        QFile::remove(output);
        qint64 written = 0;
        bool failing = false;
        // Up to failAt everything goes through; the call that crosses it
        // stops there, and the next one fails.
        auto faulty = [&](auto call) {
            return [&, call](platform::Handle x, auto y, size_t n) -> ssize_t {
                if (failing) {
#ifdef _WIN32
                    SetLastError(ERROR_IO_DEVICE);
#else
                    errno = EIO;
#endif
                    return -1;
                }
                const qint64 room = failAt - written;
                if (qint64(n) >= room) {
                    failing = true;
                    n = size_t(room);
                }
                const ssize_t done = call(x, y, n);
                written += std::max<ssize_t>(done, 0);
                return done;
            };
        };
        platform::WriteCalls system = platform::CurrentWriteCalls();
        const platform::WriteCallsOverride fault({faulty(system.Write), faulty(system.CopyRange)});
        Recorder recorder(inputs);
        qint64 reported = 0;
        recorder.onBlock = [&](int, qint64 got) {
            reported += got;
            EXPECT_LE(reported, written);
        };
        const EInOutError e = FailedJoin(output, recorder);
#ifdef _WIN32
        EXPECT_EQ(e.ErrorCode(), ERROR_IO_DEVICE);
#else
        EXPECT_EQ(e.ErrorCode(), EIO);
#endif
        EXPECT_EQ(ReadBytes(output), (first + second).left(failAt)) << failAt;
        // A join that fails over an output that existed leaves it whole.
        WriteBytes(output, "old output");
        written = reported = 0;
        failing = false;
        EXPECT_EQ(FailedJoin(output, recorder).ErrorCode(), e.ErrorCode());
        EXPECT_EQ(ReadBytes(output), QByteArray("old output")) << failAt;
    }
}

#ifndef _WIN32
// Through an overlay mount an input is the output under another device
// number; inode, size and modification time still give it away.
TEST_P(JoinTest, AnInputSeenThroughAnOverlayMountIsRefused)
{
    for (const char *sub : {"lower", "upper", "work", "merged"})
        ASSERT_TRUE(QDir(dir.path()).mkdir(QString::fromLatin1(sub)));
    const QByteArray content = Pattern(50000, 8);
    const QString output = Input(QStringLiteral("lower/a.mpg"), content);
    const QString b = Input(QStringLiteral("b.mpg"), "bbb");
    const QByteArray options = "lowerdir=" + QFile::encodeName(Path(QStringLiteral("lower"))) +
                               ",upperdir=" + QFile::encodeName(Path(QStringLiteral("upper"))) +
                               ",workdir=" + QFile::encodeName(Path(QStringLiteral("work")));
    const QByteArray merged = QFile::encodeName(Path(QStringLiteral("merged")));
    if (::mount("overlay", merged.constData(), "overlay", 0, options.constData()) != 0)
        GTEST_SKIP() << "no overlay mounts here: " << std::strerror(errno);
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount(at.constData()); }
    } unmount{merged};
    const QString input = Path(QStringLiteral("merged/a.mpg"));
    Recorder recorder({input, b});
    EXPECT_EQ(FailedJoin(output, recorder).ErrorCode(), platform::InOutCode::AccessDenied);
    EXPECT_EQ(ReadBytes(output), content);
}
#endif

TEST_P(JoinTest, ObserverSeesEveryStepInOrder)
{
    const QStringList inputs{Input(QStringLiteral("a.mpg"), Pattern(4098, 1)),
                             Input(QStringLiteral("b.mpg"), QByteArray())};
    Recorder recorder(inputs);
    Engine().Join(Name(Path(QStringLiteral("out.mpg"))), recorder.Names(), recorder);
    const QStringList expected{
        QStringLiteral("created"),    QStringLiteral("started 0 4098"), QStringLiteral("block 0 4097"),
        QStringLiteral("stop?"),      QStringLiteral("block 0 1"),      QStringLiteral("stop?"),
        QStringLiteral("finished 0"), QStringLiteral("started 1 0"),    QStringLiteral("finished 1")};
    EXPECT_EQ(recorder.log, expected);
}

// A stop asked for after any block leaves a new output with exactly the
// blocks reported so far, and an output that existed before as it was.
TEST_P(JoinTest, AStopLeavesExactlyTheBlocksReportedOrTheOldOutputWhole)
{
    const QByteArray first = Pattern(3 * 4097 + 10, 1);
    const QByteArray second = Pattern(2 * 4097, 2);
    const QStringList inputs{Input(QStringLiteral("a.mpg"), first), Input(QStringLiteral("b.mpg"), second)};
    const QString output = Path(QStringLiteral("out.mpg"));
    const auto stop = [&](int stopAfter) {
        Recorder recorder(inputs);
        recorder.stopAfter = stopAfter;
        try {
            Engine().Join(Name(output), recorder.Names(), recorder);
        } catch (const app::JoinStopped &stopped) {
            return stopped.left;
        }
        ADD_FAILURE() << "not stopped";
        return app::OutputLeft::Nothing;
    };
    // The first block, the last of a file, the last of the join.
    for (const auto &[stopAfter, reported] :
         {std::pair{0, qint64(4097)}, std::pair{3, first.size()}, std::pair{5, first.size() + second.size()}}) {
        QFile::remove(output);
        EXPECT_EQ(stop(stopAfter), app::OutputLeft::Prefix);
        EXPECT_EQ(ReadBytes(output), (first + second).left(reported)) << stopAfter;
    }
    const QByteArray old = Pattern(50000, 7);
    WriteBytes(output, old);
    for (const int stopAfter : {0, 5}) {
        EXPECT_EQ(stop(stopAfter), app::OutputLeft::AsBefore);
        EXPECT_EQ(ReadBytes(output), old) << stopAfter;
    }
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden).isEmpty());
}

// Every input is found, readable and a file before anything is created: a
// missing one, first or later, leaves an existing output as it was.
TEST_P(JoinTest, AMissingInputIsRefusedBeforeTheOutputIsTouched)
{
    const QString a = Input(QStringLiteral("a.mpg"), Pattern(10000, 3));
    const QString missing = Path(QStringLiteral("missing.mpg"));
    const QString output = Input(QStringLiteral("out.mpg"), "old output");
    for (const QStringList &inputs : {QStringList{a, missing}, QStringList{missing, a}}) {
        Recorder recorder(inputs);
        const EInOutError e = FailedJoin(output, recorder);
        EXPECT_EQ(e.ErrorCode(), 2);
        EXPECT_EQ(e.Message(), QStringLiteral("File not found"));
        EXPECT_EQ(e.Details(), Shown(missing));
        EXPECT_FALSE(recorder.Saw(QStringLiteral("created")));
        EXPECT_EQ(ReadBytes(output), QByteArray("old output"));
    }
#ifndef _WIN32
    // Root reads every file: an unreadable input can only be shown as another user.
    if (::geteuid() != 0) {
        const QString locked = Input(QStringLiteral("locked.mpg"), "locked");
        ASSERT_TRUE(QFile::setPermissions(locked, QFile::WriteOwner));
        Recorder recorder({a, locked});
        EXPECT_EQ(FailedJoin(output, recorder).ErrorCode(), 5);
        EXPECT_EQ(ReadBytes(output), QByteArray("old output"));
    }
#endif
}

TEST_P(JoinTest, OutputThatCannotBeCreatedFailsBeforeAnythingIsReset)
{
    const QStringList inputs{Input(QStringLiteral("a.mpg"), "a"), Input(QStringLiteral("b.mpg"), "b")};
    const QString plain = Input(QStringLiteral("plain"), "p");
    struct Case {
        QString output;
        int code;
        QString message;
    };
    const Case cases[] = {
        {Path(QStringLiteral("no/folder/out.mpg")), 3, QStringLiteral("Invalid filename")},
        {plain + QStringLiteral("/out.mpg"), 3, QStringLiteral("Invalid filename")},
#ifndef _WIN32
        {QStringLiteral("/sys/zantrope-out.mpg"), 5, QStringLiteral("File access denied")},
#endif
#ifdef _WIN32
        {dir.path(), 5, QStringLiteral("File access denied")},
#else
        {dir.path(), 5, QStringLiteral("File access denied: %1 is a folder").arg(dir.path())},
#endif
    };
    for (const Case &c : cases) {
        Recorder recorder(inputs);
        const EInOutError e = FailedJoin(c.output, recorder);
        EXPECT_EQ(e.ErrorCode(), c.code) << c.output.toStdString();
        EXPECT_EQ(e.Message(), c.message);
        EXPECT_FALSE(recorder.Saw(QStringLiteral("created"))) << c.output.toStdString();
    }
    EXPECT_EQ(ReadBytes(plain), QByteArray("p"));
}

TEST_P(JoinTest, InputErrorsCarryTheirCodes)
{
    const QString a = Input(QStringLiteral("a.mpg"), "aaa");
    struct Case {
        QString input;
        int code;
        QString message;
    };
    std::vector<Case> cases{{Path(QStringLiteral("gone/a.mpg")), 3, QStringLiteral("Invalid filename")}};
#ifndef _WIN32
    const QString loop = Path(QStringLiteral("loop.mpg"));
    ASSERT_EQ(::symlink(QFile::encodeName(loop).constData(), QFile::encodeName(loop).constData()), 0);
    cases.push_back({loop, ELOOP, QStringLiteral("I/O error %1").arg(ELOOP)});
#endif
    for (const Case &c : cases) {
        Recorder recorder({a, c.input});
        const EInOutError e = FailedJoin(Path(QStringLiteral("out.mpg")), recorder);
        EXPECT_EQ(e.ErrorCode(), c.code) << c.input.toStdString();
        EXPECT_EQ(e.Message(), c.message);
        EXPECT_FALSE(recorder.Saw(QStringLiteral("created")));
    }
}

// A folder, a pipe or a device among the inputs could never be joined, and a
// pipe would stall the window: the join is refused before the output is touched.
#ifdef _WIN32
TEST_P(JoinTest, InputsThatAreNoFilesAreRefusedBeforeTheOutputIsTouched)
{
    const QString a = Input(QStringLiteral("a.mpg"), "aaa");
    const QString output = Input(QStringLiteral("out.mpg"), "old");
    for (const QString &input : {dir.path(), QStringLiteral("//./NUL"), QStringLiteral("NUL")}) {
        Recorder recorder({a, input});
        const EInOutError e = FailedJoin(output, recorder);
        EXPECT_EQ(e.ErrorCode(), 5) << input.toStdString();
        EXPECT_FALSE(recorder.Saw(QStringLiteral("created")));
        EXPECT_EQ(ReadBytes(output), QByteArray("old"));
    }
}
#else
TEST_P(JoinTest, InputsThatAreNoFilesAreRefusedBeforeTheOutputIsTouched)
{
    const QString fifo = Path(QStringLiteral("pipe.mpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0666), 0);
    FifoWatchdog watchdog(QFile::encodeName(fifo), 10);
    const QString a = Input(QStringLiteral("a.mpg"), "aaa");
    const QString output = Input(QStringLiteral("out.mpg"), "old");
    for (const QString &input : {dir.path(), fifo, QStringLiteral("/dev/zero")}) {
        Recorder recorder({a, input});
        const EInOutError e = FailedJoin(output, recorder);
        EXPECT_EQ(e.ErrorCode(), 5) << input.toStdString();
        EXPECT_FALSE(recorder.Saw(QStringLiteral("created")));
        EXPECT_EQ(ReadBytes(output), QByteArray("old"));
    }
    EXPECT_FALSE(watchdog.Fired());

    // An output that is a pipe with no reader is refused too, instead of
    // swallowing the bytes or waiting.
    Recorder recorder({a, a});
    EXPECT_EQ(FailedJoin(fifo, recorder).ErrorCode(), 5);
    EXPECT_FALSE(watchdog.Fired());
}

// Linux only: Windows has no descriptor limit to lower and no full device.

TEST_P(JoinTest, TooManyOpenFilesIsFour)
{
    SKIP_WHEN_SANITIZED();
    const QStringList inputs{Input(QStringLiteral("a.mpg"), "a"), Input(QStringLiteral("b.mpg"), "b")};
    Recorder recorder(inputs);
    // Leave room for exactly two more descriptors: the output's folder and
    // the output open, the first input does not.
    const int lowestFree = ::dup(0);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit lowered = saved;
    lowered.rlim_cur = rlim_t(lowestFree + 2);
    setrlimit(RLIMIT_NOFILE, &lowered);
    const EInOutError e = FailedJoin(Path(QStringLiteral("out.mpg")), recorder);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(e.ErrorCode(), 4);
    EXPECT_EQ(e.Message(), QStringLiteral("Too many open files"));
    EXPECT_TRUE(recorder.Saw(QStringLiteral("created")));
    EXPECT_FALSE(recorder.Saw(QStringLiteral("started 0 1")));
}

TEST_P(JoinTest, FullDiskStopsBeforeTheFileCountsAsJoined)
{
    Recorder recorder({Input(QStringLiteral("a.mpg"), Pattern(5000, 1)), Input(QStringLiteral("b.mpg"), "b")});
    const EInOutError e = FailedJoin(QStringLiteral("/dev/full"), recorder);
    EXPECT_EQ(e.ErrorCode(), 101);
    EXPECT_EQ(e.Message(), QStringLiteral("Disk full"));
    EXPECT_TRUE(recorder.Saw(QStringLiteral("started 0 5000")));
    EXPECT_FALSE(recorder.Saw(QStringLiteral("finished 0")));
    EXPECT_FALSE(recorder.Saw(QStringLiteral("started 1 1")));
}
#endif

TEST_P(JoinTest, RefusesAnOutputThatIsAnInputWhateverItsSpelling)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("d")));
    const QByteArray content = Pattern(9000, 5);
    const QString a = Input(QStringLiteral("d/a.mpg"), content);
    const QString b = Input(QStringLiteral("b.mpg"), "bbb");
    const QString hard = Path(QStringLiteral("hard.mpg"));
#ifdef _WIN32
    // Windows' spellings: a hard link, another case, backslashes.
    ASSERT_TRUE(::CreateHardLinkW(reinterpret_cast<const wchar_t *>(hard.utf16()),
                                  reinterpret_cast<const wchar_t *>(a.utf16()), nullptr));
    const QStringList spellings{Path(QStringLiteral("d/../d/a.mpg")), hard, Path(QStringLiteral("D/A.MPG")),
                                QDir::toNativeSeparators(a)};
#else
    const QString link = Path(QStringLiteral("link.mpg"));
    ASSERT_TRUE(QFile::link(a, link));
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(hard).constData()), 0);
    const QStringList spellings{Path(QStringLiteral("d/../d/a.mpg")), link, hard};
#endif

    for (const QString &output : spellings) {
        Recorder recorder({b, a});
        const EInOutError e = FailedJoin(output, recorder);
        EXPECT_TRUE(e.Message().contains(Shown(a))) << e.Message().toStdString();
        EXPECT_FALSE(recorder.Saw(QStringLiteral("created")));
        EXPECT_EQ(ReadBytes(a), content);
    }
}

TEST_P(JoinTest, InputThatShrinksEndsWithAnErrorNamingIt)
{
    // Larger than one piece, so the cut is met by a later read.
    const qint64 piece = Piece();
    const QByteArray content = Pattern(piece + 3 * 4097, 9);
    const QString a = Input(QStringLiteral("a.mpg"), content);
    const QString b = Input(QStringLiteral("b.mpg"), "bbb");
    const QString output = Path(QStringLiteral("out.mpg"));
    for (const qint64 cut : {qint64(0), qint64(4097), piece + 5000}) {
        QFile::remove(output);
        Recorder recorder({a, b});
        recorder.onBlock = [&](int, qint64) {
            if (recorder.blocks[0].size() == 1) {
                ASSERT_TRUE(QFile::resize(a, cut));
            }
        };
        WriteBytes(a, content);
        const EInOutError e = FailedJoin(output, recorder);
        EXPECT_EQ(e.ErrorCode(), platform::InOutCode::ReadError);
        EXPECT_EQ(e.Message(), JoinEngine::ShrunkInputMessage(Name(a)));
        EXPECT_TRUE(e.Message().contains(Shown(a)));
        EXPECT_FALSE(e.Message().endsWith(QLatin1Char('.')));
        // What was copied before the cut stays; nothing after it is made up.
        EXPECT_EQ(ReadBytes(output), content.left(std::max<qint64>(cut, piece)));
        EXPECT_FALSE(recorder.Saw(QStringLiteral("finished 0")));
    }
}

TEST_P(JoinTest, InputThatGrowsIsCopiedAtItsMeasuredSize)
{
    const QByteArray content = Pattern(5000, 2);
    const QString a = Input(QStringLiteral("a.mpg"), content);
    Recorder recorder({a});
    recorder.onBlock = [&](int, qint64) {
        QFile f(a);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(QByteArray(10000, 'g'));
    };
    Engine().Join(Name(Path(QStringLiteral("out.mpg"))), recorder.Names(), recorder);
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("out.mpg"))), content);
    EXPECT_EQ(recorder.blocks[0], QList<qint64>({4097, 903}));
}

TEST_P(JoinTest, InputsOfTwoGibibytesAndMoreKeepTheirSize)
{
    const QString big = Path(QStringLiteral("big.mpg"));
    const qint64 size = (qint64(1) << 31) + 1;
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(size)); // sparse
    }
    struct Stop {};
    Recorder recorder({big});
    recorder.onBlock = [](int, qint64) { throw Stop(); }; // one block is enough to see the size
    EXPECT_THROW(Engine().Join(Name(Path(QStringLiteral("out.mpg"))), recorder.Names(), recorder), Stop);
    EXPECT_TRUE(recorder.Saw(QStringLiteral("started 0 %1").arg(size)));
    const qint64 copied = QFileInfo(Path(QStringLiteral("out.mpg"))).size();
    EXPECT_GE(copied, 4097);
    EXPECT_LE(copied, Piece());
}

#ifdef _WIN32
// Windows copies no range of a file inside the system: the buffered path only.
INSTANTIATE_TEST_SUITE_P(CopyPaths, JoinTest, ::testing::Values(false),
#else
INSTANTIATE_TEST_SUITE_P(CopyPaths, JoinTest, ::testing::Values(true, false),
#endif
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "KernelCopy" : "Buffered";
                         });

#ifndef _WIN32
// An engine that copies in the kernel wherever the system lets it, whatever
// the output's file system.
JoinEngine KernelCopyEngine()
{
    JoinEngine engine;
    engine.SetKernelCopy(true);
    return engine;
}

// The system may refuse the kernel copy at any piece (another file system
// answers EXDEV), or copy nothing before the file's end, as some file systems
// do; the join goes on through the buffer from exactly there.
TEST(JoinCopyPathSwitch, KernelCopyRefusedAtTheFirstAMiddleOrTheLastPiece)
{
    QTemporaryDir dir;
    const qint64 piece = JoinEngine::Piece;
    const QByteArray content = Pattern(3 * piece + 12345, 6); // four pieces
    const QString input = dir.filePath(QStringLiteral("a.mpg"));
    const QString output = dir.filePath(QStringLiteral("out.mpg"));
    WriteBytes(input, content);
    const platform::WriteCalls system = platform::CurrentWriteCalls();
    for (const bool copiesNothing : {false, true})
        for (const int refusedAt : {0, 2, 3}) {
            int calls = 0;
            const platform::WriteCallsOverride refuse({nullptr, [&](int in, int out, size_t n) -> ssize_t {
                                                           if (calls++ != refusedAt)
                                                               return system.CopyRange(in, out, n);
                                                           errno = EXDEV;
                                                           return copiesNothing ? 0 : -1;
                                                       }});
            Recorder recorder({input});
            KernelCopyEngine().Join(Name(output), recorder.Names(), recorder);
            EXPECT_EQ(ReadBytes(output), content)
                << "kernel copy " << (copiesNothing ? "copied nothing" : "refused") << " at piece " << refusedAt;
        }
}

// Between two real file systems, where copy_file_range is refused at the
// first piece, every byte arrives in order through the buffer.
TEST(JoinCopyPathSwitch, InputsOnAnotherFileSystemJoinExactly)
{
    QTemporaryDir here;
    QTemporaryDir there(QStringLiteral("/dev/shm/join-XXXXXX"));
    struct stat a {
    }, b{};
    if (!there.isValid() || ::stat(QFile::encodeName(here.path()).constData(), &a) != 0 ||
        ::stat(QFile::encodeName(there.path()).constData(), &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    const QByteArray first = Pattern(JoinEngine::Piece + 4097, 1), second = Pattern(77777, 2);
    const QString in1 = there.filePath(QStringLiteral("a.mpg")), in2 = there.filePath(QStringLiteral("b.mpg"));
    WriteBytes(in1, first);
    WriteBytes(in2, second);
    const QString output = here.filePath(QStringLiteral("out.mpg"));
    Recorder recorder({in1, in2});
    KernelCopyEngine().Join(Name(output), recorder.Names(), recorder);
    EXPECT_EQ(ReadBytes(output), first + second);
}
#endif
