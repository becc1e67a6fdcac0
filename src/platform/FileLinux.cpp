// SPDX-License-Identifier: GPL-3.0-or-later
// Files on Linux: descriptors, opened relative to their folder. Creating and
// replacing a file is in SafeReplaceLinux.cpp.
#include "platform/File.h"

#include "platform/FileLinuxDetail.h"
#include "platform/FileShared.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

// Inputs are read front to back once; a larger read-ahead helps files not
// yet in the cache. A file within the system's usual read-ahead (128 KiB)
// is read whole at its first read anyway, and a join of thousands of small
// files would pay a system call each for nothing. Only advice: its failure
// changes nothing.
void AdviseSequential(int fd, qint64 size)
{
    constexpr qint64 UsualReadAhead = 128 * 1024;
    if (size > UsualReadAhead)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

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

} // namespace

namespace detail {

void ThrowNotAFile(const FileName &path, mode_t mode, bool output) { ThrowNotAFile(path, KindOf(mode), output); }

int Retry(const std::function<int()> &call)
{
    int result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
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

} // namespace detail

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
    if (errnum == EISDIR) // refused like a locked file, saying why
        return EInOutError(InOutCode::AccessDenied,
                           QStringLiteral("File access denied: %1 is a folder").arg(Shown(path)));
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

void ReserveHandles(int count)
{
    // A duplicate at the highest number needed grows the table once.
    if (count < 32)
        return;
    const int any = ::open("/", O_PATH | O_CLOEXEC);
    if (any < 0)
        return;
    const int high = ::fcntl(any, F_DUPFD_CLOEXEC, any + count);
    if (high >= 0)
        ::close(high);
    ::close(any);
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
        AdviseSequential(file.fd_, file.opened_->size);
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
    AdviseSequential(file.fd_, st.st_size);
    return file;
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