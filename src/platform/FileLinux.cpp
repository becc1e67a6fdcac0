// SPDX-License-Identifier: GPL-3.0-or-later
// Files on POSIX systems: descriptors, opened relative to their folder.
#include "platform/File.h"

#include "platform/FileShared.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

using detail::RefuseNul;
using detail::Shown;

namespace {

const char *C(const FileName &name) { return name.Bytes().constData(); }

// True when the folder that would hold path exists as a folder.
bool ParentFolderExists(const FileName &path)
{
    FileName parent = path.Folder();
    if (parent.IsEmpty())
        parent = FileName(".");
    struct stat st {};
    return ::stat(C(parent), &st) == 0 && S_ISDIR(st.st_mode);
}

QString KindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe (FIFO)");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    return QStringLiteral("not a regular file");
}

[[noreturn]] void ThrowNotAFile(const FileName &path, mode_t mode, bool output)
{
    detail::ThrowNotAFile(path, KindOf(mode), output);
}

int Retry(const std::function<int()> &call)
{
    int result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

QByteArray FolderOf(const QByteArray &path)
{
    const QByteArray folder = FileName(path).Folder().Bytes();
    return folder.isEmpty() ? QByteArray("./") : folder;
}

// Removes this user's temporary files in folder whose program is gone (killed
// in the middle of a join on a file system without unnamed files).
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
        if (pid == 0 || pid == ::getpid() || ::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue;
        struct stat st {};
        if (::fstatat(folder, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid())
            ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(dir);
}

FileId IdOf(const struct stat &st)
{
    return FileId{st.st_dev, st.st_ino, qint64(st.st_size),
                  qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool ProcFdAvailable()
{
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

} // namespace

std::optional<FileId> IdentityOf(const FileName &path)
{
    struct stat st {};
    if (path.IsEmpty() || path.HoldsNul() || ::stat(C(path), &st) != 0)
        return std::nullopt;
    return IdOf(st);
}

int InOutCodeFor(int errnum, const FileName &path)
{
    switch (errnum) {
    case ENOENT: return ParentFolderExists(path) ? InOutCode::FileNotFound : InOutCode::InvalidFilename;
    case ENOTDIR: return InOutCode::InvalidFilename;
    case EMFILE:
    case ENFILE: return InOutCode::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return InOutCode::AccessDenied; // a folder opened as a file is refused like a locked file
    case ENOSPC:
    case EDQUOT: return InOutCode::DiskFull;
    default: return errnum;
    }
}

EInOutError InOutErrorFor(int errnum, const FileName &path)
{
    const int code = InOutCodeFor(errnum, path);
    // Unchanged means unmapped, except ENOENT whose number is its code.
    EInOutError error = code == errnum && errnum != ENOENT ? EInOutError(code, QStringLiteral("I/O error %1").arg(code))
                                                           : EInOutError(code);
    error.SetDetails(Shown(path)); // the message stays the fixed one; the box names the file beneath it
    return error;
}

void InputLook::Forget() noexcept
{
    if (handle_ >= 0)
        ::close(std::exchange(handle_, NoHandle));
}

InputLook LookAtInput(const FileName &path, bool keepHandle)
{
    RefuseNul(path);
    struct stat st {};
    int handle = -1;
    if (keepHandle && ProcFdAvailable()) {
        // O_PATH opens no device's driver and waits on no pipe; the stat of
        // the handle is the look's only one.
        handle = Retry([&] { return ::open(C(path), O_PATH | O_CLOEXEC); });
        if (handle < 0 && errno != EMFILE && errno != ENFILE)
            return {};
    }
    InputLook look({}, handle);
    if (handle >= 0 ? ::fstat(handle, &st) != 0 : ::stat(C(path), &st) != 0)
        return {};
    if (S_ISDIR(st.st_mode))
        ThrowInOut(EISDIR, path);
    if (!S_ISREG(st.st_mode))
        ThrowNotAFile(path, st.st_mode, false);
    return InputLook(IdOf(st), look.TakeHandle());
}

int InputHandleBudget()
{
    constexpr rlim_t Reserve = 256, Most = 65536;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur <= Reserve)
        return 0;
    return int(std::min(limit.rlim_cur - Reserve, Most));
}

qint64 SizeOf(const FileName &path)
{
    struct stat st {};
    if (path.HoldsNul() || ::stat(C(path), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return st.st_size;
}

bool IsMissing(const FileName &path)
{
    struct stat st {};
    return path.IsEmpty() || path.HoldsNul() || (::stat(C(path), &st) != 0 && (errno == ENOENT || errno == ENOTDIR));
}

bool RemoveFile(const FileName &path) { return !path.HoldsNul() && ::unlink(C(path)) == 0; }

bool MayWrite(const FileName &existing)
{
    struct stat st {};
    if (existing.HoldsNul() || ::stat(C(existing), &st) != 0)
        return false;
    return (st.st_mode & 0222) != 0 && ::access(C(existing), W_OK) == 0;
}

// ---------------------------------------------------------------------------

File::Descriptor::~Descriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

File::Descriptor &File::Descriptor::operator=(Descriptor &&other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

File::~File() { Release(); }

void File::Release() noexcept
{
    if (fd_ < 0)
        return;
    try {
        Replace();
    } catch (const Exception &) {
    }
    ::close(fd_);
    fd_ = -1;
}

void File::Discard() noexcept
{
    if (replacement_ && !replacement_->tempName.isEmpty())
        ::unlinkat(replacement_->folder->Get(), replacement_->tempName.constData(), 0);
    replacement_.reset();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

File File::Open(const FileName &path, int flags)
{
    RefuseNul(path);
    const int fd = Retry([&] { return ::open(C(path), flags | O_CLOEXEC | O_NOCTTY, 0666); });
    if (fd < 0)
        ThrowInOut(errno, path);
    return File(fd, path);
}

File File::OpenRead(const FileName &path, InputLook *look)
{
    RefuseNul(path);
    if (look && look->HoldsHandle() && ProcFdAvailable()) {
        // The file looked at, whatever has been put under its name since.
        const Descriptor handle(look->TakeHandle());
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(handle.Get());
        const int fd = Retry([&] { return ::open(self.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); });
        if (fd < 0)
            ThrowInOut(errno, path);
        File file(fd, path);
        file.opened_ = look->Identity();
        ::posix_fadvise(file.fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
        return file;
    }
    // Looked at before opening: opening a pipe or a device can wait for ever
    // or act on the device.
    if (!look)
        LookAtInput(path);
    File file = Open(path, O_RDONLY | O_NONBLOCK);
    struct stat st {};
    if (::fstat(file.fd_, &st) != 0)
        ThrowInOut(errno, path);
    if (S_ISDIR(st.st_mode))
        ThrowInOut(EISDIR, path);
    if (!S_ISREG(st.st_mode)) // it was swapped since the look
        ThrowNotAFile(path, st.st_mode, false);
    file.opened_ = IdOf(st);
    // Inputs are read front to back once; a larger read-ahead helps files not
    // yet in the cache. Only advice: its failure changes nothing.
    ::posix_fadvise(file.fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return file;
}

namespace {

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

// Follows links in the last part of path as the kernel would for this user,
// and opens the folder of the file it finally names.
Place Locate(const FileName &path)
{
    QByteArray current = path.Bytes();
    bool throughLink = false;
    for (int hops = 0;; ++hops) {
        const FileName here(current);
        Place place;
        place.name = here.LastPart();
        if (place.name.isEmpty())
            ThrowInOut(EISDIR, path);
        const QByteArray folder = FolderOf(current);
        place.folder = std::make_shared<File::Descriptor>(
            Retry([&] { return ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC); }));
        if (place.folder->Get() < 0)
            ThrowInOut(errno, path);
        struct stat st {};
        if (::fstatat(place.folder->Get(), place.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                ThrowInOut(errno, path);
            if (throughLink)
                throw EInOutError(InOutCode::FileNotFound,
                                  QStringLiteral("File not found: %1 is a link to %2, which does not exist; no "
                                                 "file is created through a link")
                                      .arg(Shown(path), Shown(here)));
            return place;
        }
        if (!S_ISLNK(st.st_mode)) {
            place.existing = st;
            return place;
        }
        struct stat folderStat {};
        if (::fstat(place.folder->Get(), &folderStat) != 0)
            ThrowInOut(errno, path);
        if (ProtectedLink(st, folderStat))
            throw EInOutError(InOutCode::AccessDenied,
                              QStringLiteral("File access denied: %1 is a link that another user put in a "
                                             "shared folder; it is not followed")
                                  .arg(Shown(here)));
        if (hops == 40)
            ThrowInOut(ELOOP, path);
        QByteArray target(4096, Qt::Uninitialized);
        const ssize_t n =
            ::readlinkat(place.folder->Get(), place.name.constData(), target.data(), size_t(target.size()));
        if (n < 0)
            ThrowInOut(errno, path);
        target.truncate(n);
        current = target.startsWith('/') ? target : folder + target;
        throughLink = true;
    }
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

    if (!inPlace) {
        const mode_t mode = place.existing ? (place.existing->st_mode & 07777) : 0666;
        int fd = -1;
        QByteArray tempName;
        if (ProcFdAvailable())
            fd = Retry([&] { return ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode); });
        if (fd < 0 && (!ProcFdAvailable() || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
            // This file system has no unnamed files: a hidden name of its own.
            RemoveStaleTempFiles(folder);
            do {
                tempName = detail::TempName();
                fd = Retry([&] {
                    return ::openat(folder, tempName.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                    mode);
                });
            } while (fd < 0 && errno == EEXIST);
        }
        if (fd >= 0) {
            File file(fd, path);
            file.replacement_ = Replacement{place.folder, place.name, tempName};
            if (place.existing) {
                file.replaced_ = IdOf(*place.existing);
                ::fchmod(fd, mode); // the umask may have taken bits away
                const bool ownerKept =
                    ::geteuid() != 0 || ::fchown(fd, place.existing->st_uid, place.existing->st_gid) == 0;
                // What cannot be carried over is kept by writing in place.
                inPlace = !ownerKept || !CopyAttributes(folder, place.name, fd);
            }
            if (!inPlace) {
                if (check) {
                    try {
                        check(file);
                    } catch (...) {
                        file.Discard();
                        throw;
                    }
                }
                if (place.existing)
                    DropCachedPages(folder, place.name);
                return file;
            }
            file.Discard();
        } else {
            const bool folderRefuses = errno == EACCES || errno == EPERM || errno == EROFS;
            if (!place.existing || !folderRefuses)
                ThrowInOut(errno, path);
            inPlace = true;
        }
    }

    const int fd =
        Retry([&] { return ::openat(folder, name, O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC); });
    if (fd < 0)
        ThrowInOut(errno, path);
    File file(fd, path);
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        ThrowInOut(errno, path);
    if (!S_ISREG(now.st_mode))
        ThrowNotAFile(path, now.st_mode, true);
    // Nothing is cut until the caller has checked the file: it may be an input.
    if (check)
        check(file);
    if (Retry([&] { return ::ftruncate(fd, 0); }) != 0)
        ThrowInOut(errno, path);
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

qint64 File::Size() const
{
    if (opened_)
        return opened_->size;
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        ThrowInOut(errno, path_);
    return st.st_size;
}

FileId File::Identity() const
{
    if (opened_)
        return *opened_;
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        ThrowInOut(errno, path_);
    return IdOf(st);
}

qint64 File::CopyRange(File &from, File &to, qint64 max)
{
    for (;;) {
        const ssize_t got = CurrentWriteCalls().CopyRange(from.fd_, to.fd_, size_t(max));
        if (got >= 0)
            return got;
        switch (errno) {
        case EINTR: continue;
        // Not between these files or file systems, or not on this system.
        case EXDEV:
        case EINVAL:
        case ENOSYS:
        case EOPNOTSUPP:
        case EBADF: return -1;
        case EIO: ThrowInOut(errno, from.path_);
        default: ThrowInOut(errno, to.path_);
        }
    }
}

bool File::KernelCopyPays() const
{
    struct statfs fs {};
    if (::fstatfs(fd_, &fs) != 0)
        return false;
    switch (quint32(fs.f_type)) {
    case 0x9123683E: // btrfs
    case 0x58465342: // XFS
    case 0xCA451A4E: // bcachefs
    case 0x2FC12FC1: // ZFS
    case 0x7461636F: // OCFS2
    case 0x6969:     // NFS
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
    case 0x00C36400: // Ceph
        return true;
    default: return false;
    }
}

qint64 File::Read(char *buffer, qint64 max)
{
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, size_t(max));
        if (got >= 0)
            return got;
        if (errno != EINTR)
            ThrowInOut(errno, path_);
    }
}

qint64 File::Seek(qint64 offset)
{
    const off_t at = ::lseek(fd_, off_t(offset), SEEK_SET);
    if (at < 0)
        ThrowInOut(errno, path_);
    return at;
}

qint64 File::Position() const
{
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0)
        ThrowInOut(errno, path_);
    return at;
}

void File::WriteAll(const char *data, qint64 n)
{
    // The kernel may accept part of a request (a signal, a nearly full disk);
    // the rest is offered again, and the call that cannot take it reports why.
    while (n > 0) {
        const ssize_t put = CurrentWriteCalls().Write(fd_, data, size_t(n));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            ThrowInOut(errno, path_);
        }
        if (put == 0)
            throw EInOutError(InOutCode::DiskFull);
        data += put;
        n -= put;
    }
}

void File::Truncate(qint64 size)
{
    if (Retry([&] { return ::ftruncate(fd_, off_t(size)); }) != 0)
        ThrowInOut(errno, path_);
}

void File::Close()
{
    if (fd_ < 0)
        return;
    try {
        Replace();
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor even when close reports an error, so no retry.
    if (::close(fd) != 0 && errno != EINTR)
        ThrowInOut(errno, path_);
}

// ---------------------------------------------------------------------------

namespace {

WriteCalls SystemWriteCalls()
{
    return {[](int fd, const char *data, size_t n) { return ::write(fd, data, n); },
            [](int in, int out, size_t n) { return ::copy_file_range(in, nullptr, out, nullptr, n, 0); }};
}

} // namespace

WriteCalls &CurrentWriteCalls()
{
    static WriteCalls calls = SystemWriteCalls();
    return calls;
}

} // namespace platform
