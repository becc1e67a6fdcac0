// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Folders.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <dirent.h>
#include <functional>

#include "TestFiles.h"

namespace {

void Touch(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

QStringList Names(const QString &folder)
{
    QStringList names;
    for (const platform::FolderEntry &entry :
         platform::ReadFolder(Name(folder)).value_or(std::vector<platform::FolderEntry>{}))
        names << QString::fromUtf8(entry.Name) + (entry.IsFolder ? QStringLiteral("/") : QString());
    return names;
}

} // namespace

TEST(ReadFolder, FollowsReaddirOrderWithHiddenEntries)
{
    QTemporaryDir dir;
    for (const char *name : {"b.mpg", ".hidden.mp3", "a.dat", "z", "m.m2v"})
        Touch(dir.filePath(QString::fromLatin1(name)));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));

    QStringList expected;
    DIR *raw = opendir(QFile::encodeName(dir.path()).constData());
    ASSERT_NE(raw, nullptr);
    while (const dirent *d = readdir(raw)) {
        const QString name = QFile::decodeName(d->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            expected << name + (name == QLatin1String("sub") ? QStringLiteral("/") : QString());
    }
    closedir(raw);

    EXPECT_EQ(Names(dir.path()), expected);
    EXPECT_TRUE(expected.contains(QStringLiteral(".hidden.mp3")));
    EXPECT_EQ(expected.size(), 6);
}

TEST(ReadFolder, LinksCountAsWhatTheyLeadTo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("real")));
    Touch(dir.filePath(QStringLiteral("file.mpg")));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("real")), dir.filePath(QStringLiteral("tofolder"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("file.mpg")), dir.filePath(QStringLiteral("tofile.mpg"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("dangling.mpg"))));

    QStringList names = Names(dir.path());
    names.sort();
    EXPECT_EQ(names, QStringList({QStringLiteral("dangling.mpg"), QStringLiteral("file.mpg"), QStringLiteral("real/"),
                                  QStringLiteral("tofile.mpg"), QStringLiteral("tofolder/")}));
}

TEST(ReadFolder, FolderThatCannotBeOpenedYieldsNothing)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("file.mpg"));
    Touch(file);
    for (const QString &path : {dir.filePath(QStringLiteral("missing")), file, QString()})
        EXPECT_FALSE(platform::ReadFolder(Name(path)).has_value()) << path.toStdString();
    EXPECT_FALSE(platform::ReadFolder(platform::FileName(QByteArray("/tmp\0x", 6))).has_value());
    EXPECT_TRUE(platform::ReadFolder(Name(dir.filePath(QStringLiteral(".")))).has_value());
}
