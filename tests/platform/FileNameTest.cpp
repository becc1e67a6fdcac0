// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileName.h"

#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "platform/Exceptions.h"

using platform::FileName;

TEST(FileName, OnlySlashSeparates)
{
    const FileName take("/clips/take:2.mpg");
    EXPECT_EQ(take.Folder(), FileName("/clips/"));
    EXPECT_EQ(take.Extension(), QByteArray("mpg"));
    EXPECT_EQ(FileName("/x/a.b:c").Extension(), QByteArray("b:c"));
    EXPECT_EQ(FileName("/dir.mpg/file").Extension(), QByteArray());
    EXPECT_EQ(FileName("plain").Folder(), FileName());
    EXPECT_EQ(FileName("/a") / "b", FileName("/a/b"));
    EXPECT_EQ(FileName("/a/") / "b", FileName("/a/b"));
    EXPECT_EQ(FileName("/usr/bin/zantrope").ContainingFolder(), FileName("/usr/bin"));
    EXPECT_EQ(FileName("/zantrope").ContainingFolder(), FileName("/"));
}

// Names as bytes that need not be text, as POSIX has them.
#ifndef _WIN32
// A dialog or an edit box gives text; a name that is not UTF-8 shows there
// as U+FFFD, and so does a file whose name really holds U+FFFD.
TEST(FileName, TextStandsForTheOneFileThatShowsThatWay)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray real = folder + "/\xff\xfe.mpg";
    const QByteArray decoy = folder + "/\xef\xbf\xbd\xef\xbf\xbd.mpg"; // U+FFFD U+FFFD
    const QString shown = QString::fromUtf8(real);
    ASSERT_EQ(shown, QString::fromUtf8(decoy));

    EXPECT_EQ(platform::NameFromText(shown), FileName(decoy)) << "nothing there yet: the text's own bytes";
    WriteBytesAt(real, "real");
    const TreeRemoval cleanup(folder);
    EXPECT_EQ(platform::NameFromText(shown), FileName(real));
    EXPECT_EQ(platform::NameFromText(shown + QStringLiteral("/../x")).Bytes(), real + "/../x");
    WriteBytesAt(decoy, "decoy");
    EXPECT_THROW(platform::NameFromText(shown), platform::Exception) << "two files show that way";

    EXPECT_EQ(platform::NameFromText(QStringLiteral("/a/\u00e9t\u00e9.mpg")), FileName("/a/\xc3\xa9t\xc3\xa9.mpg"));
}

TEST(FileName, DroppedAddressesCarryTheirBytes)
{
    const auto name = platform::NameFromUrl(QUrl(QStringLiteral("file:///tmp/%FF%FE%20a%3Ab.mpg")));
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, FileName("/tmp/\xff\xfe a:b.mpg"));
    EXPECT_EQ(platform::NameFromUrl(QUrl::fromLocalFile(QStringLiteral("/d/\u00e9.mpg"))), FileName("/d/\xc3\xa9.mpg"));
    EXPECT_FALSE(platform::NameFromUrl(QUrl(QStringLiteral("https://example.org/a.mpg"))));
    EXPECT_FALSE(platform::NameFromUrl(QUrl(QStringLiteral("file://otherhost/a.mpg"))));
    // Relative addresses would depend on the program's folder; an encoded
    // "/" would turn one name into a path through another folder.
    for (const char *refused :
         {"file:a.mpg", "file:../b.mpg", "file:///tmp/x%2F..%2Fetc%2Fpasswd", "file:///tmp/a%00b"})
        EXPECT_FALSE(platform::NameFromUrl(QUrl(QString::fromLatin1(refused)))) << refused;
}
#endif

// Windows names are UTF-16 that need not be valid; WTF-8 carries each one,
// lone surrogates too, and gives every name exactly one spelling.
TEST(FileName, Wtf8CarriesEveryUtf16NameAndOnlyThose)
{
    const char16_t lone[] = {u'a', 0xd800, u'b', 0xdc00, 0xd83c, 0xdfac};
    const QStringView text(lone, 6);
    const QByteArray bytes = platform::Wtf8FromUtf16(text);
    EXPECT_EQ(bytes, QByteArray("a\xed\xa0\x80"
                                "b\xed\xb0\x80\xf0\x9f\x8e\xac"));
    const auto back = platform::Utf16FromWtf8(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(QStringView(*back), text);
    EXPECT_EQ(platform::Wtf8FromUtf16(u"\u65e5\u00e9.mpg"), QString::fromUtf16(u"\u65e5\u00e9.mpg").toUtf8());
    for (const char *refused :
         {"\xff", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80\xed\xb0\x80", "a\xe6\x97", "\xf4\x90\x80\x80"})
        EXPECT_FALSE(platform::Utf16FromWtf8(refused)) << refused;
    EXPECT_FALSE(platform::Utf16FromWtf8(QByteArray("a\0b", 3)));
}
