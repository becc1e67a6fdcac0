// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Settings.h"

#include "platform/Exceptions.h"
#include "platform/File.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TestFiles.h"

using namespace app;

namespace {

// Stands in for the main window; starts at its design position and texts.
class FakeWindow : public SettingsTarget {
public:
    QRect frame{46, 103, 566, 439};
    QList<QRect> screens{QRect(0, 0, 1024, 768)};
    platform::FileName outputName = Name(QStringLiteral("design name"));
    platform::FileName openPath;
    platform::FileName dialogFolder = Name(QStringLiteral("<none>"));
    QStringList calls;
    bool positionKnown = true;

    QRect FrameGeometry() const override { return frame; }
    QRect MoveHandle() const override { return {0, 0, frame.width(), 21}; }
    bool PositionKnown() const override { return positionKnown; }
    QList<QRect> Screens() const override { return screens; }
    void SetTop(int top) override
    {
        frame.moveTop(top);
        calls << "top";
    }
    void SetLeft(int left) override
    {
        frame.moveLeft(left);
        calls << "left";
    }
    platform::FileName OutputName() const override { return outputName; }
    void SetOutputName(const platform::FileName &name) override
    {
        outputName = name;
        calls << "name";
    }
    platform::FileName OpenPath() const override { return openPath; }
    void SetOpenDialogFolder(const platform::FileName &folder) override
    {
        dialogFolder = folder;
        calls << "folder";
    }
};

class SettingsTest : public ::testing::Test {
protected:
    platform::FileName Path() const { return Name(PathText()); }
    QString PathText() const { return dir.filePath(QStringLiteral("misuc.dat")); }
    QTemporaryDir dir;
};

} // namespace

TEST(StrToIntDefTest, NumberRule)
{
    EXPECT_EQ(StrToIntDef("0x64", 7), 100);
    EXPECT_EQ(StrToIntDef("0X64", 7), 100);
    EXPECT_EQ(StrToIntDef("$10", 7), 16);
    EXPECT_EQ(StrToIntDef("x1f", 7), 31);
    EXPECT_EQ(StrToIntDef("XfF", 7), 255);
    EXPECT_EQ(StrToIntDef("  -5", 7), -5);
    EXPECT_EQ(StrToIntDef("+7", 0), 7);
    EXPECT_EQ(StrToIntDef("-0x10", 7), -16);
    EXPECT_EQ(StrToIntDef("0", 7), 0);
    EXPECT_EQ(StrToIntDef("007", 1), 7);
    EXPECT_EQ(StrToIntDef("2147483647", 7), 2147483647);
    EXPECT_EQ(StrToIntDef("-2147483648", 7), -2147483647 - 1);
    EXPECT_EQ(StrToIntDef("-$80000000", 7), -2147483647 - 1);
}

TEST(StrToIntDefTest, AnythingElseGivesTheDefault)
{
    for (const char *text :
         {"", "   ", "letters", "12abc", "5 ", "1.5", "--5", "+-5", "- 5", "0x", "$", "$g", "12$", "0x-5", "2147483648",
          "-2147483649", "0x80000000", "99999999999999999999", "\xd9\xa3"}) // Arabic-Indic digit three
        EXPECT_EQ(StrToIntDef(QString::fromUtf8(text), -77), -77) << text;
}

TEST_F(SettingsTest, NoFileIsCreatedAndTheDefaultsApply)
{
    FakeWindow window;
    ReadSettings(Path(), window);
    EXPECT_EQ(ReadBytes(PathText()), "\r\n");
    EXPECT_EQ(window.frame.topLeft(), QPoint(272, 159));
    EXPECT_EQ(window.frame.size(), QSize(566, 439));
#ifndef _WIN32 // there the user's Videos folder
    EXPECT_EQ(window.outputName, Name(QDir::homePath() + "/test.mpg"));
#endif
    EXPECT_EQ(window.outputName, DefaultOutputName());
    EXPECT_EQ(window.dialogFolder, DefaultOpenFolder());
    EXPECT_TRUE(window.dialogFolder.Bytes().endsWith(QDir::separator().toLatin1()));
    EXPECT_EQ(window.calls, QStringList({"top", "left", "name", "folder"}));
}

