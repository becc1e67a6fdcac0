#pragma once
// Files for the join and the folder scan: plain POSIX descriptors with 64-bit
// sizes, every failure reported as EInOutError with the program's error code.
#include "platform/Exceptions.h"

#include <QString>
#include <QtGlobal>
#include <optional>
#include <sys/types.h>

namespace platform {

// Identity of a file on disk: two paths name the same file when these match,
// whatever their spelling (links, "..", relative names).
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    friend bool operator==(const FileId &, const FileId &) = default;
};

// Identity of the file that path names, following links; empty when it cannot
// be examined (missing, no access).
std::optional<FileId> IdentityOf(const QString &path);

// The program's code for an errno value from an operation on path:
// ENOENT is 2 when the parent folder exists and 3 when a folder on the way is
// missing; ENOTDIR 3; EMFILE/ENFILE 4; EACCES/EPERM/EROFS/EISDIR 5;
// ENOSPC/EDQUOT 101; anything else the errno number itself.
int InOutCodeFor(int errnum, const QString &path);

// The error for errnum met while working on path. An errno without a code of
// its own keeps its number and always reads "I/O error N", also when the
// number happens to equal one of the codes above (EIO is 5).
EInOutError InOutErrorFor(int errnum, const QString &path);

// Throws InOutErrorFor(errnum, path).
[[noreturn]] void ThrowInOut(int errnum, const QString &path);

class File {
public:
    File() = default;
    ~File();
    File(File &&other) noexcept;
    File &operator=(File &&other) noexcept;
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    // An existing file, for reading only. A folder is refused with code 5.
    static File OpenRead(const QString &path);
    // Creates the file, or truncates it to 0 bytes when it exists; read and write.
    static File Create(const QString &path);

    bool IsOpen() const { return fd_ >= 0; }
    const QString &Path() const { return path_; }

    qint64 Size() const;
    FileId Identity() const;
    // Up to max bytes; 0 only at the end of the file.
    qint64 Read(char *buffer, qint64 max);
    // All n bytes or EInOutError; a write that cannot go on is code 101.
    void WriteAll(const char *data, qint64 n);
    // Closes now and reports a failing close; the destructor closes silently.
    void Close();

    // Copies up to max bytes from the current position of from to the current
    // position of to inside the kernel, without passing through the program.
    // Returns the bytes copied (0 at the end of from), or -1 when the system
    // cannot copy between these two files this way; then nothing was copied.
    // Other failures throw EInOutError, named after the output.
    static qint64 CopyRange(File &from, File &to, qint64 max);

private:
    File(int fd, QString path) : fd_(fd), path_(std::move(path)) {}
    static File Open(const QString &path, int flags);

    int fd_ = -1;
    QString path_;
};

} // namespace platform
