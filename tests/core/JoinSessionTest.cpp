// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/JoinSession.h"

#include <QDir>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "core/JoinEngine.h"
#include "platform/File.h"

#ifdef _WIN32
#include <windows.h>
#endif

using app::JoinSession;
using platform::FileName;

namespace {

// Passes every step on, and holds the session at one block.
class HoldAt final : public app::JoinObserver {
public:
    HoldAt(JoinSession &session, app::JoinObserver &next, int block) : session_(session), next_(next), block_(block) {}
    void JoinStarted(qint64 total) override { next_.JoinStarted(total); }
    void OutputCreated() override { next_.OutputCreated(); }
    void FileStarted(int index, qint64 size) override { next_.FileStarted(index, size); }
    void BlockCopied(int index, qint64 got) override
    {
        next_.BlockCopied(index, got);
        if (++seen_ == block_) {
            session_.Hold();
            held = true;
        }
    }
    void FileFinished(int index) override { next_.FileFinished(index); }
    bool StopRequested() override { return next_.StopRequested(); }
    static inline std::atomic<bool> held = false;

private:
    JoinSession &session_;
    app::JoinObserver &next_;
    int block_, seen_ = 0;
};

class JoinSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // As the window listens: with a context on this thread, so that the
        // worker's news arrives queued, here.
        QObject *here = &session;
        auto log = [this](const QString &line) { events << line; };
        QObject::connect(&session, &JoinSession::joinStarted, here,
                         [log](int n, qint64 b) { log(QStringLiteral("start %1 %2").arg(n).arg(b)); });
        QObject::connect(&session, &JoinSession::outputCreated, here, [log] { log(QStringLiteral("created")); });
        QObject::connect(&session, &JoinSession::fileStarted, here,
                         [log](int i, qint64 s) { log(QStringLiteral("file %1 %2").arg(i).arg(s)); });
        QObject::connect(&session, &JoinSession::bytesCopied, here, [this](int, qint64 b) { copied += b; });
        QObject::connect(&session, &JoinSession::fileFinished, here,
                         [this, log](int i) { log(QStringLiteral("done %1 at %2").arg(i).arg(copied)); });
        QObject::connect(
            &session, &JoinSession::finished, here,
            [this](JoinSession::Work, JoinSession::Outcome o, std::exception_ptr e, const app::JoinResult &r) {
                outcome = o;
                error = e;
                result = r;
            });
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QByteArray input(const QString &name, qint64 size, quint32 seed)
    {
        const QByteArray bytes = Pattern(size, seed);
        WriteBytes(path(name), bytes);
        session.Append({Name(path(name))});
        return bytes;
    }
    void waitForFinish()
    {
        QSignalSpy spy(&session, &JoinSession::finished);
        ASSERT_TRUE(spy.wait(20000));
        EXPECT_EQ(session.CurrentState(), JoinSession::State::Idle);
    }
    // Joins with the session held after the given block; returns with the worker waiting.
    void joinHeldAt(int block)
    {
        HoldAt::held = false;
        session.WrapObserver([this, block](app::JoinObserver &observer) -> std::unique_ptr<app::JoinObserver> {
            return std::make_unique<HoldAt>(session, observer, block);
        });
        ASSERT_TRUE(session.Join());
        for (int i = 0; i < 2000 && !HoldAt::held; ++i)
            QThread::msleep(5);
        ASSERT_TRUE(HoldAt::held);
    }

    QTemporaryDir dir;
    JoinSession session;
    QStringList events;
    qint64 copied = 0;
    JoinSession::Outcome outcome{};
    std::exception_ptr error;
    app::JoinResult result;
};

} // namespace

