// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows half of files, names and folders, through the Win32 calls.
#include "platform/File.h"
#include "platform/Folders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <windows.h>

#include "TestFiles.h"

using platform::EInOutError;
using platform::File;
using platform::FileName;

namespace {

const wchar_t *W(const QString &text) { return reinterpret_cast<const wchar_t *>(text.utf16()); }

FileName In(const QTemporaryDir &dir, const QString &name) { return platform::NameFromText(dir.filePath(name)); }

void Write(const FileName &path, const QByteArray &bytes)
{
    File out = File::Create(path);
    out.WriteAll(bytes.constData(), bytes.size());
    out.Close();
}

// A symbolic link, where one can be made at all (Wine only pretends to make them).
bool Link(const QString &link, const QString &target, bool folder)
{
    const DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE | (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
    return CreateSymbolicLinkW(W(link), W(QDir::toNativeSeparators(target)), flags) &&
           GetFileAttributesW(W(link)) != INVALID_FILE_ATTRIBUTES;
}

QByteArray Read(const FileName &path)
{
    File in = File::OpenRead(path);
    QByteArray bytes(in.Size(), Qt::Uninitialized);
    qint64 at = 0;
    while (const qint64 got = in.Read(bytes.data() + at, bytes.size() - at))
        at += got;
    return bytes.left(at);
}

} // namespace

TEST(FileNameWin, BackslashesDrivesAndSharesArePartsOfNames)
{
    const FileName name("C:\\films\\a.mpg");
    EXPECT_EQ(name.Folder(), FileName("C:\\films\\"));
    EXPECT_EQ(name.LastPart(), "a.mpg");
    EXPECT_EQ(FileName("C:a.mpg").Folder(), FileName("C:"));
    EXPECT_EQ(FileName("C:") / "a.mpg", FileName("C:a.mpg"));
    EXPECT_EQ(FileName("C:\\films") / "a.mpg", FileName("C:\\films\\a.mpg"));
    EXPECT_EQ(FileName("C:/films") / "a.mpg", FileName("C:/films/a.mpg"));
    // A copy at a drive's root keeps its files there, not in the drive's current folder.
    EXPECT_EQ(FileName("E:\\zantrope.exe").ContainingFolder() / "readme.html", FileName("E:\\readme.html"));
    EXPECT_EQ(FileName("E:\\videos\\zantrope.exe").ContainingFolder(), FileName("E:\\videos"));
    EXPECT_EQ(FileName("\\\\host\\share\\zantrope.exe").ContainingFolder(), FileName("\\\\host\\share"));
    EXPECT_EQ(platform::AbsoluteName(name), name);
    EXPECT_EQ(platform::AbsoluteName(FileName("\\\\host\\share\\a.mpg")).Bytes(), "\\\\host\\share\\a.mpg");
    const QByteArray made = platform::AbsoluteName(FileName("a.mpg")).Bytes();
    EXPECT_TRUE(made.size() > 3 && made[1] == ':' && made.endsWith("\\a.mpg")) << made.constData();

    EXPECT_EQ(platform::NameFromUrl(QUrl(QStringLiteral("file:///C:/a%20b.mpg"))), FileName("C:\\a b.mpg"));
    EXPECT_EQ(platform::NameFromUrl(QUrl(QStringLiteral("file://host/share/a.mpg"))),
              FileName("\\\\host\\share\\a.mpg"));
    EXPECT_FALSE(platform::NameFromUrl(QUrl(QStringLiteral("file:///C:/a%5C..%5Cb.mpg"))));
}

// Names outside every code page reach the file and come back from the folder
// scan and the window's text as the same bytes.
TEST(FileNameWin, NamesOutsideTheCodePageStayExact)
{
    QTemporaryDir dir;
    const QString text = QString::fromUtf8("\u65e5\u672c \u00e9\u0416 \xf0\x9f\x8e\xac.mpg");
    const FileName name = In(dir, text);
    Write(name, "film");
    EXPECT_TRUE(QFile::exists(dir.filePath(text))) << "the name Windows holds";
    EXPECT_EQ(Read(name), "film");
    const auto entries = platform::ReadFolder(platform::NameFromText(dir.path()));
    ASSERT_TRUE(entries && entries->size() == 1);
    EXPECT_EQ(entries->front().Name, name.LastPart());
    EXPECT_EQ(platform::NameFromText(name.Display()), name);
    EXPECT_EQ(ErrorOf([] { File::OpenRead(FileName("C:\\bad\xff.mpg")); }).ErrorCode(), 3);
    // The original program stored names in the code page; this one stores WTF-8.
    EXPECT_EQ(platform::NameFromStored(name.Bytes()), name);
    if (GetACP() == 1252) {
        EXPECT_EQ(platform::NameFromStored("C:\\\xdc"
                                           "bung.mpg"),
                  FileName("C:\\\xc3\x9c"
                           "bung.mpg"));
    }
}

TEST(FileWin, ErrorsCarryTheProgramsCodes)
{
    QTemporaryDir dir;
    EXPECT_EQ(ErrorOf([&] { File::OpenRead(In(dir, QStringLiteral("none.mpg"))); }).ErrorCode(), 2);
    EXPECT_EQ(ErrorOf([&] { File::OpenRead(In(dir, QStringLiteral("no/a.mpg"))); }).ErrorCode(), 3);
    EXPECT_EQ(ErrorOf([&] { File::Create(In(dir, QStringLiteral("no/out.mpg"))); }).ErrorCode(), 3);
    EXPECT_EQ(ErrorOf([&] { File::OpenRead(platform::NameFromText(dir.path())); }).ErrorCode(), 5);
    EXPECT_EQ(ErrorOf([&] { File::Create(platform::NameFromText(dir.path())); }).ErrorCode(), 5);
    const FileName locked = In(dir, QStringLiteral("locked.mpg"));
    Write(locked, "old");
    ASSERT_TRUE(SetFileAttributesW(W(dir.filePath(QStringLiteral("locked.mpg"))), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(platform::MayWrite(locked));
    EXPECT_EQ(ErrorOf([&] { File::Create(locked); }).ErrorCode(), 5);
    EXPECT_EQ(Read(locked), "old");
    SetFileAttributesW(W(dir.filePath(QStringLiteral("locked.mpg"))), FILE_ATTRIBUTE_NORMAL);
}

// Every spelling Windows has for one file gives one identity, so an output
// can never be one of the inputs.
TEST(FileWin, EverySpellingOfAFileHasItsIdentity)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("d")));
    const QString real = dir.filePath(QStringLiteral("d/Long Name Of A Film.mpg"));
    Write(platform::NameFromText(real), "film");
    const auto id = platform::IdentityOf(platform::NameFromText(real));
    ASSERT_TRUE(id);

