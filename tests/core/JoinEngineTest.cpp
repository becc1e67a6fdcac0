#include "app/JoinEngine.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "TestFiles.h"

#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using app::JoinEngine;
using platform::EInOutError;

namespace {




// Records every call as a line, plus the block sizes of each input.
class Recorder : public app::JoinObserver {
public:
    explicit Recorder(QStringList inputs) : inputs(std::move(inputs)) {}
    QString InputName(int index) override
    {
        log << QStringLiteral("name %1").arg(index);
        return inputs[index];
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
    void PumpEvents() override { log << QStringLiteral("pump"); }

    bool Saw(const QString &line) const { return log.contains(line); }

    QStringList inputs;
    QStringList log;
    QList<QList<qint64>> blocks;
    std::function<void(int, qint64)> onBlock;
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
    QString Input(const QString &name, const QByteArray &bytes)
    {
        const QString path = Path(name);
        WriteBytes(path, bytes);
        return path;
    }
    EInOutError FailedJoin(const QString &output, Recorder &recorder)
    {
        return ErrorOf([&] { Engine().Join(output, int(recorder.inputs.size()), recorder); });
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
    Engine().Join(output, int(inputs.size()), recorder);
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
    Engine().Join(Path(QStringLiteral("out.mpg")), int(inputs.size()), recorder);
    using L = QList<qint64>;
    const QList<L> expected{L{}, L{1}, L{4096}, L{4097}, L{4097, 1}, L{4097, 4097, 4097}, L{4097, 4097, 4097, 5}};
    EXPECT_EQ(recorder.blocks, expected);
}

TEST_P(JoinTest, ObserverSeesEveryStepInOrder)
{
    const QStringList inputs{Input(QStringLiteral("a.mpg"), Pattern(4098, 1)),
                             Input(QStringLiteral("b.mpg"), QByteArray())};
    Recorder recorder(inputs);
    Engine().Join(Path(QStringLiteral("out.mpg")), 2, recorder);
    const QStringList expected{
        // every name once for the same-file check, then each when its turn comes
        QStringLiteral("name 0"), QStringLiteral("name 1"), QStringLiteral("created"),
        QStringLiteral("name 0"), QStringLiteral("started 0 4098"),
        QStringLiteral("pump"), QStringLiteral("pump"), QStringLiteral("block 0 4097"),
        QStringLiteral("pump"), QStringLiteral("pump"), QStringLiteral("block 0 1"),
        QStringLiteral("finished 0"),
        QStringLiteral("name 1"), QStringLiteral("started 1 0"), QStringLiteral("finished 1")};
    EXPECT_EQ(recorder.log, expected);
}

TEST_P(JoinTest, NamesAreReadWhenTheirTurnComes)
{
    const QString a = Input(QStringLiteral("a.mpg"), "AAAA");
    const QString b = Input(QStringLiteral("b.mpg"), "BBBB");
    const QString c = Input(QStringLiteral("c.mpg"), "CC");
    Recorder recorder({a, b});
    recorder.onBlock = [&](int index, qint64) {
        if (index == 0)
            recorder.inputs[1] = c; // the list changed while the first file was copied
    };
    Engine().Join(Path(QStringLiteral("out.mpg")), 2, recorder);
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("out.mpg"))), QByteArray("AAAACC"));
}

TEST_P(JoinTest, MissingInputStopsTheJoinAndKeepsWhatWasWritten)
{
    const QByteArray first = Pattern(10000, 3);
    const QStringList inputs{Input(QStringLiteral("a.mpg"), first), Path(QStringLiteral("missing.mpg")),
                             Input(QStringLiteral("c.mpg"), "ccc")};
    const QString output = Path(QStringLiteral("out.mpg"));
    Recorder recorder(inputs);
    const EInOutError e = FailedJoin(output, recorder);
    EXPECT_EQ(e.ErrorCode(), 2);
    EXPECT_EQ(e.Message(), QStringLiteral("File not found"));
    EXPECT_EQ(ReadBytes(output), first);
    EXPECT_TRUE(recorder.Saw(QStringLiteral("finished 0")));
    EXPECT_FALSE(recorder.Saw(QStringLiteral("started 1 0")));
    EXPECT_FALSE(recorder.Saw(QStringLiteral("started 2 3")));
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
        {QStringLiteral("/sys/zantrope-out.mpg"), 5, QStringLiteral("File access denied")},
        {dir.path(), 5, QStringLiteral("File access denied")},
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
    const QString loop = Path(QStringLiteral("loop.mpg"));
    ASSERT_EQ(::symlink(QFile::encodeName(loop).constData(), QFile::encodeName(loop).constData()), 0);
    const QString a = Input(QStringLiteral("a.mpg"), "aaa");
    struct Case {
        QString input;
        int code;
        QString message;
    };
    const Case cases[] = {
        {dir.path(), 5, QStringLiteral("File access denied")},                   // a folder
        {Path(QStringLiteral("gone/a.mpg")), 3, QStringLiteral("Invalid filename")},
        {loop, ELOOP, QStringLiteral("I/O error %1").arg(ELOOP)},
    };
    for (const Case &c : cases) {
        Recorder recorder({a, c.input});
        const EInOutError e = FailedJoin(Path(QStringLiteral("out.mpg")), recorder);
        EXPECT_EQ(e.ErrorCode(), c.code) << c.input.toStdString();
        EXPECT_EQ(e.Message(), c.message);
        EXPECT_EQ(ReadBytes(Path(QStringLiteral("out.mpg"))), QByteArray("aaa"));
    }
}

