// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/InputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

InputFile::~InputFile() { Close(); }

InputFile::InputFile(InputFile &&other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

InputFile &InputFile::operator=(InputFile &&other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

InputFile InputFile::Open(const FileName &path)
{
    // Looked at before opening, since opening a pipe or a device can wait for
    // ever; looked at again after, in case the file was swapped meanwhile.
    RefuseUnlessRegularFile(path);
    int fd;
    do {
        fd = ::open(path.Bytes().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        ThrowInOut(errno, path);
    InputFile file(fd, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        ThrowInOut(errno, path);
    if (S_ISDIR(st.st_mode))
        ThrowInOut(EISDIR, path);
    if (!S_ISREG(st.st_mode)) {
        file.Close();
        RefuseUnlessRegularFile(path); // names what it has become
        ThrowInOut(EACCES, path);
    }
    return file;
}

qint64 InputFile::Size() const
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        ThrowInOut(errno, path_);
    return st.st_size;
}

FileId InputFile::Identity() const
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        ThrowInOut(errno, path_);
    return FileId{st.st_dev, st.st_ino, qint64(st.st_size),
                  qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

qint64 InputFile::Read(char *buffer, qint64 max)
{
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, size_t(max));
        if (got >= 0)
            return got;
        if (errno != EINTR)
            ThrowInOut(errno, path_);
    }
}

qint64 InputFile::Seek(qint64 offset)
{
    const off_t at = ::lseek(fd_, off_t(offset), SEEK_SET);
    if (at < 0)
        ThrowInOut(errno, path_);
    return at;
}

qint64 InputFile::Position() const
{
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0)
        ThrowInOut(errno, path_);
    return at;
}

void InputFile::Close() noexcept
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace platform
