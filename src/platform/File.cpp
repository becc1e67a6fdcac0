#include "platform/File.h"

#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const char *C(const FileName &name) { return name.Bytes().constData(); }

QString Shown(const FileName &name) { return name.Display().replace(QChar(0), QStringLiteral("\\0")); }

// True when the folder that would hold path exists as a folder.
bool ParentFolderExists(const FileName &path)
{
    FileName parent = path.Folder();
    if (parent.IsEmpty())
        parent = FileName(".");
    struct stat st {};
    return ::stat(C(parent), &st) == 0 && S_ISDIR(st.st_mode);
}

void RefuseNul(const FileName &path)
{
    if (path.HoldsNul())
        throw EInOutError(
            3, QStringLiteral("Invalid filename: no file name can hold a NUL character (%1)").arg(Shown(path)));
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
    const QString what = output ? QStringLiteral("the join can only be written into a file")
                                : QStringLiteral("only files can be joined");
    throw EInOutError(5, QStringLiteral("File access denied: %1 is %2, and %3").arg(Shown(path), KindOf(mode), what));
}

int Retry(const std::function<int()> &call)
{
    int result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

// The file a link leads to, one step: its target, relative to the link's folder.
QByteArray LinkTarget(const QByteArray &link)
{
    QByteArray buffer(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink(link.constData(), buffer.data(), size_t(buffer.size()));
    if (n < 0)
        return {};
    buffer.truncate(n);
    if (buffer.startsWith('/'))
        return buffer;
    return FileName(link).Folder().Bytes() + buffer;
}

QByteArray FolderOf(const QByteArray &path)
{
    const QByteArray folder = FileName(path).Folder().Bytes();
    return folder.isEmpty() ? QByteArray("./") : folder;
}

QByteArray TempNameIn(const QByteArray &folder)
{
    return folder + ".zantrope-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".part";
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
    return FileId{st.st_dev, st.st_ino};
}

int InOutCodeFor(int errnum, const FileName &path)
{
    switch (errnum) {
    case ENOENT: return ParentFolderExists(path) ? 2 : 3;
    case ENOTDIR: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return 5; // a folder opened as a file is refused like a locked file
    case ENOSPC:
    case EDQUOT: return 101;
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

void ThrowInOut(int errnum, const FileName &path) { throw InOutErrorFor(errnum, path); }

qint64 RefuseUnlessRegularFile(const FileName &path)
{
    RefuseNul(path);
    struct stat st {};
    if (::stat(C(path), &st) != 0)
        return 0;
    if (S_ISDIR(st.st_mode))
        ThrowInOut(EISDIR, path);
    if (!S_ISREG(st.st_mode))
        ThrowNotAFile(path, st.st_mode, false);
    return st.st_size;
}

qint64 SizeOf(const FileName &path)
{
    struct stat st {};
    if (path.HoldsNul() || ::stat(C(path), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return st.st_size;
}

bool MayWrite(const FileName &existing)
{
    struct stat st {};
    if (existing.HoldsNul() || ::stat(C(existing), &st) != 0)
        return false;
    return (st.st_mode & 0222) != 0 && ::access(C(existing), W_OK) == 0;
}

// ---------------------------------------------------------------------------

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

File::File(File &&other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)), replacement_(std::move(other.replacement_))
{
    other.fd_ = -1;
    other.replacement_.reset();
}

File &File::operator=(File &&other) noexcept
{
    if (this != &other) {
        Release();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        replacement_ = std::move(other.replacement_);
        other.fd_ = -1;
        other.replacement_.reset();
    }
    return *this;
}

File File::Open(const FileName &path, int flags)
{
    RefuseNul(path);
    const int fd = Retry([&] { return ::open(C(path), flags | O_CLOEXEC | O_NOCTTY, 0666); });
    if (fd < 0)
        ThrowInOut(errno, path);
    return File(fd, path);
}

File File::OpenRead(const FileName &path)
{
    // Looked at before opening: opening a pipe or a device can wait for ever
    // or act on the device.
    RefuseUnlessRegularFile(path);
    File file = Open(path, O_RDONLY | O_NONBLOCK);
    struct stat st {};
    if (::fstat(file.fd_, &st) != 0)
        ThrowInOut(errno, path);
    if (S_ISDIR(st.st_mode))
        ThrowInOut(EISDIR, path);
    if (!S_ISREG(st.st_mode)) // it was swapped since the look
        ThrowNotAFile(path, st.st_mode, false);
    // Inputs are read front to back once; a larger read-ahead helps files not
    // yet in the cache. Only advice: its failure changes nothing.
    ::posix_fadvise(file.fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return file;
}

FileName ResolveLinks(const FileName &path)
{
    RefuseNul(path);
    QByteArray target = path.Bytes();
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(target.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return FileName(target);
        if (hops == 40)
            ThrowInOut(ELOOP, path);
        target = LinkTarget(target);
        if (target.isEmpty())
            ThrowInOut(errno, path);
    }
}

File File::Create(const FileName &path)
{
    const QByteArray target = ResolveLinks(path).Bytes();
    struct stat st {};
    bool exists = ::lstat(target.constData(), &st) == 0;
    if (!exists && errno != ENOENT)
        ThrowInOut(errno, path);

    bool inPlace = false;
    if (exists) {
        if (S_ISDIR(st.st_mode))
            ThrowInOut(EISDIR, path);
        if (S_ISCHR(st.st_mode)) // kept non-blocking: a write that would wait fails instead
            return Open(FileName(target), O_WRONLY | O_NONBLOCK);
        if (!S_ISREG(st.st_mode))
            ThrowNotAFile(path, st.st_mode, true);
        if (!MayWrite(FileName(target)))
            ThrowInOut(EACCES, path);
        // Renaming a new file over it would split its hard links or give it
        // another owner; those files are rewritten where they are.
        inPlace = st.st_nlink > 1 || (st.st_uid != ::geteuid() && ::geteuid() != 0);
    }

    if (!inPlace) {
        const QByteArray folder = FolderOf(target);
        const mode_t mode = exists ? (st.st_mode & 07777) : 0666;
        int fd = -1;
        QByteArray tempName;
        if (ProcFdAvailable())
            fd = Retry([&] { return ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode); });
        if (fd < 0 && (!ProcFdAvailable() || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
            // This file system has no unnamed files: a hidden name of its own.
            do {
                tempName = TempNameIn(folder);
                fd = Retry([&] { return ::open(tempName.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode); });
            } while (fd < 0 && errno == EEXIST);
        }
        if (fd >= 0) {
            if (exists) {
                ::fchmod(fd, mode); // the umask may have taken bits away
                if (::geteuid() == 0)
                    (void)::fchown(fd, st.st_uid, st.st_gid);
            }
            File file(fd, path);
            file.replacement_ = Replacement{target, tempName};
            return file;
        }
        const bool folderRefuses = errno == EACCES || errno == EPERM || errno == EROFS;
        if (!exists || !folderRefuses)
            ThrowInOut(errno, path);
    }

    File file = Open(FileName(target), O_RDWR | O_NONBLOCK);
    struct stat now {};
    if (::fstat(file.fd_, &now) != 0)
        ThrowInOut(errno, path);
    if (!S_ISREG(now.st_mode))
        ThrowNotAFile(path, now.st_mode, true);
    if (Retry([&] { return ::ftruncate(file.fd_, 0); }) != 0)
        ThrowInOut(errno, path);
    file.path_ = path;
    return file;
}

void File::Replace()
{
    if (!replacement_)
        return;
    const Replacement r = *replacement_;
    replacement_.reset();
    QByteArray named = r.tempName;
    if (named.isEmpty()) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_);
        const QByteArray folder = FolderOf(r.target);
        int linked;
        do {
            named = TempNameIn(folder);
            linked = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, named.constData(), AT_SYMLINK_FOLLOW);
        } while (linked != 0 && errno == EEXIST);
        if (linked != 0)
            ThrowInOut(errno, path_);
    }
    if (::rename(named.constData(), r.target.constData()) != 0) {
        const int err = errno;
        if (r.tempName.isEmpty())
            ::unlink(named.constData()); // the unnamed file still holds the bytes until closed
        ThrowInOut(err, path_);
    }
}

qint64 File::Size() const
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        ThrowInOut(errno, path_);
    return st.st_size;
}

FileId File::Identity() const
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        ThrowInOut(errno, path_);
    return FileId{st.st_dev, st.st_ino};
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
            throw EInOutError(101);
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

WriteCallsOverride::WriteCallsOverride(WriteCalls calls) : previous_(CurrentWriteCalls())
{
    WriteCalls &current = CurrentWriteCalls();
    if (calls.Write)
        current.Write = std::move(calls.Write);
    if (calls.CopyRange)
        current.CopyRange = std::move(calls.CopyRange);
}

WriteCallsOverride::~WriteCallsOverride() { CurrentWriteCalls() = previous_; }

} // namespace platform
