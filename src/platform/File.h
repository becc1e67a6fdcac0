// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Files for the join and the folder scan: plain POSIX descriptors or Win32
// handles with 64-bit sizes, every failure reported as EInOutError with the
// program's error code. Names are bytes (FileName); nothing here ever waits
// on a pipe or a device.
#include "platform/Exceptions.h"
#include "platform/FileName.h"

#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>

namespace platform {

#ifdef _WIN32
// A volume's serial number and the 128-bit file ID that FileIdInfo gives.
using DeviceNumber = quint64;
using FileNumber = std::pair<quint64, quint64>;
// A HANDLE, without the system's header.
using Handle = void *;
inline constexpr Handle NoHandle = nullptr;
#else
using DeviceNumber = dev_t;
using FileNumber = ino_t;
using Handle = int;
inline constexpr Handle NoHandle = -1;
#endif

// Identity of a file on disk: two paths name the same file when device and
// inode (on Windows: volume and file ID) match, whatever their spelling
// (links, "..", relative names, junctions, subst drives, short names, case).
// Size and modification time come along for SameFile.
struct FileId {
    DeviceNumber dev = {};
    FileNumber ino = {};
    qint64 size = 0;
    qint64 modifiedNs = 0; // modification time in nanoseconds since the epoch
    friend bool operator==(const FileId &a, const FileId &b) { return a.dev == b.dev && a.ino == b.ino; }
};

// Whether a and b may be one file: the same identity, or, as another view of
// the file system shows it (bind mounts through FUSE, overlays), under another
// device number with the same inode number, size and modification time to the
// nanosecond. For refusing to write over an input, a false alarm is harmless.
bool SameFile(const FileId &a, const FileId &b);

// Identity of the file that path names, following links; empty when it cannot
// be examined (missing, no access).
std::optional<FileId> IdentityOf(const FileName &path);

// Whether a and b name one entry on a file system that ignores case, spelt
// otherwise in the name or in any of its folders ("sub/a.mpg" and
// "SUB/A.MPG" on vfat), where their identities need not match: through FUSE
// each spelling has an inode number of its own. Looked at only where a's
// file system may give spellings identities of their own (FUSE, SMB, the
// kinds that fold case); elsewhere one file has one identity.
bool SameEntryIgnoringCase(const FileName &a, const FileName &b);
// Whether two spellings of one entry on the file system that holds path may
// have identities of their own, so that SameEntryIgnoringCase can be true
// for path; a join asks once for its output, not once per input.
bool SpellingsMayDiffer(const FileName &path);

// The program's code for an errno value from an operation on path:
// ENOENT is 2 when the parent folder exists and 3 when a folder on the way is
// missing; ENOTDIR 3; EMFILE/ENFILE 4; EACCES/EPERM/EROFS/EISDIR 5;
// ENOSPC/EDQUOT 101; anything else the errno number itself. On Windows errnum
// is a Win32 error (GetLastError), mapped alike.
int InOutCodeFor(int errnum, const FileName &path);

// The error for errnum met while working on path. An errno without a code of
// its own keeps its number and always reads "I/O error N", also when the
// number happens to equal one of the codes above (EIO is 5). On Linux a
// folder met where a file was wanted (EISDIR) says so: "File access denied:
// NAME is a folder".
EInOutError InOutErrorFor(int errnum, const FileName &path);

// Throws InOutErrorFor(errnum, path).
[[noreturn]] void ThrowInOut(int errnum, const FileName &path);

// What one look at an input found: its identity and size, none for a missing
// file, and on Linux perhaps a handle on the very file looked at, which
// OpenRead then opens instead of whatever the name leads to by then. The
// handle closes with the look, or when OpenRead takes it.
class InputLook {
public:
    InputLook() = default;
    InputLook(std::optional<FileId> id, Handle handle) : id_(id), handle_(handle) {}
    ~InputLook() { Forget(); }
    InputLook(InputLook &&other) noexcept : id_(other.id_), handle_(std::exchange(other.handle_, NoHandle)) {}
    InputLook &operator=(InputLook &&other) noexcept
    {
        if (this != &other) {
            Forget();
            id_ = other.id_;
            handle_ = std::exchange(other.handle_, NoHandle);
        }
        return *this;
    }
    InputLook(const InputLook &) = delete;
    InputLook &operator=(const InputLook &) = delete;