TEST_F(SettingsTest, ExistingFileIsLeftAsItIs)
{
    WriteBytes(PathText(), "anything");
    EnsureSettingsFile(Path());
    EXPECT_EQ(ReadBytes(PathText()), "anything");
}

TEST_F(SettingsTest, RoundTripOfPositionNameAndFolder)
{
    FakeWindow closing;
    closing.frame.moveTo(10, 20);
    closing.outputName = Name(QStringLiteral("/d/out \u00e9.mpg"));
    closing.openPath = Name(QStringLiteral("/movies/"));
    WriteSettings(Path(), closing);
    EXPECT_EQ(ReadBytes(PathText()), Shown("\r\n[form1]\r\ntop=20\r\nleft=10\r\n"
                                           "[txt]\r\nSaven=/d/out \xc3\xa9.mpg\r\nOpenP=/movies/\r\n"));

    FakeWindow opening;
    ReadSettings(Path(), opening);
    EXPECT_EQ(opening.frame.topLeft(), QPoint(10, 20));
    EXPECT_EQ(opening.outputName, closing.outputName);
    EXPECT_EQ(opening.dialogFolder, Name("/movies/"));

    // Names that are not UTF-8 keep their bytes through the file. On Windows
    // such a name holds a lone surrogate; bytes that are not even WTF-8 are
    // a name in the code page there.
#ifdef _WIN32
    const QByteArray odd = "/d/\xed\xa0\x80.mpg";
#else
    const QByteArray odd = "/d/\xff\xfe.mpg";
#endif
    closing.outputName = platform::FileName(odd);
    WriteSettings(Path(), closing);
    EXPECT_TRUE(ReadBytes(PathText()).contains("Saven=" + odd + "\r\n"));
    ReadSettings(Path(), opening);
    EXPECT_EQ(opening.outputName, closing.outputName);

    // However long: a name cut short is the name of another file.
    closing.outputName = platform::FileName("/d/" + QByteArray(3000, 'n') + ".mpg");
    closing.openPath = platform::FileName("/" + QByteArray(2100, 'f') + "/");
    WriteSettings(Path(), closing);
    ReadSettings(Path(), opening);
    EXPECT_EQ(opening.outputName, closing.outputName);
    EXPECT_EQ(opening.dialogFolder, closing.openPath);
}

// A file far larger than the program ever writes is neither read whole (it
// took seconds and most of the memory) nor overwritten; closing says why.
TEST_F(SettingsTest, AHugeFileIsNeitherReadNorReplaced)
{
    {
        QFile huge(PathText());
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        huge.write("[txt]\r\nSaven=/d/huge.mpg\r\n");
        ASSERT_TRUE(huge.resize(300 << 20)); // sparse
    }
    FakeWindow opening;
    ReadSettings(Path(), opening);
    EXPECT_EQ(opening.outputName, DefaultOutputName());
    try {
        WriteSettings(Path(), opening);
        ADD_FAILURE() << "written over a file it could not read";
    } catch (const platform::Exception &e) {
        EXPECT_TRUE(e.Details().contains(QStringLiteral("larger than 1024 KiB"))) << e.Details().toStdString();
    }
    EXPECT_EQ(QFileInfo(PathText()).size(), 300 << 20);
}

TEST_F(SettingsTest, AnUnknownPositionIsNeitherAppliedNorOverwritten)
{
    FakeWindow x11;
    x11.frame.moveTo(10, 20);
    WriteSettings(Path(), x11);

    FakeWindow wayland; // reports 0/0 wherever it is
    wayland.positionKnown = false;
    wayland.frame.moveTo(0, 0);
    ReadSettings(Path(), wayland);
    EXPECT_EQ(wayland.calls, (QStringList{"name", "folder"}));
    WriteSettings(Path(), wayland);
    EXPECT_EQ(ReadBytes(PathText()), "\r\n[form1]\r\ntop=20\r\nleft=10\r\n"
                                     "[txt]\r\nSaven=design name\r\nOpenP=\r\n");
}

