// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's join, run as the real program with no display.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TestFiles.h"

namespace {

struct Outcome {
    int status = -1;
    QString out, err;
};

class CommandLineTest : public ::testing::Test {
protected:
    // The program (or a copy of it) in dir, where no display could be opened: a window would fail.
    Outcome run(const QStringList &args, const QString &programFile = QStringLiteral(ZANTROPE_PROGRAM)) const
    {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(dir.path());
        program.start(programFile, args);
        EXPECT_TRUE(program.waitForFinished(20000));
        return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
                Lines(program.readAllStandardOutput()), Lines(program.readAllStandardError())};
    }
    // Redirected, the program writes UTF-8; a Windows program ends its lines with CR LF.
    static QString Lines(const QByteArray &bytes)
    {
        QString text = QString::fromUtf8(bytes);
#ifdef _WIN32
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
#endif
        return text;
    }
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

} // namespace

TEST_F(CommandLineTest, JoinsAsCatDoesWithNoDisplayAndQuietly)
{
    const QByteArray a = Pattern(300000, 1), b = Pattern(4097, 2);
    WriteBytes(path("a.mpg"), a);
    WriteBytes(path("-b.mpg"), b);
    WriteBytes(path("out.mpg"), "old");
    const Outcome joined = run({"--join", "out.mpg", "a.mpg", "--", "-b.mpg", "a.mpg"});
    EXPECT_EQ(joined.status, 0) << joined.err.toStdString();
    EXPECT_EQ(joined.err, QString()) << "no terminal, no progress";
    EXPECT_EQ(ReadBytes(path("out.mpg")), a + b + a);

    // After "--", an option is a name: here the output.
    EXPECT_EQ(run({"--join", "--", "--help", "a.mpg"}).status, 0);
    EXPECT_EQ(ReadBytes(path("--help")), a);

    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("zantrope --join OUTPUT [--movie] INPUT...")) << help.out.toStdString();
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith("zantrope 1.")) << version.out.toStdString();
}

TEST_F(CommandLineTest, RefusalsAndErrorsNameTheFileAndTheReason)
{
    const QByteArray a = Pattern(9000, 1);
    WriteBytes(path("a.mpg"), a);
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.mpg")).constData(), 0600), 0);
#endif

    const Outcome missing = run({"--join", "out.mpg", "a.mpg", "gone.mpg"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "zantrope: gone.mpg: File not found\n");
    // Every name comes back whole, also one beyond every code page.
    const QString emoji = QString::fromUtf8("gone-\xf0\x9f\x98\x80.mpg");
    EXPECT_EQ(run({"--join", "out.mpg", "a.mpg", emoji}).err,
              QStringLiteral("zantrope: %1: File not found\n").arg(emoji));
    const QByteArray prefix = QFile::exists(path("out.mpg")) ? ReadBytes(path("out.mpg")) : QByteArray();
    EXPECT_EQ(prefix, a.left(prefix.size())) << "what was joined before the error, exactly";

#ifndef _WIN32
    const Outcome fifo = run({"--join", "out.mpg", "a.mpg", "pipe.mpg"});
    EXPECT_EQ(fifo.status, 1);
    EXPECT_TRUE(fifo.err.startsWith("zantrope: ") && fifo.err.contains("pipe.mpg")) << fifo.err.toStdString();
#endif

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("clips")));
    const Outcome folder = run({"--join", "out.mpg", "a.mpg", "clips"});
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err, "zantrope: clips: is a folder; only files can be joined\n");
    const Outcome noFolder = run({"--join", "gone/out.mpg", "a.mpg"});
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_EQ(noFolder.err, "zantrope: gone/out.mpg: folder gone does not exist\n");

    const Outcome same = run({"--join", "./a.mpg", "a.mpg"});
    EXPECT_EQ(same.status, 1);
    EXPECT_TRUE(same.err.contains("a.mpg") && same.err.contains("untouched")) << same.err.toStdString();
    EXPECT_EQ(ReadBytes(path("a.mpg")), a);

    for (const QStringList &wrong : {QStringList{"--join", "out.mpg"}, QStringList{"--join", "--bogus", "o", "a"}}) {
        const Outcome usage = run(wrong);
        EXPECT_EQ(usage.status, 2);
        EXPECT_TRUE(usage.err.contains("zantrope --help")) << usage.err.toStdString();
    }
}

// Before, a mistyped option went to the window as a file name: with no
// display Qt aborted, with one the window listed it. Qt's own options stay
// the window's.
TEST_F(CommandLineTest, UnknownOptionsAreToldWithNoDisplay)
{
    WriteBytes(path("a.mpg"), "a");
    for (const QStringList &wrong :
         {QStringList{"--jion", "x.mpg", "a.mpg"}, QStringList{"a.mpg", "--bogus"}, QStringList{"--Version"},
          QStringList{"-style", "fusion", "-x"}, QStringList{"--join", "x.mpg", "-reverse", "a.mpg"}}) {
        const Outcome usage = run(wrong);
        EXPECT_EQ(usage.status, 2) << wrong.join(' ').toStdString();
        EXPECT_TRUE(usage.err.startsWith("zantrope: unknown option -")) << usage.err.toStdString();
        EXPECT_FALSE(QFile::exists(path("x.mpg")));
    }
    // Qt's options, a value that looks like an option included, open the
    // window, which fails here for want of a display.
    EXPECT_NE(run({"-qwindowtitle", "-x", "--platform", "xcb", "-reverse", "a.mpg"}).status, 2);
}

