// SPDX-License-Identifier: GPL-3.0-or-later
// One entry under two spellings on Linux. vfat, exFAT, NTFS and SMB shares
// find a name in any case; through FUSE each spelling of a name, folders
// included, even gets an inode number of its own, so that identities cannot
// tell "sub/x.mpg" from "SUB/X.MPG". Whole paths are compared instead.
#include "platform/File.h"

#include "platform/Folders.h"

#include <QFile>
#include <QString>
#include <QStringConverter>
#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {
namespace {

// The path with every link resolved, absolute; a name that does not exist
// yet is resolved through its folder. None when its folder cannot be found.
std::optional<QByteArray> Resolved(const FileName &path)
{
    if (char *real = ::realpath(path.Bytes().constData(), nullptr)) {
        QByteArray resolved(real);
        std::free(real);
        return resolved;
    }
    const QByteArray last = path.LastPart();
    if (last.isEmpty() || last == "." || last == "..")
        return std::nullopt;
    const QByteArray folder = path.Folder().IsEmpty() ? QByteArray(".") : path.Folder().Bytes();
    char *real = ::realpath(folder.constData(), nullptr);
    if (!real)
        return std::nullopt;
    QByteArray resolved(real);
    std::free(real);
    return (resolved == "/" ? resolved : resolved + '/') + last;
}

bool IsUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    (void)QString(decoder(bytes));
    return !decoder.hasError();
}

// Whether two names differ in case only. Names that are not UTF-8 fold
// their ASCII letters only, so that two different undecodable names never
// read as one.
bool EqualIgnoringCase(const QByteArray &a, const QByteArray &b)
{
    if (IsUtf8(a) && IsUtf8(b))
        return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The file system type of the mount that holds a file of device dev, as
// /proc/self/mountinfo names it ("fuse.fusefat", "fuseblk", "ext4").
QByteArray MountType(dev_t dev)
{
    QFile mounts(QStringLiteral("/proc/self/mountinfo"));
    if (!mounts.open(QIODevice::ReadOnly))
        return {};
    const QByteArray device = QByteArray::number(major(dev)) + ':' + QByteArray::number(minor(dev));
    for (const QByteArray &line : mounts.readAll().split('\n')) {
        // id parent major:minor root point options [tags] - type source options
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() > 2 && fields[2] == device && dash > 0 && dash + 1 < fields.size())
            return fields[dash + 1];
    }
    return {};
}

// Whether the file system of folder finds names in any case, by its kind:
// the kernel's drivers by their magic number, FUSE drivers by the type they
// mount as, ext4 and f2fs by the folder's casefold flag.
bool KnownToFoldCase(int folder)
{
    struct statfs fs {};
    if (::fstatfs(folder, &fs) != 0)
        return false;
    switch (quint32(fs.f_type)) {
    case 0x4d44:     // vfat, msdos
    case 0x2011BAB0: // exFAT
    case 0x5346544e: // NTFS (ntfs3)
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
    case 0x517B:     // SMB
    case 0x482b:     // HFS+
    case 0x4244:     // HFS
        return true;
    case 0x65735546: { // FUSE
        struct stat st {};
        if (::fstat(folder, &st) != 0)
            return false;
        const QByteArray type = MountType(st.st_dev);
        // ntfs-3g is not among them: it tells case apart unless told otherwise.
        return type == "fuse.fusefat" || type == "fuseblk.exfat" || type == "fuse.exfat";
    }
    default: {
        int flags = 0;
        const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool folded = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL);
        ::close(fd);
        return folded;
    }
    }
}

// Whether folder finds the entry a under spelling b: both names lead to
// something, and the folder's listing does not hold both as entries of
// their own. Where the folder cannot be listed, the worst is assumed,
// which only refuses a join.
bool OneEntryUnderBothSpellings(const QByteArray &folderPath, int folder, const QByteArray &a, const QByteArray &b)
{
    struct stat st {};
    if (::fstatat(folder, a.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::fstatat(folder, b.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    const auto entries = ReadFolder(FileName(folderPath));
    if (!entries)
        return true;
    bool listsA = false, listsB = false;
    for (const FolderEntry &entry : *entries) {
        listsA = listsA || entry.Name == a;
        listsB = listsB || entry.Name == b;
    }
    return !(listsA && listsB);
}

} // namespace

// Through FUSE, on SMB shares, and, to be sure, on the file systems known
// to fold case. Elsewhere the kernel gives one file one identity, whatever
// its spelling, and identities tell.
bool SpellingsMayDiffer(const FileName &path)
{
    struct statfs fs {};
    if (::statfs(path.Bytes().constData(), &fs) != 0) {
        const QByteArray folder = path.Folder().IsEmpty() ? QByteArray(".") : path.Folder().Bytes();
        if (::statfs(folder.constData(), &fs) != 0)
            return true;
    }
    switch (quint32(fs.f_type)) {
    case 0x65735546: // FUSE
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
    case 0x517B:     // SMB
    case 0x4d44:     // vfat, msdos
    case 0x2011BAB0: // exFAT
    case 0x5346544e: // NTFS (ntfs3)
    case 0x482b:     // HFS+
    case 0x4244:     // HFS
        return true;
    default: return false;
    }
}

bool SameEntryIgnoringCase(const FileName &a, const FileName &b)
{
    if (a.IsEmpty() || b.IsEmpty() || a.HoldsNul() || b.HoldsNul() || !SpellingsMayDiffer(a))
        return false;
    const auto pathA = Resolved(a), pathB = Resolved(b);
    if (!pathA || !pathB)
        return false;
    if (*pathA == *pathB)
        return true;
    const QList<QByteArray> partsA = pathA->split('/'), partsB = pathB->split('/');
    if (partsA.size() != partsB.size())
        return false;
    // From the root down: parts spelt alike lead to the same folder; a part
    // spelt otherwise is the same entry only where its folder folds case.
    QByteArray folder = "/";
    for (qsizetype i = 1; i < partsA.size(); ++i) {
        const QByteArray &partA = partsA[i], &partB = partsB[i];
        if (partA != partB) {
            if (!EqualIgnoringCase(partA, partB))
                return false;
            const int fd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0)
                return false;
            const bool same = KnownToFoldCase(fd) || OneEntryUnderBothSpellings(folder, fd, partA, partB);
            ::close(fd);
            if (!same)
                return false;
        }
        folder = (folder == "/" ? folder : folder + '/') + partA;
    }
    return true;
}

} // namespace platform