TEST_F(SettingsTest, EmptyTextsStayEmptyAcrossARun)
{
    FakeWindow closing; // no file added through the open dialog: OpenPath is empty
    closing.outputName = {};
    WriteSettings(Path(), closing);
    EXPECT_TRUE(ReadBytes(PathText()).contains("\r\nSaven=\r\nOpenP=\r\n"));

    FakeWindow opening;
    ReadSettings(Path(), opening);
    EXPECT_TRUE(opening.outputName.IsEmpty());
    EXPECT_TRUE(opening.dialogFolder.IsEmpty());
}

TEST_F(SettingsTest, NumbersInTheFile)
{
    WriteBytes(PathText(), "[FORM1]\r\nTop=0x64\r\nleft=abc\r\n[other]\r\nkeep=me\r\n");
    FakeWindow window;
    ReadSettings(Path(), window);
    EXPECT_EQ(window.frame.topLeft(), QPoint(272, 100));

    window.frame.moveTo(-3, 40);
    window.outputName = Name("/out.mpg");
    WriteSettings(Path(), window);
    EXPECT_EQ(ReadBytes(PathText()), Shown("[FORM1]\r\nTop=40\r\nleft=-3\r\n[other]\r\nkeep=me\r\n"
                                           "[txt]\r\nSaven=/out.mpg\r\nOpenP=\r\n"));
}

TEST_F(SettingsTest, UnreachablePositionFallsBackToTheDefault)
{
    // Saved on a second screen to the right that is no longer there.
    WriteBytes(PathText(), "[form1]\r\ntop=100\r\nleft=1500\r\n");
    FakeWindow window;
    ReadSettings(Path(), window);
    EXPECT_EQ(window.frame.topLeft(), QPoint(272, 159));

    window.screens << QRect(1024, 0, 1280, 1024);
    ReadSettings(Path(), window);
    EXPECT_EQ(window.frame.topLeft(), QPoint(1500, 100));
}

TEST(ReachablePositionTest, AnyPartOfTheTitleStripOnAScreenKeepsThePosition)
{
    const QList<QRect> screens{QRect(0, 0, 1024, 768), QRect(1024, 0, 1280, 1024)};
    const QRect titleBar(0, 0, 566, 21);
    const QPoint fallback(272, 159);
    auto at = [&](int x, int y) { return ReachablePosition(QPoint(x, y), titleBar, screens, fallback); };

    EXPECT_EQ(at(-565, 100), QPoint(-565, 100)) << "one column still on screen";
    EXPECT_EQ(at(-566, 100), fallback);
    EXPECT_EQ(at(100, -20), QPoint(100, -20)) << "the strip's last row is on screen";
    EXPECT_EQ(at(100, -21), fallback) << "the body shows, but not a pixel of the title bar";
    EXPECT_EQ(at(2303, 1023), QPoint(2303, 1023)) << "the second screen's last pixel";
    EXPECT_EQ(at(2304, 500), fallback);
    EXPECT_EQ(at(1500, 900), QPoint(1500, 900)) << "below the first screen, on the taller second";
    EXPECT_EQ(at(400, 900), fallback) << "below the first screen, left of the second";
    EXPECT_EQ(ReachablePosition(QPoint(5000, 5000), titleBar, {}, fallback), QPoint(5000, 5000));
}

TEST_F(SettingsTest, CreateFailureRaisesTheFileErrorAndAppliesNothing)
{
    const QString file = dir.filePath(QStringLiteral("plain"));
    WriteBytes(file, "x");
    const QString path = file + QStringLiteral("/misuc.dat");
    FakeWindow window;
    try {
        ReadSettings(Name(path), window);
        FAIL() << "no error";
    } catch (const platform::EInOutError &e) {
        EXPECT_EQ(e.ErrorCode(), 3);
        EXPECT_EQ(e.Message(), "Invalid filename: " + Shown(file) + " is a file, not a folder");
    }
    EXPECT_TRUE(window.calls.isEmpty());
    EXPECT_EQ(window.frame.topLeft(), QPoint(46, 103));

    // The error says which folder to mend.
    const platform::EInOutError missing =
        ErrorOf([&] { WriteSettings(Name(dir.filePath(QStringLiteral("no/such/folder/misuc.dat"))), window); });
    EXPECT_EQ(missing.Message(),
              "Invalid filename: the folder " + Shown(dir.filePath(QStringLiteral("no"))) + " does not exist");
}