TEST_P(JoinTest, TooManyOpenFilesIsFour)
{
    const QStringList inputs{Input(QStringLiteral("a.mpg"), "a"), Input(QStringLiteral("b.mpg"), "b")};
    Recorder recorder(inputs);
    // Leave room for exactly one more descriptor: the output opens, the first input does not.
    const int lowestFree = ::dup(0);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit lowered = saved;
    lowered.rlim_cur = rlim_t(lowestFree + 1);
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

TEST_P(JoinTest, RefusesAnOutputThatIsAnInputWhateverItsSpelling)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("d")));
    const QByteArray content = Pattern(9000, 5);
    const QString a = Input(QStringLiteral("d/a.mpg"), content);
    const QString b = Input(QStringLiteral("b.mpg"), "bbb");
    const QString link = Path(QStringLiteral("link.mpg"));
    ASSERT_TRUE(QFile::link(a, link));
    const QString hard = Path(QStringLiteral("hard.mpg"));
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(hard).constData()), 0);

    for (const QString &output : {Path(QStringLiteral("d/../d/a.mpg")), link, hard}) {
        EXPECT_EQ(JoinEngine::FindInputSameAsOutput(output, {b, a}), 1);
        Recorder recorder({b, a});
        const EInOutError e = FailedJoin(output, recorder);
        EXPECT_TRUE(e.Message().contains(a)) << e.Message().toStdString();
        EXPECT_FALSE(recorder.Saw(QStringLiteral("created")));
        EXPECT_EQ(ReadBytes(a), content);
    }
    EXPECT_EQ(JoinEngine::FindInputSameAsOutput(Path(QStringLiteral("new.mpg")), {a, b}), -1);
    EXPECT_EQ(JoinEngine::FindInputSameAsOutput(b, {a, Path(QStringLiteral("missing.mpg"))}), -1);
}

TEST_P(JoinTest, InputThatShrinksEndsWithAnErrorNamingIt)
{
    // Larger than one piece, so the cut is met by a later read.
    const qint64 piece = JoinEngine::PieceSize;
    const QByteArray content = Pattern(piece + 3 * 4097, 9);
    const QString a = Input(QStringLiteral("a.mpg"), content);
    const QString b = Input(QStringLiteral("b.mpg"), "bbb");
    const QString output = Path(QStringLiteral("out.mpg"));
    for (const qint64 cut : {qint64(0), qint64(4097), piece + 5000}) {
        Recorder recorder({a, b});
        recorder.onBlock = [&](int, qint64) {
            if (recorder.blocks[0].size() == 1) {
                ASSERT_TRUE(QFile::resize(a, cut));
            }
        };
        WriteBytes(a, content);
        const EInOutError e = FailedJoin(output, recorder);
        EXPECT_EQ(e.ErrorCode(), JoinEngine::ShrunkInputCode);
        EXPECT_EQ(e.Message(), JoinEngine::ShrunkInputMessage(a));
        EXPECT_TRUE(e.Message().contains(a));
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
    Engine().Join(Path(QStringLiteral("out.mpg")), 1, recorder);
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
    EXPECT_THROW(Engine().Join(Path(QStringLiteral("out.mpg")), 1, recorder), Stop);
    EXPECT_TRUE(recorder.Saw(QStringLiteral("started 0 %1").arg(size)));
    const qint64 copied = QFileInfo(Path(QStringLiteral("out.mpg"))).size();
    EXPECT_GE(copied, 4097);
    EXPECT_LE(copied, JoinEngine::PieceSize);
}

INSTANTIATE_TEST_SUITE_P(CopyPaths, JoinTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "KernelCopy" : "Buffered";
                         });