TEST_F(JoinSessionTest, JoinsASnapshotAndReportsEachStepInOrder)
{
    QByteArray all = input("a.mpg", 10000, 1);
    all += input("b.mpg", 0, 2);
    all += input("c.mpg", 5, 3);
    // Over a longer old output: when the end is told, the new file holds the name.
    WriteBytes(path("out.mpg"), Pattern(20000, 9));
    session.SetOutput(Name(path("out.mpg")));
    QList<JoinSession::State> states;
    QObject::connect(&session, &JoinSession::stateChanged, &session, [&](JoinSession::State s) { states << s; });
    QByteArray outputAtEnd;
    QObject::connect(&session, &JoinSession::finished, &session, [&] { outputAtEnd = ReadBytes(path("out.mpg")); });
    ASSERT_TRUE(session.Join());
    // While it joins, the list stays as it was taken, and the output name too.
    EXPECT_FALSE(session.Join());
    EXPECT_FALSE(session.Remove(0));
    EXPECT_FALSE(session.Append({Name(path("late.mpg"))}));
    EXPECT_FALSE(session.Clear());
    EXPECT_FALSE(session.Scan({Name(dir.path())}));
    session.SetOutput(Name(path("other.mpg")));
    waitForFinish();

    EXPECT_EQ(outcome, JoinSession::Outcome::Done);
    EXPECT_EQ(result.plan.kind, app::JoinKind::Bytes);
    EXPECT_EQ(result.plan.output, Name(path("out.mpg"))); // the name taken when the join started
    EXPECT_EQ(outputAtEnd, all);
    EXPECT_FALSE(QFile::exists(path("other.mpg")));
    EXPECT_EQ(events, (QStringList{"start 3 10005", "created", "file 0 10000", "done 0 at 10000", "file 1 0",
                                   "done 1 at 10000", "file 2 5", "done 2 at 10005"}));
    EXPECT_EQ(states, (QList<JoinSession::State>{JoinSession::State::Joining, JoinSession::State::Idle}));
    EXPECT_EQ(session.Count(), 3);
}

// Held at a block (the stop question is open), then stopped: the output
// holds exactly the bytes reported, wherever the stop came.
TEST_F(JoinSessionTest, AStopAtAnyBlockLeavesExactlyWhatWasReported)
{
    QByteArray all = input("a.mpg", 3 * 4097, 1);
    all += input("b.mpg", 2 * 4097 + 7, 2);
    session.SetOutput(Name(path("out.mpg")));
    const qint64 sizes[] = {4097, 3 * 4097, 4 * 4097, all.size()};
    int point = 0;
    for (int block : {1, 3, 4, 6}) { // first, end of a file, next file's first, the very last
        QFile::remove(path("out.mpg"));
        copied = 0;
        events.clear();
        joinHeldAt(block);
        session.Stop();
        EXPECT_EQ(session.CurrentState(), JoinSession::State::Stopping);
        waitForFinish();
        EXPECT_EQ(outcome, JoinSession::Outcome::Stopped) << block;
        EXPECT_EQ(result.left, app::OutputLeft::Prefix);
        const QByteArray out = ReadBytes(path("out.mpg"));
        EXPECT_EQ(out, all.left(copied)) << block;
        EXPECT_EQ(out.size(), sizes[point++]) << block;
    }
    // Over an output that existed, a stop keeps the old file whole.
    const QByteArray old = Pattern(20000, 9);
    WriteBytes(path("out.mpg"), old);
    joinHeldAt(4);
    session.Stop();
    waitForFinish();
    EXPECT_EQ(result.left, app::OutputLeft::AsBefore);
    EXPECT_EQ(ReadBytes(path("out.mpg")), old);
    // Held and let go: the join goes on to the end.
    copied = 0;
    joinHeldAt(2);
    session.Resume();
    waitForFinish();
    EXPECT_EQ(outcome, JoinSession::Outcome::Done);
    EXPECT_EQ(ReadBytes(path("out.mpg")), all);
}

// A missing input is refused before the output is made; a disk that fills
// up ends the join with its error and a new output holding an exact prefix.
TEST_F(JoinSessionTest, AFailureEndsTheJoinWithItsErrorAndAnExactPrefix)
{
    const QByteArray a = input("a.mpg", 9000, 1);
    session.Append({Name(path("gone.mpg"))});
    session.SetOutput(Name(path("out.mpg")));
    const auto code = [this] {
        try {
            std::rethrow_exception(error);
        } catch (const platform::EInOutError &e) {
            return e.ErrorCode();
        }
    };
    ASSERT_TRUE(session.Join());
    waitForFinish();
    ASSERT_EQ(outcome, JoinSession::Outcome::Failed);
    EXPECT_EQ(code(), 2);
    EXPECT_FALSE(events.contains("created"));
    EXPECT_FALSE(QFile::exists(path("out.mpg")));

    ASSERT_TRUE(session.Remove(1));
    ASSERT_TRUE(session.Append({Name(path("a.mpg"))}));
    std::atomic<qint64> room = 5000;
    const platform::WriteCalls system = platform::CurrentWriteCalls();
    const auto full = [&](auto call) {
        return [&room, call](platform::Handle x, auto y, size_t n) -> ssize_t {
            if (room <= 0) {
#ifdef _WIN32
                SetLastError(ERROR_DISK_FULL);
#else
                errno = ENOSPC;
#endif
                return -1;
            }
            const ssize_t done = call(x, y, std::min<size_t>(n, size_t(room)));
            room -= std::max<ssize_t>(done, 0);
            return done;
        };
    };
    const platform::WriteCallsOverride disk({full(system.Write), full(system.CopyRange)});
    copied = 0;
    ASSERT_TRUE(session.Join());
    waitForFinish();
    ASSERT_EQ(outcome, JoinSession::Outcome::Failed);
    EXPECT_EQ(code(), 101);
    const QByteArray out = ReadBytes(path("out.mpg")); // what was reported, perhaps a little more
    EXPECT_EQ(out, a.left(5000));
    EXPECT_LE(copied, out.size());
}

