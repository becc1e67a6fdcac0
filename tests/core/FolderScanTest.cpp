// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/FolderScan.h"

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "TestFiles.h"

using platform::FileName;

namespace {

std::vector<FileName> Scan(const FileName &folder)
{
    std::vector<FileName> found;
    app::ScanFolder(
        folder, [&](const FileName &f) { found.push_back(f); }, [] { return true; });
    return found;
}

} // namespace

// Linux only: names that are no text, symbolic links and the descriptor
// limit have no counterpart in Windows' file calls.
#ifndef _WIN32
TEST(FolderScan, NamesThatAreNoTextKeepTheirBytesAndLinksBackEnd)
{
    QTemporaryDir dir;
    const QByteArray top = QFile::encodeName(dir.path()) + '/';
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    WriteBytesAt(top + "\xff\xfe.mpg", "real");
    const TreeRemoval cleanup(top);
    WriteBytesAt(top + "sub/take:2.DAT", "colon");
    WriteBytesAt(top + "notes.txt", "no");
    ASSERT_EQ(::symlink(top.constData(), (top + "sub/loop").constData()), 0);

    std::vector<FileName> found = Scan(FileName(top));
    std::sort(found.begin(), found.end(), [](const FileName &a, const FileName &b) { return a.Bytes() < b.Bytes(); });
    EXPECT_EQ(found, (std::vector<FileName>{FileName(top + "sub/take:2.DAT"), FileName(top + "\xff\xfe.mpg")}));
}

// One open folder at a time: a tree far deeper than the descriptor limit is
// scanned whole.
TEST(FolderScan, ADeepTreeIsScannedWholeUnderALowDescriptorLimit)
{
    QTemporaryDir dir;
    QByteArray path = QFile::encodeName(dir.path()) + '/';
    const QByteArray top = path;
    std::vector<FileName> expected;
    for (int level = 0; level < 1000; ++level) {
        if (level % 100 == 50) {
            WriteBytesAt(path + "f.mpg", "x");
            expected.push_back(FileName(path + "f.mpg"));
        }
        path += "d/";
        ASSERT_EQ(::mkdir(path.constData(), 0755), 0);
    }
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit low = saved;
    low.rlim_cur = 64;
    ::setrlimit(RLIMIT_NOFILE, &low);
    const std::vector<FileName> found = Scan(FileName(top));
    ::setrlimit(RLIMIT_NOFILE, &saved);
    // "d" sorts before "f.mpg": each folder's subfolder is scanned before its file.
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
}
#endif

TEST(FolderScan, StopsWhenTheStepSaysSo)
{
    QTemporaryDir dir;
    for (int i = 0; i < 5; ++i)
        WriteBytes(dir.filePath(QStringLiteral("%1.mpg").arg(i)), "x");
    int steps = 0;
    std::vector<FileName> found;
    app::ScanFolder(
        Name(dir.path() + '/'), [&](const FileName &f) { found.push_back(f); }, [&] { return ++steps <= 2; });
    EXPECT_EQ(found.size(), 2u);
}

// On the original platform a folder lists by name; here readdir's order is a
// hash, so the scan sorts: numbers by value, case ignored, depth first.
TEST(FolderScan, EachFolderInNaturalOrder)
{
    QTemporaryDir dir;
    const QByteArray top = QFile::encodeName(dir.path()) + '/';
    for (const char *name : {"clip10.mpg", "clip2.mpg", "Clip3.mpg", "clip1.mpg", "b/clip1.dat", "a.mpg"}) {
        if (QByteArray(name).contains('/'))
            QDir(dir.path()).mkdir(QStringLiteral("b"));
        WriteBytesAt(top + name, "x");
    }
    std::vector<QByteArray> names;
    for (const FileName &f : Scan(FileName(top)))
        names.push_back(f.Bytes().mid(top.size()));
    EXPECT_EQ(names,
              (std::vector<QByteArray>{"a.mpg", "b/clip1.dat", "clip1.mpg", "clip2.mpg", "Clip3.mpg", "clip10.mpg"}));
}
