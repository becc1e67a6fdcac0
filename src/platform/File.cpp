#include "platform/File.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// True when the folder that would hold path exists as a folder.
bool ParentFolderExists(const QString &path)
{
    const QString parent = QFileInfo(path).absolutePath();
    struct stat st {};
    return ::stat(QFile::encodeName(parent).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::optional<FileId> IdentityOf(const QString &path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

int InOutCodeFor(int errnum, const QString &path)
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

EInOutError InOutErrorFor(int errnum, const QString &path)
{
    const int code = InOutCodeFor(errnum, path);
    // Unchanged means unmapped, except ENOENT whose number is its code.
    if (code == errnum && errnum != ENOENT)
        return EInOutError(code, QStringLiteral("I/O error %1").arg(code));
    return EInOutError(code);
}

void ThrowInOut(int errnum, const QString &path)
{
    throw InOutErrorFor(errnum, path);
}

File::~File()
{
    if (fd_ >= 0)
        ::close(fd_);
}

File::File(File &&other) noexcept : fd_(other.fd_), path_(std::move(other.path_))
{
    other.fd_ = -1;
}

File &File::operator=(File &&other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

File File::Open(const QString &path, int flags)
{
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(name.constData(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        ThrowInOut(errno, path);
    return File(fd, path);
}

File File::OpenRead(const QString &path)
{
    File file = Open(path, O_RDONLY);
    struct stat st {};
    if (::fstat(file.fd_, &st) != 0)
        ThrowInOut(errno, path);
    if (S_ISDIR(st.st_mode))
        ThrowInOut(EISDIR, path);
    // Inputs are read front to back once; a larger read-ahead helps files not
    // yet in the cache. Only advice: its failure changes nothing.
    ::posix_fadvise(file.fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return file;
}

File File::Create(const QString &path)
{
    return Open(path, O_RDWR | O_CREAT | O_TRUNC);
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
        const ssize_t got = ::copy_file_range(from.fd_, nullptr, to.fd_, nullptr, size_t(max), 0);
        if (got >= 0)
            return got;
        switch (errno) {
        case EINTR:
            continue;
        // Not between these files or file systems, or not on this system.
        case EXDEV:
        case EINVAL:
        case ENOSYS:
        case EOPNOTSUPP:
        case EBADF:
            return -1;
        case EIO:
            ThrowInOut(errno, from.path_);
        default:
            ThrowInOut(errno, to.path_);
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
        const ssize_t put = ::write(fd_, data, size_t(n));
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

void File::Close()
{
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor even when close reports an error, so no retry.
    if (::close(fd) != 0 && errno != EINTR)
        ThrowInOut(errno, path_);
}

} // namespace platform