TEST_F(JoinSessionTest, AScanAddsFilesAndFoldersInOrderWhileTheListStaysFree)
{
    QDir(dir.path()).mkpath("tree/sub");
    int size = 1;
    for (const char *name : {"tree/clip10.mpg", "tree/clip2.mpg", "tree/sub/x.mp3", "tree/notes.txt", "one.dat"}) {
        WriteBytes(path(name), QByteArray(size, 'x'));
        size *= 10;
    }
    session.Append({Name(path("first.mpg"))});
    ASSERT_TRUE(session.Scan({Name(path("one.dat")), Name(path("tree")), Name(path("tree/notes.txt"))}));
    EXPECT_TRUE(session.Scanning());
    EXPECT_TRUE(session.Remove(0)); // the list is free during a scan
    EXPECT_FALSE(session.Join());
    waitForFinish();
    EXPECT_EQ(outcome, JoinSession::Outcome::Done);
    std::vector<FileName> expected;
    for (const char *name : {"one.dat", "tree/clip2.mpg", "tree/clip10.mpg", "tree/sub/x.mp3"})
        expected.push_back(Name(path(name)));
    EXPECT_EQ(session.Inputs(), expected);

    // The total size follows the list without looking at the files again.
    EXPECT_EQ(session.TotalSize(), 10111);
    ASSERT_TRUE(session.Remove(1));
    ASSERT_TRUE(session.Rename(0, Name(path("tree/notes.txt"))));
    EXPECT_EQ(session.TotalSize(), 1101);
    ASSERT_TRUE(session.Move({0}, 3));
    ASSERT_TRUE(session.Remove(2)); // notes.txt, its size moved with it
    EXPECT_EQ(session.TotalSize(), 101);
    ASSERT_TRUE(session.Clear());
    EXPECT_EQ(session.TotalSize(), 0);
}

// The window closes while work runs: the session goes with it, stopping the
// work and waiting for it, and what was written is an exact prefix.
TEST_F(JoinSessionTest, EndingTheSessionStopsItsWork)
{
    const QByteArray all = input("a.mpg", 4 << 20, 1);
    {
        JoinSession join;
        join.Append({Name(path("a.mpg")), Name(path("a.mpg"))});
        join.SetOutput(Name(path("out.mpg")));
        ASSERT_TRUE(join.Join());
    }
    const QByteArray out = ReadBytes(path("out.mpg"));
    EXPECT_EQ(out, (all + all).left(out.size()));

    QDir(dir.path()).mkdir("many");
    for (int i = 0; i < 2000; ++i)
        WriteBytes(path(QStringLiteral("many/%1.mpg").arg(i)), "x");
    {
        JoinSession scan;
        ASSERT_TRUE(scan.Scan({Name(path("many"))}));
    }
    // A join whose news nobody handles waits for its owner's loop; ending
    // the session still ends it.
    {
        JoinSession join;
        std::vector<FileName> names;
        for (int i = 0; i < 2000; ++i)
            names.push_back(Name(path(QStringLiteral("many/%1.mpg").arg(i))));
        join.Append(names);
        join.SetOutput(Name(path("many.out")));
        ASSERT_TRUE(join.Join());
        QThread::msleep(100); // long enough to reach the wait
    }
}

// Many small files tell more news than a window handles at once; the join
// waits for it now and then, and every file still arrives, in order.
TEST_F(JoinSessionTest, ManySmallFilesAreToldEveryOneInOrder)
{
    QByteArray all;
    for (int i = 0; i < 600; ++i)
        all += input(QStringLiteral("%1.mpg").arg(i), i % 3, quint32(i));
    session.SetOutput(Name(path("out.mpg")));
    QList<int> finished, expected;
    QObject::connect(&session, &JoinSession::fileFinished, &session, [&](int i) { finished << i; });
    ASSERT_TRUE(session.Join());
    waitForFinish();
    EXPECT_EQ(outcome, JoinSession::Outcome::Done);
    EXPECT_EQ(ReadBytes(path("out.mpg")), all);
    for (int i = 0; i < 600; ++i)
        expected << i;
    EXPECT_EQ(finished, expected);
}
