#include "platform/Folders.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <dirent.h>
#include <functional>

using platform::FolderEnumerator;

namespace {

void Touch(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

QStringList Names(const QString &folder)
{
    QStringList names;
    FolderEnumerator e(folder);
    FolderEnumerator::Entry entry;
    while (e.Next(entry))
        names << entry.Name + (entry.IsFolder ? QStringLiteral("/") : QString());
    return names;
}

} // namespace

TEST(FolderEnumerator, FollowsReaddirOrderWithHiddenEntries)
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

TEST(FolderEnumerator, LinksCountAsWhatTheyLeadTo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("real")));
    Touch(dir.filePath(QStringLiteral("file.mpg")));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("real")), dir.filePath(QStringLiteral("tofolder"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("file.mpg")), dir.filePath(QStringLiteral("tofile.mpg"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("dangling.mpg"))));

    QStringList names = Names(dir.path());
    names.sort();
    EXPECT_EQ(names, QStringList({QStringLiteral("dangling.mpg"), QStringLiteral("file.mpg"),
                                  QStringLiteral("real/"), QStringLiteral("tofile.mpg"),
                                  QStringLiteral("tofolder/")}));
}

TEST(FolderEnumerator, FolderThatCannotBeOpenedYieldsNothing)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("file.mpg"));
    Touch(file);
    for (const QString &path : {dir.filePath(QStringLiteral("missing")), file, QString()}) {
        FolderEnumerator e(path);
        FolderEnumerator::Entry entry;
        EXPECT_FALSE(e.Ok()) << path.toStdString();
        EXPECT_FALSE(e.Next(entry));
    }
    FolderEnumerator empty(dir.filePath(QStringLiteral(".")));
    EXPECT_TRUE(empty.Ok());
}

TEST(VisitedFolders, RecursiveScanEntersEachRealFolderOnceThroughLinkLoops)
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("root"));
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/a/b")));
    Touch(root + QStringLiteral("/x.mpg"));
    Touch(root + QStringLiteral("/a/b/y.mpg"));
    ASSERT_TRUE(QFile::link(root, root + QStringLiteral("/a/b/up")));  // back to the top
    ASSERT_TRUE(QFile::link(root + QStringLiteral("/a"), root + QStringLiteral("/again")));

    platform::VisitedFolders visited;
    QStringList files;
    int entered = 0;
    std::function<void(const QString &)> scan = [&](const QString &folder) {
        if (!visited.Enter(folder))
            return;
        ++entered;
        FolderEnumerator e(folder);
        FolderEnumerator::Entry entry;
        while (e.Next(entry)) {
            if (entry.IsFolder)
                scan(folder + QLatin1Char('/') + entry.Name);
            else
                files << entry.Name;
        }
    };
    scan(root);
    files.sort();
    EXPECT_EQ(entered, 3); // root, a, b
    EXPECT_EQ(files, QStringList({QStringLiteral("x.mpg"), QStringLiteral("y.mpg")}));
    EXPECT_FALSE(visited.Enter(root + QStringLiteral("/a/b/up/a")));
}