    const std::optional<FileId> &Identity() const { return id_; }
    bool HoldsHandle() const { return handle_ != NoHandle; }
    // The handle, now the caller's to close.
    Handle TakeHandle() { return std::exchange(handle_, NoHandle); }
    // Closes the handle; the identity stays.
    void Forget() noexcept;

private:
    std::optional<FileId> id_;
    Handle handle_ = NoHandle;
};

// One look at an input before it is opened: throws, naming it, when path
// exists and is not a regular file (a named pipe, a socket, a device or a
// folder), which is never opened for a join. Gives the file's identity and
// size, or none for a missing file: opening it reports that. With keepHandle
// the look holds on to the file where the system allows it (Linux with /proc),
// without opening a device or waiting on a pipe.
InputLook LookAtInput(const FileName &path, bool keepHandle = false);

// How many looks one join may keep handles for: what this process may open,
// less a reserve for the rest of the program. The limit is never raised.
int InputHandleBudget();
// Makes room for count more handles at once, where a process keeps them in
// a table that grows by doubling: in a process with threads each growth
// waits for the other threads to pass a quiet point, milliseconds each.
void ReserveHandles(int count);

// The size of the file path names, following links; 0 when it is missing or
// no regular file. Never opens it.
qint64 SizeOf(const FileName &path);

// Whether path names nothing: neither it nor a folder on the way exists. A
// file that merely cannot be examined (no access) is not missing.
bool IsMissing(const FileName &path);

// Removes the file path names (a link itself, not its target); false when
// it could not.
bool RemoveFile(const FileName &path);

// Whether an existing file may be written: it must grant write permission to
// someone at all and to the running user, so that a file marked read-only is
// left alone even when the program runs as root.
bool MayWrite(const FileName &existing);

class File {
public:
    File() = default;
    // Closes silently; a pending replacement (see Create) still takes place.
    ~File();
    File(File &&other) noexcept;
    File &operator=(File &&other) noexcept;
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    // An existing regular file, for reading only. A folder is refused with
    // code 5; a pipe, socket or device is refused without being opened. With
    // look, the caller has looked at it with LookAtInput before: a handle the
    // look kept is opened (and closed), so the file read is the one looked at,
    // with the identity and size the look found; without one the name is
    // opened and checked again.
    static File OpenRead(const FileName &path, InputLook *look = nullptr);

    // Checks a file Create has opened before anything of the old file is
    // lost; throwing from it leaves the old file as it was.
    using CreateCheck = std::function<void(const File &)>;

    // A new, empty file that takes the place of path when it is closed: the
    // bytes go into a file of its own beside path, and only Close() (or the
    // destructor) puts it under that name, also after an error. So the old
    // file of that name is never cut short while the new one is written,
    // whichever route (a link, another mount) might make it one of the inputs.
    // Through a link, the link's target is replaced; an existing file keeps its
    // mode, extended attributes and ACLs (and, for root, its owner). Where the
    // file has other names (hard links), another owner, attributes that cannot
    // be carried over, or is itself mounted, the bytes still go into a new
    // file, and closing copies them into the old one, which keeps all that:
    // nothing of it is touched before then, and two programs rewriting it at
    // once take turns. Only where the folder takes no new file is the old file
    // cut and written where it is, after check has passed.
    // A character device such as /dev/null is written directly, without
    // waiting. Pipes, sockets, block devices and folders are refused before
    // anything is written.
    //
    // Links are followed only as the kernel follows them for this user with
    // fs.protected_symlinks: never a link that another user placed in a
    // shared sticky folder, and no file is ever created through a link that
    // leads nowhere. The final open and rename happen in the folder opened
    // once, so nothing swapped in meanwhile is reached.
    static File Create(const FileName &path, const CreateCheck &check = {});