    QStringList spellings{dir.filePath(QStringLiteral("D/LONG NAME OF A FILM.MPG")), QDir::toNativeSeparators(real),
                          dir.filePath(QStringLiteral("d/../d/Long Name Of A Film.mpg"))};
    const QString hard = dir.filePath(QStringLiteral("hard.mpg"));
    ASSERT_TRUE(CreateHardLinkW(W(hard), W(real), nullptr));
    spellings << hard;
    wchar_t shortName[MAX_PATH];
    if (const DWORD n = GetShortPathNameW(W(real), shortName, MAX_PATH); n > 0 && n < MAX_PATH)
        spellings << QString::fromWCharArray(shortName, n);
    const QString link = dir.filePath(QStringLiteral("link.mpg"));
    if (Link(link, real, false))
        spellings << link;
    const QString junction = dir.filePath(QStringLiteral("j"));
    if (Link(junction, dir.filePath(QStringLiteral("d")), true))
        spellings << junction + QStringLiteral("/Long Name Of A Film.mpg");
    for (const QString &spelling : spellings) {
        const auto other = platform::IdentityOf(platform::NameFromText(spelling));
        ASSERT_TRUE(other) << spelling.toStdString();
        EXPECT_EQ(*other, *id) << spelling.toStdString();
        EXPECT_EQ(File::OpenRead(platform::NameFromText(spelling)).Identity(), *id) << spelling.toStdString();
    }
    Write(In(dir, QStringLiteral("other.mpg")), "film");
    EXPECT_FALSE(platform::IdentityOf(In(dir, QStringLiteral("other.mpg"))) == *id);
}