// --movie joins with libavformat: real clips come out as one movie whose
// length is the sum, and a .dat output is written as .mpg.
TEST_F(CommandLineTest, MovieJoinsClipsAsOneMovie)
{
    for (const char *clip : {"a", "b"})
        if (!MakeVcdClip(path(QStringLiteral("%1.mpg").arg(clip)), 2))
            GTEST_SKIP() << "ffmpeg cannot make a VCD clip here";
    const Outcome joined = run({"--join", "out.dat", "--movie", "a.mpg", "b.mpg"});
    EXPECT_EQ(joined.status, 0) << joined.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("out.dat")));
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path("out.mpg")});
    ASSERT_TRUE(probe.waitForFinished(20000));
    EXPECT_NEAR(probe.readAllStandardOutput().trimmed().toDouble(), 4.0, 0.3);

    EXPECT_EQ(run({"--movie", "out.mpg", "a.mpg"}).status, 2) << "--movie goes with --join";

#ifndef _WIN32
    // A copy of the program without its media module still joins bytes and
    // says what is missing for a movie, instead of failing to start.
    const QString lone = path(QStringLiteral("zantrope"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZANTROPE_PROGRAM), lone));
    const Outcome movie = run({"--join", "movie.mpg", "--movie", "a.mpg"}, lone);
    EXPECT_EQ(movie.status, 1);
    EXPECT_TRUE(movie.err.contains("zantrope-media.so could not be loaded")) << movie.err.toStdString();
    EXPECT_EQ(run({"--join", "bytes.mpg", "a.mpg"}, lone).status, 0);
    EXPECT_EQ(ReadBytes(path("bytes.mpg")), ReadBytes(path("a.mpg")));
#endif
}

// MP4 chapters join as one movie without being asked, by the program's own
// code: a copy without its media module joins them too. An output named as
// an MPEG file is written as MP4.
TEST_F(CommandLineTest, Mp4ChaptersJoinAsOneMovieWithoutBeingAsked)
{
    for (const char *clip : {"a", "b"})
        if (!MakeMp4Clip(path(QStringLiteral("%1.MP4").arg(clip)), 2))
            GTEST_SKIP() << "ffmpeg cannot make an MP4 clip here";
    const Outcome joined = run({"--join", "out.mpg", "a.MP4", "b.MP4"});
    EXPECT_EQ(joined.status, 0) << joined.err.toStdString();
    EXPECT_EQ(joined.out, "Joined as one movie, every track kept: out.mp4\n");
    EXPECT_FALSE(QFile::exists(path("out.mpg")));
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {"-v", "error", "-count_packets", "-show_entries", "stream=nb_read_packets:format=duration", "-of",
                 "csv=p=0", path("out.mp4")});
    ASSERT_TRUE(probe.waitForFinished(20000));
    const QByteArray probed = probe.readAllStandardOutput().simplified();
    EXPECT_TRUE(probed.startsWith("100 ") && probed.endsWith(" 4.000000")) << probed.toStdString();

#ifndef _WIN32
    const QString lone = path(QStringLiteral("zantrope"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZANTROPE_PROGRAM), lone));
    EXPECT_EQ(run({"--join", "lone.mp4", "a.MP4", "b.MP4"}, lone).status, 0);
    EXPECT_EQ(ReadBytes(path("lone.mp4")), ReadBytes(path("out.mp4")));
#endif
}

// Ctrl-C during a join stops it as Esc does: exit 130, a message, and the
// output holds an exact prefix of what was being joined. Linux only: it
// watches the join through /proc and sends SIGINT.
#ifndef _WIN32
TEST_F(CommandLineTest, CtrlCStopsTheJoinLeavingAPrefixOrTheOldOutput)
{
    // A large hole reads as zeros fast, so the join is surely under way when Ctrl-C comes.
    const qint64 size = qint64(4) << 30;
    {
        QFile big(path("big.mpg"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(size));
    }
    const auto interrupt = [&] {
        QProcess program;
        program.setWorkingDirectory(dir.path());
        program.start(QStringLiteral(ZANTROPE_PROGRAM), {"--join", "out.mpg", "big.mpg"});
        EXPECT_TRUE(program.waitForStarted());
        // Until the join has written something: its process has written a megabyte.
        const QString io = QStringLiteral("/proc/%1/io").arg(program.processId());
        auto written = [&] {
            QFile f(io);
            if (!f.open(QIODevice::ReadOnly))
                return qint64(0);
            const QByteArray text = f.readAll();
            const qsizetype at = text.indexOf("wchar: ");
            return at < 0 ? 0 : text.mid(at + 7, text.indexOf('\n', at) - at - 7).toLongLong();
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return written() > (1 << 20); }, 20000));
        ::kill(pid_t(program.processId()), SIGINT);
        EXPECT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 130);
        return program.readAllStandardError();
    };

    EXPECT_EQ(interrupt(), "zantrope: stopped; out.mpg holds what was joined\n");
    QFile out(path("out.mpg"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_GT(out.size(), 0);
    EXPECT_LT(out.size(), size) << "stopped before the end";
    for (QByteArray piece; !(piece = out.read(1 << 20)).isEmpty();)
        ASSERT_EQ(piece.count('\0'), piece.size()) << "only what the input holds";
    out.close();

    // A re-join stopped keeps the old output whole, and drops the new part.
    const QByteArray old = Pattern(3 << 20, 5);
    WriteBytes(path("out.mpg"), old);
    EXPECT_EQ(interrupt(), "zantrope: stopped; out.mpg was left as it was before the join\n");
    EXPECT_EQ(ReadBytes(path("out.mpg")), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"big.mpg", "out.mpg"}));
}
#endif
