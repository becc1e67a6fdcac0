// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "TestFiles.h"
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <thread>

using platform::ProfileFile;

namespace {

class ProfileFileTest : public ::testing::Test {
protected:
    QString Path() const { return dir.filePath(QStringLiteral("p.ini")); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(ProfileFileTest, LookupIgnoresCaseAndBlanksAndTellsEmptyFromAbsent)
{
    WriteBytes(Path(), "[Form1]\r\n  TOP = 20 \r\nempty=\r\n; note=1\r\nnoequals\r\n[txt]\r\nSaven=a=b\r\n");
    const ProfileFile ini(Name(Path()));
    EXPECT_EQ(ini.ReadString("form1", "top", "d"), "20");
    EXPECT_EQ(ini.ReadString("FORM1", "Top", "d"), "20");
    EXPECT_EQ(ini.ReadString("form1", "empty", "d"), "");
    EXPECT_EQ(ini.ReadString("form1", "missing", "d"), "d");
    EXPECT_EQ(ini.ReadString("nosection", "top", "d"), "d");
    EXPECT_EQ(ini.ReadString("form1", "; note", "d"), "d") << "comments are no keys";
    EXPECT_EQ(ini.ReadString("form1", "noequals", "d"), "d");
    EXPECT_EQ(ini.ReadString("form1", "saven", "d"), "d") << "keys belong to their own section";
    EXPECT_EQ(ini.ReadString("TXT", "saven", "d"), "a=b");
}

TEST_F(ProfileFileTest, ReadsLfAndCrLfAndUtf8)
{
    WriteBytes(Path(), "[a]\nk=1\n[b]\r\nk=2\r\nname=Film \xc3\xa9t\xc3\xa9");
    const ProfileFile ini(Name(Path()));
    EXPECT_EQ(ini.ReadString("a", "k", ""), "1");
    EXPECT_EQ(ini.ReadString("b", "k", ""), "2");
    EXPECT_EQ(ini.ReadString("b", "name", ""), QStringLiteral("Film \u00e9t\u00e9"));
}

TEST_F(ProfileFileTest, LongValuesAreCutTo2047Characters)
{
    WriteBytes(Path(), "[s]\r\nk=" + QByteArray(3000, 'v') + "\r\nexact=" + QByteArray(2047, 'w') + "\r\n");
    const ProfileFile ini(Name(Path()));
    EXPECT_EQ(ini.ReadString("s", "k", "").size(), 2047);
    EXPECT_EQ(ini.ReadString("s", "exact", ""), QString(2047, QLatin1Char('w')));
    EXPECT_EQ(ini.ReadString("s", "none", QString(2100, QLatin1Char('d'))).size(), 2047);

    // A character outside the basic plane is never cut in half.
    ProfileFile w(Name(Path()));
    ASSERT_TRUE(w.WriteString("s", "wide", QString(2046, QLatin1Char('a')) + QStringLiteral("\U0001F600")));
    EXPECT_EQ(w.ReadString("s", "wide", "").size(), 2046);
}

TEST_F(ProfileFileTest, WritesKeepEverythingElseByteForByte)
{
    const QByteArray original = "; settings\n"
                                "\r\n"
                                "[Other]\n"
                                "Foo = bar ; x\n"
                                "[FORM1]\r\n"
                                "Top = 5\n"
                                "  unknown=keep  \r\n"
                                "\r\n"
                                "[last]\n"
                                "z=1";
    WriteBytes(Path(), original);
    {
        ProfileFile ini(Name(Path()));
        ASSERT_TRUE(ini.WriteString("form1", "top", "20"));     // existing key, other spelling
        ASSERT_TRUE(ini.WriteString("form1", "left", "10"));    // new key in an existing section
        ASSERT_TRUE(ini.WriteString("txt", "Saven", "/x.mpg")); // new section
        ASSERT_TRUE(ini.WriteString("LAST", "y", "2"));         // after a last line without line end
    }                                                           // released: flushed
    EXPECT_EQ(ReadBytes(Path()), "; settings\n"
                                 "\r\n"
                                 "[Other]\n"
                                 "Foo = bar ; x\n"
                                 "[FORM1]\r\n"
                                 "Top =20\r\n"
                                 "  unknown=keep  \r\n"
                                 "left=10\r\n"
                                 "\r\n"
                                 "[last]\n"
                                 "z=1\r\n"
                                 "y=2\r\n"
                                 "[txt]\r\n"
                                 "Saven=/x.mpg\r\n");
    const ProfileFile again(Name(Path()));
    EXPECT_EQ(again.ReadString("form1", "top", ""), "20");
    EXPECT_EQ(again.ReadString("form1", "left", ""), "10");
    EXPECT_EQ(again.ReadString("other", "foo", ""), "bar ; x");
}

TEST_F(ProfileFileTest, UnchangedValuesLeaveTheFileAlone)
{
    WriteBytes(Path(), "[s]\nk=1\n");
    ProfileFile ini(Name(Path()));
    ASSERT_TRUE(ini.WriteString("S", "K", "1"));
    EXPECT_FALSE(ini.IsDirty());
    EXPECT_TRUE(ini.Flush());
    EXPECT_EQ(ReadBytes(Path()), "[s]\nk=1\n");
}

TEST_F(ProfileFileTest, NewFileIsWrittenWithCrLfOnFlushOnly)
{
    ProfileFile ini(Name(Path()));
    EXPECT_EQ(ini.ReadString("s", "k", "d"), "d");
    ASSERT_TRUE(ini.WriteString("s", "k", "v"));
    ASSERT_TRUE(ini.WriteString("s", "empty", ""));
    EXPECT_FALSE(QFile::exists(Path())) << "writes wait for the flush";
    ASSERT_TRUE(ini.Flush()) << ini.ErrorString().toStdString();
    EXPECT_EQ(ReadBytes(Path()), "[s]\r\nk=v\r\nempty=\r\n");
    EXPECT_EQ(ini.ReadString("s", "empty", "d"), "");
}

TEST_F(ProfileFileTest, RefusesWhatALineCannotHold)
{
    WriteBytes(Path(), "[s]\r\n");
    ProfileFile ini(Name(Path()));
    EXPECT_FALSE(ini.WriteString("s", "k", "two\nlines"));
    EXPECT_FALSE(ini.WriteString("s", "k", "cr\rin"));
    EXPECT_FALSE(ini.WriteString("s", "a=b", "v"));
    EXPECT_FALSE(ini.WriteString("s", "", "v"));
    EXPECT_FALSE(ini.WriteString("s]x", "k", "v"));
    EXPECT_FALSE(ini.WriteString("", "k", "v"));
    EXPECT_FALSE(ini.IsDirty());
}

TEST_F(ProfileFileTest, FailedFlushLeavesTheFileAndKeepsTheWrites)
{
    // A folder standing where the file should be fails for every user, root included.
    const QString path = dir.filePath(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkdir(path));
    ProfileFile ini(Name(path));
    EXPECT_EQ(ini.ReadString("s", "k", "d"), "d");
    ASSERT_TRUE(ini.WriteString("s", "k", "v"));
    EXPECT_FALSE(ini.Flush());
    EXPECT_FALSE(ini.ErrorString().isEmpty());
    EXPECT_TRUE(ini.IsDirty());
    EXPECT_TRUE(QFileInfo(path).isDir());
}

// Devices, modes, owners and links as POSIX has them.
#ifndef _WIN32
TEST_F(ProfileFileTest, DeviceIsNeitherReadForeverNorReplaced)
{
    if (!QFileInfo(QStringLiteral("/dev/full")).exists())
        GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), Path()));
    ProfileFile ini(Name(Path()));
    EXPECT_EQ(ini.ReadString("s", "k", "d"), "d");
    ASSERT_TRUE(ini.WriteString("s", "k", "v"));
    EXPECT_FALSE(ini.Flush());
    EXPECT_TRUE(QFileInfo(QStringLiteral("/dev/full")).exists());
    EXPECT_FALSE(QFileInfo(QStringLiteral("/dev/full")).isFile());
}