    // A new file of that name, which must not exist yet (nor as a link).
    static File CreateNew(const FileName &path);

    // The identity of the file that Create's new file takes the place of, or
    // whose bytes it becomes on closing; none when there was none or the file
    // is written where it is.
    const std::optional<FileId> &ReplacedIdentity() const { return replaced_; }

    bool IsOpen() const { return fd_ != NoHandle; }
    const FileName &Path() const { return path_; }

    // An input's size and identity as they were when it was opened; an
    // output's as they are now.
    qint64 Size() const;
    FileId Identity() const;
    // Up to max bytes; 0 only at the end of the file.
    qint64 Read(char *buffer, qint64 max);
    // Moves the position to offset bytes from the start (readers of media
    // formats look ahead and back); returns it.
    qint64 Seek(qint64 offset);
    qint64 Position() const;
    // All n bytes or EInOutError; a write that cannot go on is code 101.
    // After a failure, exactly the bytes before it are in the file.
    void WriteAll(const char *data, qint64 n);
    // Cuts the file to size bytes; the position is left where it was.
    void Truncate(qint64 size);
    // Closes without putting a new file in place of the old one; a file
    // written in place keeps what it holds.
    void Discard() noexcept;
    // Closes now and reports a failing close or replacement.
    void Close();

    // Copies up to max bytes from the current position of from to the current
    // position of to inside the kernel, without passing through the program.
    // Returns the bytes copied (0 at the end of from), or -1 when the system
    // cannot copy between these two files this way; then nothing was copied.
    // Other failures throw EInOutError, named after the output.
    static qint64 CopyRange(File &from, File &to, qint64 max);

#ifndef _WIN32
    // A descriptor closed with its owner; the opened folder of a replacement.
    class Descriptor {
    public:
        explicit Descriptor(int fd = -1) : fd_(fd) {}
        ~Descriptor();
        Descriptor(Descriptor &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
        Descriptor &operator=(Descriptor &&other) noexcept;
        int Get() const { return fd_; }

    private:
        int fd_;
    };

#endif

private:
    // The replacement Create prepares: a new file in the target's folder that
    // is renamed over the target when closed.
#ifdef _WIN32
    struct Replacement {
        std::wstring name;     // the target, as the system takes it
        std::wstring tempName; // the new file beside it
    };
#else
    struct Replacement {
        std::shared_ptr<Descriptor> folder; // the target's folder, opened once
        QByteArray name;                    // the target's name in it (links resolved)
        QByteArray tempName;                // the new file's name; empty while it has none (O_TMPFILE)
        std::shared_ptr<Descriptor> target; // the old file, when the bytes are to be copied into it
    };
    static File Open(const FileName &path, int flags);
#endif

    File(Handle fd, FileName path) : fd_(fd), path_(std::move(path)) {}
    void Replace(); // gives the new file its name; throws on failure
    void Release() noexcept;

    Handle fd_ = NoHandle;
    FileName path_;
    std::optional<Replacement> replacement_;
    std::optional<FileId> replaced_;
    std::optional<FileId> opened_; // an input's identity and size when it was opened
};

// The calls through which files are written. Tests replace them for a while,
// to make a write come up short or fail at a chosen moment.
struct WriteCalls {
    std::function<ssize_t(Handle fd, const char *data, size_t n)> Write;
    std::function<ssize_t(Handle in, Handle out, size_t n)> CopyRange;
};
WriteCalls &CurrentWriteCalls();

class WriteCallsOverride {
public:
    explicit WriteCallsOverride(WriteCalls calls);
    ~WriteCallsOverride();
    WriteCallsOverride(const WriteCallsOverride &) = delete;
    WriteCallsOverride &operator=(const WriteCallsOverride &) = delete;

private:
    WriteCalls previous_;
};

} // namespace platform
