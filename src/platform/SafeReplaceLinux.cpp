// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a file safely on Linux: the walk through links to the file's
// folder, the checks of what is there (mount roots, extended attributes and
// ACLs), the new file under a temporary name or none, and the exchange that
// puts it in place.
#include "platform/File.h"

#include "platform/FileLinuxDetail.h"
#include "platform/FileShared.h"

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

using detail::C;
using detail::IdOf;
using detail::ProcFdAvailable;
using detail::RefuseNul;
using detail::Retry;
using detail::Shown;
using detail::ThrowNotAFile;

namespace {

// Whether name in folder still names the file open as fd.
bool Names(int folder, const char *name, int fd)
{
    struct stat named {};
    struct stat opened {};
    return ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &opened) == 0 &&
           named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

// Removes this user's temporary files in folder that a killed run left: a
// join holds a lock on its temporary file for as long as it lives, so an
// unlocked one is no live join's. The process id in the name cannot tell:
// a join in another PID namespace holds a number that means nothing here.
void RemoveStaleTempFiles(int folder)
{
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const qint64 pid = detail::PidOfTempName(entry->d_name);
        if (pid == 0 || ::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue; // not ours, or its program lives in this namespace
        const int file = ::openat(folder, entry->d_name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
        if (file < 0)
            continue;
        struct stat st {};
        if (::fstat(file, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            ::flock(file, LOCK_EX | LOCK_NB) == 0 && Names(folder, entry->d_name, file))
            ::unlinkat(folder, entry->d_name, 0);
        ::close(file);
    }
    ::closedir(dir);
}

// Where a new file goes: its folder, opened once, and its name in it.
struct Place {
    std::shared_ptr<File::Descriptor> folder;
    QByteArray name;
    std::optional<struct stat> existing; // what is there now; never a link
};

// As the kernel refuses with fs.protected_symlinks: a link in a sticky folder
// that anyone may write, owned neither by the follower nor by the folder's owner.
bool ProtectedLink(const struct stat &link, const struct stat &folder)
{
    return (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH) && link.st_uid != ::geteuid() &&
           link.st_uid != folder.st_uid;
}

// "folder/part", for messages.
QByteArray Joined(const QByteArray &folder, const QByteArray &part)
{
    return folder.isEmpty() ? part : folder.endsWith('/') ? folder + part : folder + '/' + part;
}

// Walks path one part at a time from the root or the current folder,
// opening each folder with O_NOFOLLOW, so that the system follows no link on
// its own. Every link met, at any level, is followed here only as the kernel
// follows links for this user with fs.protected_symlinks, whatever that
// setting says: never one that another user put in a shared sticky folder.
// Gives the folder of the file path finally names, opened, and its name.
Place Locate(const FileName &path)
{
    if (path.LastPart().isEmpty())
        ThrowInOut(EISDIR, path);
    const bool absolute = path.Bytes().startsWith('/');
    auto folder = std::make_shared<File::Descriptor>(
        Retry([&] { return ::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC); }));
    if (folder->Get() < 0)
        ThrowInOut(errno, path);
    QByteArray walked = absolute ? "/" : ""; // the folder reached, as a path for messages
    QList<QByteArray> parts = path.Bytes().split('/');
    bool throughLink = false; // the last part named a link
    int links = 0;

    // Takes the place of the link part in folder by what it leads to.
    const auto follow = [&](const QByteArray &part, const struct stat &link) {
        struct stat folderStat {};
        if (::fstat(folder->Get(), &folderStat) != 0)
            ThrowInOut(errno, path);
        if (ProtectedLink(link, folderStat))
            throw EInOutError(InOutCode::AccessDenied,
                              QStringLiteral("File access denied: %1 is a link that another user put in a "
                                             "shared folder; it is not followed")
                                  .arg(Shown(FileName(Joined(walked, part)))));
        if (++links > 40)
            ThrowInOut(ELOOP, path);
        QByteArray target(4096, Qt::Uninitialized);
        const ssize_t n = ::readlinkat(folder->Get(), part.constData(), target.data(), size_t(target.size()));
        if (n < 0)
            ThrowInOut(errno, path);
        target.truncate(n);
        if (target.startsWith('/')) {
            folder =
                std::make_shared<File::Descriptor>(Retry([] { return ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC); }));
            if (folder->Get() < 0)
                ThrowInOut(errno, path);
            walked = "/";
        }
        parts = target.split('/') + parts;
    };

    while (!parts.isEmpty()) {
        const QByteArray part = parts.takeFirst();
        if (parts.isEmpty()) {
            // The last part: the file itself, or a link to follow further.
            if (part.isEmpty())
                ThrowInOut(EISDIR, path); // a link whose target ends in "/"
            struct stat st {};
            if (::fstatat(folder->Get(), part.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno != ENOENT)
                    ThrowInOut(errno, path);
                if (throughLink)
                    throw EInOutError(InOutCode::FileNotFound,
                                      QStringLiteral("File not found: %1 is a link to %2, which does not exist; "
                                                     "no file is created through a link")
                                          .arg(Shown(path), Shown(FileName(Joined(walked, part)))));
                return Place{folder, part, std::nullopt};
            }
            if (!S_ISLNK(st.st_mode))
                return Place{folder, part, st};
            follow(part, st);
            throughLink = true;
            continue;
        }
        if (part.isEmpty() || part == ".")
            continue;
        const int next = Retry(
            [&] { return ::openat(folder->Get(), part.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
        if (next >= 0) {
            folder = std::make_shared<File::Descriptor>(next);
            walked = Joined(walked, part);
            continue;
        }
        const int error = errno;
        struct stat st {};
        if (error != ENOTDIR || ::fstatat(folder->Get(), part.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(st.st_mode))
            ThrowInOut(error, path);
        follow(part, st);
    }
    ThrowInOut(EISDIR, path); // a path of "." and "/" only names a folder
}

// Whether the file is itself a mount point (a file bind-mounted onto
// another), which cannot be renamed over.
bool IsMountPoint(int folder, const QByteArray &name)
{
    struct statx stx {};
    return ::statx(folder, name.constData(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &stx) == 0 &&
           (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
}

// Gives the new file the extended attributes (ACLs included) of the one it
// replaces. False when one of them cannot be carried over.
bool CopyAttributes(int folder, const QByteArray &name, int to)
{
    const QByteArray from = "/proc/self/fd/" + QByteArray::number(folder) + '/' + name;
    const ssize_t size = ::llistxattr(from.constData(), nullptr, 0);
    if (size < 0)
        return errno == ENOTSUP; // a file system without them has none to lose
    QByteArray names(size, Qt::Uninitialized);
    const ssize_t got = ::llistxattr(from.constData(), names.data(), size_t(names.size()));
    if (got < 0)
        return false;
    names.truncate(got);
    for (const QByteArray &attribute : names.split('\0')) {
        if (attribute.isEmpty())
            continue;
        const ssize_t length = ::lgetxattr(from.constData(), attribute.constData(), nullptr, 0);
        if (length < 0)
            return false;
        QByteArray value(length, Qt::Uninitialized);
        const ssize_t read = ::lgetxattr(from.constData(), attribute.constData(), value.data(), size_t(value.size()));
        if (read < 0)
            return false;
        value.truncate(read);
        QByteArray now(read + 1, Qt::Uninitialized);
        const ssize_t nowLength = ::fgetxattr(to, attribute.constData(), now.data(), size_t(now.size()));
        if (nowLength == read && now.left(read) == value)
            continue; // given already (a security label)
        if (::fsetxattr(to, attribute.constData(), value.constData(), size_t(value.size()), 0) != 0)
            return false;
    }
    return true;
}

// Lets the system forget the cached pages of a file about to be replaced. A
// new output written beside an old one of gigabytes had both held in memory
// until the rename, and the join spent its time making room.
void DropCachedPages(int folder, const QByteArray &name)
{
    const int fd = ::openat(folder, name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return; // only advice: an old file that cannot be read keeps its pages
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// A new file in folder, for the bytes that are to take a name there: an
// unnamed one where the system has them, or one under a hidden name, locked
// for as long as it is open (see RemoveStaleTempFiles), before any name of
// it can be seen. The descriptor is negative, with errno set, when the folder
// takes no new file.
std::pair<int, QByteArray> NewTempFile(int folder, mode_t mode)
{
    RemoveStaleTempFiles(folder);
    int fd = -1;
    if (ProcFdAvailable())
        fd = Retry([&] { return ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode); });
    if (fd >= 0 || (ProcFdAvailable() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
        if (fd >= 0)
            ::flock(fd, LOCK_EX | LOCK_NB); // only advice to the cleaners: a failure harms nothing
        return {fd, {}};
    }
    // This file system has no unnamed files: a hidden name of its own. Until
    // it is locked, another run may take it for a killed run's and remove it;
    // a name that did not stay this file's is given up for another.
    for (int tries = 0;; ++tries) {
        const QByteArray tempName = detail::TempName();
        fd = Retry([&] {
            return ::openat(folder, tempName.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        });
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return {fd, {}};
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if ((locked || errno != EWOULDBLOCK) && Names(folder, tempName.constData(), fd))
            return {fd, tempName};
        ::close(fd);
        if (tries == 100) {
            errno = EAGAIN;
            return {-1, {}};
        }
    }
}

// Whether the new file has the owner of the one it replaces. Only root can
// give it; a file system without owners of its own (FAT through FUSE)
// refuses the call, but then gives every file the same owner anyway.
bool OwnerKept(int fd, const struct stat &old)
{
    if (::geteuid() != 0 || ::fchown(fd, old.st_uid, old.st_gid) == 0)
        return true;
    struct stat now {};
    return ::fstat(fd, &now) == 0 && now.st_uid == old.st_uid && now.st_gid == old.st_gid;
}

// How long a rewrite in place waits for another program that rewrites the
// same file, before it gives up.
constexpr int RewriteWaitMs = 10000;

// Copies bytes [from, to) of in to the same place in out.
void CopyBytes(int in, int out, off_t from, off_t to, const FileName &path)
{
    bool kernel = true;
    std::unique_ptr<char[]> buffer;
    constexpr size_t Piece = 1 << 20;
    while (from < to) {
        ssize_t got = -1;
        if (kernel) {
            off_t inAt = from, outAt = from;
            got = ::copy_file_range(in, &inAt, out, &outAt, size_t(to - from), 0);
            if (got < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                kernel = false;
                continue;
            }
        } else {
            if (!buffer)
                buffer.reset(new char[Piece]);
            got = ::pread(in, buffer.get(), std::min(Piece, size_t(to - from)), from);
            for (ssize_t put = 0; got > 0 && put < got;) {
                const ssize_t n = ::pwrite(out, buffer.get() + put, size_t(got - put), from + put);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    ThrowInOut(n == 0 ? ENOSPC : errno, path);
                put += n;
            }
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ThrowInOut(errno, path);
        if (got == 0)
            ThrowInOut(EIO, path); // the new file is shorter than it was a moment ago
        from += got;
    }
}

// Puts the whole of the new file in into out, the old file, which keeps its
// names, owner and attributes. Another program rewriting out the same way
// waits for this one, so that the two never mix. Out grows first: on a full
// disk it is left as it was.
void CopyInto(int in, int out, const FileName &path)
{
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    for (int waited = 0; ::fcntl(out, F_OFD_SETLK, &whole) != 0; waited += 20) {
        if (errno != EAGAIN && errno != EACCES && errno != EINTR)
            break; // a file system without locks: nothing to wait for
        if (waited >= RewriteWaitMs)
            throw EInOutError(
                5, QStringLiteral("File access denied: %1 is being rewritten by another program").arg(Shown(path)));
        ::usleep(20000);
    }
    struct stat newFile {};
    struct stat oldFile {};
    if (::fstat(in, &newFile) != 0 || ::fstat(out, &oldFile) != 0)
        ThrowInOut(errno, path);
    const off_t size = newFile.st_size, oldSize = oldFile.st_size;
    if (size > oldSize) {
        try {
            CopyBytes(in, out, oldSize, size, path);
        } catch (...) {
            Retry([&] { return ::ftruncate(out, oldSize); });
            throw;
        }
    }
    CopyBytes(in, out, 0, std::min(size, oldSize), path);
    if (size < oldSize && Retry([&] { return ::ftruncate(out, size); }) != 0)
        ThrowInOut(errno, path);
    whole.l_type = F_UNLCK;
    ::fcntl(out, F_OFD_SETLK, &whole);
}

} // namespace

File File::Create(const FileName &path, const CreateCheck &check)
{
    RefuseNul(path);
    const Place place = Locate(path);
    const int folder = place.folder->Get();
    const char *name = place.name.constData();

    bool inPlace = false;
    if (place.existing) {
        const struct stat &st = *place.existing;
        if (S_ISDIR(st.st_mode))
            ThrowInOut(EISDIR, path);
        if (S_ISCHR(st.st_mode)) { // kept non-blocking: a write that would wait fails instead
            const int fd = Retry(
                [&] { return ::openat(folder, name, O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC); });
            if (fd < 0)
                ThrowInOut(errno, path);
            return File(fd, path);
        }
        if (!S_ISREG(st.st_mode))
            ThrowNotAFile(path, st.st_mode, true);
        if ((st.st_mode & 0222) == 0 || ::faccessat(folder, name, W_OK, AT_EACCESS) != 0)
            ThrowInOut(EACCES, path);
        // Renaming a new file over it would split its hard links, give it
        // another owner, or fail on a mount point; those files are rewritten
        // where they are.
        inPlace = st.st_nlink > 1 || (st.st_uid != ::geteuid() && ::geteuid() != 0) || IsMountPoint(folder, place.name);
    }

    const mode_t mode = place.existing ? (place.existing->st_mode & 07777) : 0666;
    const auto [fd, tempName] = NewTempFile(folder, mode);
    if (fd < 0) {
        const bool folderRefuses = errno == EACCES || errno == EPERM || errno == EROFS;
        if (!place.existing || !folderRefuses)
            ThrowInOut(errno, path);
        // The old file is then cut and written where it is, once check has passed.
        File file(
            Retry([&] { return ::openat(folder, name, O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC); }),
            path);
        struct stat now {};
        if (file.fd_ < 0 || ::fstat(file.fd_, &now) != 0)
            ThrowInOut(errno, path);
        if (!S_ISREG(now.st_mode))
            ThrowNotAFile(path, now.st_mode, true);
        if (check)
            check(file);
        file.Truncate(0);
        return file;
    }
    File file(fd, path);
    file.replacement_.emplace(Replacement{place.folder, place.name, tempName, {}});
    if (place.existing) {
        file.replaced_ = IdOf(*place.existing);
        if (!inPlace) {
            ::fchmod(fd, mode); // the umask may have taken bits away
            // What cannot be carried over is kept by writing in place.
            inPlace = !OwnerKept(fd, *place.existing) || !CopyAttributes(folder, place.name, fd);
        }
        if (inPlace) {
            // The new file gathers the bytes all the same, and they go into
            // the old file only when it is closed: nothing of the old file is
            // touched before every input has been read.
            auto target = std::make_shared<Descriptor>(
                Retry([&] { return ::openat(folder, name, O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC); }));
            struct stat now {};
            if (target->Get() < 0 || ::fstat(target->Get(), &now) != 0) {
                const int error = errno;
                file.Discard();
                ThrowInOut(error, path);
            }
            if (!S_ISREG(now.st_mode)) {
                file.Discard();
                ThrowNotAFile(path, now.st_mode, true);
            }
            file.replacement_->target = std::move(target);
        }
    }
    if (check) {
        try {
            check(file);
        } catch (...) {
            file.Discard();
            throw;
        }
    }
    if (place.existing && !inPlace)
        DropCachedPages(folder, place.name);
    return file;
}

File File::CreateNew(const FileName &path)
{
    RefuseNul(path);
    const Place place = Locate(path);
    if (place.existing)
        ThrowInOut(EEXIST, path);
    // O_EXCL with O_CREAT never follows a link, not even one planted meanwhile.
    const int fd = Retry([&] {
        return ::openat(place.folder->Get(), place.name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC,
                        0666);
    });
    if (fd < 0)
        ThrowInOut(errno, path);
    return File(fd, path);
}

void File::Replace()
{
    if (!replacement_)
        return;
    const Replacement r = *replacement_;
    replacement_.reset();
    const int folder = r.folder->Get();
    if (r.target) {
        const auto removeTemp = [&] {
            if (!r.tempName.isEmpty())
                ::unlinkat(folder, r.tempName.constData(), 0);
        };
        try {
            CopyInto(fd_, r.target->Get(), path_);
        } catch (...) {
            removeTemp();
            throw;
        }
        removeTemp();
        return;
    }
    QByteArray named = r.tempName;
    if (named.isEmpty()) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_);
        int linked;
        do {
            named = detail::TempName();
            linked = ::linkat(AT_FDCWD, self.constData(), folder, named.constData(), AT_SYMLINK_FOLLOW);
        } while (linked != 0 && errno == EEXIST);
        if (linked != 0)
            ThrowInOut(errno, path_);
    }
    const auto fail = [&](int err) {
        if (r.tempName.isEmpty())
            ::unlinkat(folder, named.constData(), 0); // the unnamed file still holds the bytes until closed
        ThrowInOut(err, path_);
    };
    if (replaced_) {
        // Renamed over an existing file, ext4 writes the new file's data out
        // first, seconds for gigabytes. Exchanging the two names does not;
        // the old file, now under the temporary name, then goes. The name
        // never stops naming a whole file, old or new.
        if (::renameat2(folder, named.constData(), folder, r.name.constData(), RENAME_EXCHANGE) == 0) {
            if (::unlinkat(folder, named.constData(), 0) == 0 || errno != EISDIR)
                return;
            // A folder was put there meanwhile, which a rename would not
            // have replaced: it gets its name back.
            ::renameat2(folder, named.constData(), folder, r.name.constData(), RENAME_EXCHANGE);
            fail(EISDIR);
        }
        // Some file systems (FUSE, NFS) cannot exchange; a vanished target
        // has nothing to exchange with.
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != ENOENT)
            fail(errno);
    }
    if (::renameat(folder, named.constData(), folder, r.name.constData()) != 0)
        fail(errno);
}

} // namespace platform