#ifndef _WIN32
TEST_F(SettingsTest, CreateRefusedBySysfsIsAccessDenied)
{
    const QString path = QStringLiteral("/sys/misuc.dat");
    if (!QFileInfo(QStringLiteral("/sys/kernel")).isDir() || QFileInfo::exists(path))
        GTEST_SKIP() << "no sysfs here";
    try {
        EnsureSettingsFile(Name(path));
        QFile::remove(path);
        GTEST_SKIP() << "this sysfs accepts new files";
    } catch (const platform::EInOutError &e) {
        EXPECT_EQ(e.ErrorCode(), 5);
        EXPECT_EQ(e.Message(), "File access denied");
    }
}
#endif

TEST_F(SettingsTest, ValuesThatCannotBeStoredReportTheFullPath)
{
    // A folder in the file's place: it exists, reads as empty, and cannot be written.
    ASSERT_TRUE(QDir().mkdir(PathText()));
    FakeWindow window;
    ReadSettings(Path(), window);
    EXPECT_EQ(window.frame.topLeft(), QPoint(272, 159));
    try {
        WriteSettings(Path(), window);
        FAIL() << "no error";
    } catch (const platform::EInOutError &) {
        FAIL() << "not a file error";
    } catch (const platform::Exception &e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + Shown(PathText()));
    }

    // A name with a line break would break the file apart; it is refused and the file kept.
    const QString file = dir.filePath(QStringLiteral("second.dat"));
    WriteBytes(file, "[txt]\r\nSaven=old\r\n");
    window.outputName = Name("a\n[form1]\ntop=0");
    EXPECT_THROW(WriteSettings(Name(file), window), platform::Exception);
    FakeWindow next;
    ReadSettings(Name(file), next);
    EXPECT_EQ(next.outputName, Name("old"));
}

// Where Linux keeps the file; Windows has a rule of its own.
#ifndef _WIN32
// The rule's own check honours permission bits for root too, so this runs
// the same for every user.
TEST(SettingsPathTest, BesideTheProgramOnlyForAPortableCopy)
{
    QTemporaryDir dir;
    const platform::FileName program = Name(dir.filePath(QStringLiteral("bin")));
    const platform::FileName config = Name(dir.filePath(QStringLiteral("config")));
    const platform::FileName personal = config / "zantrope" / "misuc.dat";
    ASSERT_TRUE(QDir().mkdir(dir.filePath(QStringLiteral("bin"))));
    EXPECT_EQ(ChooseSettingsPath(program, config, platform::MayWrite), personal)
        << "a writable folder of an install, such as ~/.local/bin, is no portable copy";
    WriteBytes(dir.filePath(QStringLiteral("bin/misuc.dat")), "\r\n");
    ASSERT_EQ(::chmod(program.Bytes().constData(), 0555), 0);
    EXPECT_EQ(ChooseSettingsPath(program, config, platform::MayWrite), program / "misuc.dat")
        << "a writable copy already there makes the portable one";
    ASSERT_EQ(::chmod((program / "misuc.dat").Bytes().constData(), 0444), 0);
    EXPECT_EQ(ChooseSettingsPath(program, config, platform::MayWrite), personal);
    ::chmod(program.Bytes().constData(), 0755);
    const auto anything = [](const platform::FileName &) { return true; };
    EXPECT_EQ(ChooseSettingsPath(platform::FileName("/usr/bin"), config, anything), personal);
}

// The test program's folder holds no misuc.dat, as an installed program's does not.
TEST(SettingsPathTest, AnInstalledCopyUsesTheConfigurationFolderItCreates)
{
    ASSERT_FALSE(QFile::exists(QCoreApplication::applicationDirPath() + "/misuc.dat"));
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const bool wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    const platform::FileName path = SettingsPath();
    wasSet ? qputenv("XDG_CONFIG_HOME", saved) : qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(path, Name(dir.filePath(QStringLiteral("config/zantrope/misuc.dat"))));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("config/zantrope"))).isDir());
}
#endif