TEST_F(ProfileFileTest, ReplacingKeepsPermissionsAndLinks)
{
    const QString real = dir.filePath(QStringLiteral("real.ini"));
    WriteBytes(real, "[s]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(real, Path()));
    {
        ProfileFile ini(Name(Path()));
        ASSERT_TRUE(ini.WriteString("s", "k", "2"));
        ASSERT_TRUE(ini.Flush()) << ini.ErrorString().toStdString();
    }
    EXPECT_TRUE(QFileInfo(Path()).isSymLink());
    EXPECT_EQ(ReadBytes(real), "[s]\r\nk=2\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2)
        << "no temporary left behind";

    // Written where it is: the file keeps its owner, also when root writes another user's file.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(real).constData(), 65534, 65534), 0);
        ProfileFile ini(Name(Path()));
        ASSERT_TRUE(ini.WriteString("s", "k", "3"));
        ASSERT_TRUE(ini.Flush()) << ini.ErrorString().toStdString();
        ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(ReadBytes(real), "[s]\r\nk=3\r\n");
    }
}

TEST_F(ProfileFileTest, WritableFileInAFolderThatRefusesNewFiles)
{
    const QString sub = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(sub));
    const QString path = sub + QStringLiteral("/p.ini");
    WriteBytes(path, "[s]\r\nk=1\r\nlonger=line\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(sub).constData(), 0555), 0);
    ProfileFile ini(Name(path));
    ASSERT_TRUE(ini.WriteString("s", "k", "2"));
    const bool flushed = ini.Flush();
    ::chmod(QFile::encodeName(sub).constData(), 0755);
    ASSERT_TRUE(flushed) << ini.ErrorString().toStdString();
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=2\r\nlonger=line\r\n");
}

// Whoever runs the program: root too leaves a file marked read-only alone.
TEST_F(ProfileFileTest, ReadOnlyFileIsNotReplaced)
{
    WriteBytes(Path(), "[s]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(Path()).constData(), 0444), 0);
    ProfileFile ini(Name(Path()));
    ASSERT_TRUE(ini.WriteString("s", "k", "2"));
    EXPECT_FALSE(ini.Flush());
    EXPECT_EQ(ReadBytes(Path()), "[s]\r\nk=1\r\n");
}

#endif

// Two programs closing at once: every reader, during and after, sees one
// whole version or the other, never a mix or a hole.
TEST_F(ProfileFileTest, WritersAtOnceLeaveOneWholeVersion)
{
    const QByteArray versionA = "[txt]\r\nSaven=" + QByteArray(3000, 'a') + "\r\n";
    const QByteArray versionB = "[txt]\r\nSaven=" + QByteArray(1000, 'b') + "\r\n";
    WriteBytes(Path(), versionA);
    std::atomic<bool> done{false};
    const auto writer = [&](const QByteArray &value) {
        for (int i = 0; i < 150; ++i) {
            ProfileFile ini(platform::FileName(QFile::encodeName(Path())));
            ini.WriteValue(QStringLiteral("txt"), QStringLiteral("Saven"), value);
            ini.Flush();
        }
    };
    int mixed = 0;
    std::thread reader([&] {
        while (!done) {
            const QByteArray now = ReadBytes(Path());
#ifdef _WIN32
            // Windows refuses an open for a moment while the rename holds the
            // new file; that is a retry, not a hole.
            if (now == "<unreadable>")
                continue;
#endif
            mixed += now != versionA && now != versionB;
        }
    });
    std::thread a(writer, QByteArray(3000, 'a'));
    std::thread b(writer, QByteArray(1000, 'b'));
    a.join();
    b.join();
    done = true;
    reader.join();
    EXPECT_EQ(mixed, 0);
}