// A pipe is never connected to and a device never opened for a join: both
// are refused at once, and the pipe's one instance is still free afterwards.
TEST(FileWin, PipesConsolesAndDevicesAreRefusedWithoutWaiting)
{
    const QString pipe = QStringLiteral("\\\\.\\pipe\\zantrope-test-%1").arg(GetCurrentProcessId());
    const HANDLE server =
        CreateNamedPipeW(W(pipe), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    QTemporaryDir dir;
    for (const QString &name : {pipe, QStringLiteral("//./pipe/zantrope-none"), QStringLiteral("NUL"),
                                QStringLiteral("CONIN$"), QStringLiteral("\\\\.\\NUL")}) {
        const FileName device = platform::NameFromText(name);
        EXPECT_EQ(ErrorOf([&] { platform::LookAtInput(device); }).ErrorCode(), 5) << name.toStdString();
        EXPECT_EQ(ErrorOf([&] {
                      platform::InputLook skipped; // as if looked at before it was swapped
                      File::OpenRead(device, &skipped);
                  }).ErrorCode(),
                  5)
            << name.toStdString();
        EXPECT_EQ(ErrorOf([&] { File::Create(device); }).ErrorCode(), 5) << name.toStdString();
        EXPECT_FALSE(platform::IdentityOf(device)) << name.toStdString();
    }
    const HANDLE client = CreateFileW(W(pipe), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(client, INVALID_HANDLE_VALUE) << "the instance was taken: " << GetLastError();
    if (client != INVALID_HANDLE_VALUE)
        CloseHandle(client);
    CloseHandle(server);
}

// The old file stays whole until the new one is closed; a file with several
// names is written where it is, so all of them show the join.
TEST(FileWin, TheOutputTakesItsPlaceWhenClosed)
{
    QTemporaryDir dir;
    const FileName out = In(dir, QStringLiteral("out.mpg"));
    Write(out, "old");
    const auto old = platform::IdentityOf(out);
    {
        File file = File::Create(out);
        ASSERT_TRUE(file.ReplacedIdentity() && *file.ReplacedIdentity() == *old);
        file.WriteAll("new!", 4);
        EXPECT_EQ(Read(out), "old");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
        file.Close();
    }
    EXPECT_EQ(Read(out), "new!");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("out.mpg")});
    ASSERT_TRUE(SetFileAttributesW(W(dir.filePath(QStringLiteral("out.mpg"))), FILE_ATTRIBUTE_HIDDEN));
    Write(out, "kept");
    EXPECT_TRUE(GetFileAttributesW(W(dir.filePath(QStringLiteral("out.mpg")))) & FILE_ATTRIBUTE_HIDDEN);
    File::Create(out).Discard();
    EXPECT_EQ(Read(out), "kept") << "a discarded file leaves the old one";

    const QString hard = dir.filePath(QStringLiteral("hard.mpg"));
    ASSERT_TRUE(CreateHardLinkW(W(hard), W(dir.filePath(QStringLiteral("out.mpg"))), nullptr));
    Write(out, "joined");
    EXPECT_EQ(Read(platform::NameFromText(hard)), "joined");
    EXPECT_EQ(platform::IdentityOf(out), platform::IdentityOf(platform::NameFromText(hard)));
}

// A write that fails leaves exactly the bytes before it, and a full disk is 101.
TEST(FileWin, AFailedWriteLeavesAnExactPrefix)
{
    QTemporaryDir dir;
    const FileName out = In(dir, QStringLiteral("out.mpg"));
    const QByteArray bytes = Pattern(10000, 3);
    qint64 written = 0;
    platform::WriteCalls system = platform::CurrentWriteCalls();
    const platform::WriteCallsOverride full({[&](platform::Handle h, const char *data, size_t n) -> ssize_t {
                                                 if (written >= 6000) {
                                                     SetLastError(ERROR_DISK_FULL);
                                                     return -1;
                                                 }
                                                 const ssize_t put = system.Write(h, data, qMin<size_t>(n, 1000));
                                                 written += put;
                                                 return put;
                                             },
                                             {}});
    File file = File::Create(out);
    EXPECT_EQ(ErrorOf([&] { file.WriteAll(bytes.constData(), bytes.size()); }).ErrorCode(), 101);
    file.Close();
    EXPECT_EQ(Read(out), bytes.left(6000));
}

TEST(FoldersWin, AFolderIsReadWholeAndLinksCountAsWhatTheyLeadTo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    Write(In(dir, QStringLiteral("a.mpg")), "a");
    Write(In(dir, QStringLiteral("hidden.mpg")), "h");
    SetFileAttributesW(W(dir.filePath(QStringLiteral("hidden.mpg"))), FILE_ATTRIBUTE_HIDDEN);
    const bool linked = Link(dir.filePath(QStringLiteral("tosub")), dir.filePath(QStringLiteral("sub")), true);
    QStringList seen;
    const auto entries = platform::ReadFolder(platform::NameFromText(dir.path()));
    ASSERT_TRUE(entries);
    for (const platform::FolderEntry &entry : *entries)
        seen << QString::fromUtf8(entry.Name) + (entry.IsFolder ? QStringLiteral("/") : QString());
    seen.sort();
    QStringList expected{QStringLiteral("a.mpg"), QStringLiteral("hidden.mpg"), QStringLiteral("sub/")};
    if (linked)
        expected << QStringLiteral("tosub/");
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(platform::ReadFolder(In(dir, QStringLiteral("sub")))->empty());
    EXPECT_FALSE(platform::ReadFolder(In(dir, QStringLiteral("none"))));
    EXPECT_FALSE(platform::ReadFolder(In(dir, QStringLiteral("a.mpg"))));
    EXPECT_TRUE(platform::IsFolder(In(dir, QStringLiteral("sub"))));
    EXPECT_FALSE(platform::IsFolder(In(dir, QStringLiteral("a.mpg"))));

    EXPECT_TRUE(platform::MayCreateIn(platform::NameFromText(dir.path())));
    EXPECT_FALSE(platform::MayCreateIn(In(dir, QStringLiteral("none"))));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2) << "the probe is gone";
}
