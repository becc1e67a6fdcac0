// SPDX-License-Identifier: GPL-3.0-or-later
// Files on Windows: Win32 handles, names in UTF-16 only at the call.
#include "platform/File.h"

#include "platform/FileShared.h"

#include <cstring>
#include <windows.h>

namespace platform {

using detail::RefuseNul;
using detail::Shown;

namespace {

HANDLE H(Handle handle) { return static_cast<HANDLE>(handle); }

// The name as Win32 takes it; a name that is no valid WTF-8 names no file.
std::wstring Native(const FileName &path)
{
    RefuseNul(path);
    auto native = NativeName(path);
    if (!native || native->empty())
        throw EInOutError(InOutCode::InvalidFilename,
                          QStringLiteral("Invalid filename: %1 is no name Windows can hold").arg(Shown(path)));
    return std::move(*native);
}

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

// Whether the last part of name is one of the devices every folder holds
// ("CON", "NUL", "COM1", ...), which need not open to be refused.
bool NamesAReservedDevice(const std::wstring &name)
{
    std::wstring last = name.substr(name.find_last_of(L"/\\:") + 1); // npos + 1 is 0: the whole name
    while (!last.empty() && last.back() == L' ')
        last.pop_back();
    for (const wchar_t *device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (_wcsicmp(last.c_str(), device) == 0)
            return true;
    return last.size() == 4 && (_wcsnicmp(last.c_str(), L"COM", 3) == 0 || _wcsnicmp(last.c_str(), L"LPT", 3) == 0) &&
           last[3] >= L'1' && last[3] <= L'9';
}

// Names in the device namespace ("\\.\pipe\x", "\\.\COM1", "\\?\GLOBALROOT")
// and the pipes of a server ("\\host\pipe\x") address no file on a disk.
// Opening one connects to a pipe or acts on a device, so they are refused
// by their name. "\\?\C:\..." and "\\?\UNC\..." are disk names.
bool NamesADevice(const std::wstring &name)
{
    if (NamesAReservedDevice(name))
        return true;
    if (name.size() < 4 || !IsSeparator(name[0]) || !IsSeparator(name[1]))
        return false;
    if ((name[2] == L'.' || name[2] == L'?') && IsSeparator(name[3])) {
        const std::wstring rest = name.substr(4);
        const bool drive = rest.size() >= 3 && rest[1] == L':' && IsSeparator(rest[2]);
        const bool unc = rest.size() >= 4 && _wcsnicmp(rest.c_str(), L"UNC", 3) == 0 && IsSeparator(rest[3]);
        return !(name[2] == L'?' && (drive || unc));
    }
    const size_t share = name.find_first_of(L"/\\", 2);
    return share != std::wstring::npos && _wcsnicmp(name.c_str() + share + 1, L"pipe", 4) == 0 &&
           (share + 5 == name.size() || IsSeparator(name[share + 5]));
}

// What GetFileType tells, for the error; empty for a disk file.
QString KindOf(DWORD type)
{
    switch (type) {
    case FILE_TYPE_DISK: return {};
    case FILE_TYPE_PIPE: return QStringLiteral("a named pipe");
    case FILE_TYPE_CHAR: return QStringLiteral("a character device or a console");
    default: return QStringLiteral("not a file on a disk");
    }
}

class Opened {
public:
    explicit Opened(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~Opened()
    {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    Opened(const Opened &) = delete;
    Opened &operator=(const Opened &) = delete;
    bool Ok() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }
    HANDLE Release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }

private:
    HANDLE h_;
};

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens for a look only: no data access, so no other program's sharing
// stands in the way, and folders open too. Links and junctions are followed.
HANDLE OpenForLook(const std::wstring &name)
{
    return CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                       nullptr);
}

// The file's identity: the volume and the file ID, which every name of the
// file shares (links, junctions, subst drives, short names, other cases).
// FileIdInfo carries the 128-bit ID that ReFS needs; where it is missing
// (older systems, Wine), the 64-bit index of BY_HANDLE_FILE_INFORMATION is
// the same number NTFS puts in FileIdInfo's first eight bytes. Only the low
// 32 bits of the serial are kept, which both routes give alike.
bool IdOf(HANDLE h, FileId &id, DWORD *links = nullptr, DWORD *attributes = nullptr)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info))
        return false;
    id.dev = info.dwVolumeSerialNumber;
    id.ino = {0, (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    FILE_ID_INFO full{};
    if (GetFileInformationByHandleEx(h, FileIdInfo, &full, sizeof full)) {
        quint64 low = 0, high = 0;
        std::memcpy(&low, full.FileId.Identifier, 8);
        std::memcpy(&high, full.FileId.Identifier + 8, 8);
        id.dev = quint32(full.VolumeSerialNumber);
        id.ino = {high, low};
    }
    id.size = qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    const quint64 ticks = (quint64(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    // 100 ns ticks since 1601 to nanoseconds since 1970.
    id.modifiedNs = (qint64(ticks) - 116444736000000000LL) * 100;
    if (links)
        *links = info.nNumberOfLinks;
    if (attributes)
        *attributes = info.dwFileAttributes;
    return true;
}

bool ParentFolderExists(const FileName &path)
{
    FileName parent = path.Folder();
    if (parent.IsEmpty())
        parent = FileName(".");
    const auto native = NativeName(parent);
    const DWORD attributes = native ? GetFileAttributesW(native->c_str()) : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The final name of an open file, with links, junctions and subst drives
// resolved, so that the file is replaced where it really lies.
std::optional<std::wstring> FinalName(HANDLE h)
{
    std::wstring name(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, name.data(), DWORD(name.size()), FILE_NAME_NORMALIZED);
    if (n >= name.size()) {
        name.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, name.data(), DWORD(name.size()), FILE_NAME_NORMALIZED);
    }
    if (n == 0 || n >= name.size())
        return std::nullopt;
    name.resize(n);
    return name;
}

std::wstring FolderPart(const std::wstring &name)
{
    const size_t end = name.find_last_of(L"/\\");
    return end == std::wstring::npos ? std::wstring() : name.substr(0, end + 1);
}

std::wstring Wide(const QByteArray &ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// Removes the temporary files in folder that a killed run left behind.
void RemoveStaleTempFiles(const std::wstring &folder)
{
    WIN32_FIND_DATAW found{};
    const HANDLE find = FindFirstFileExW((folder + L".zantrope-*.part").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const qint64 pid = detail::PidOfTempName(NameFromNative(found.cFileName).Bytes());
        if (pid == 0 || pid == qint64(GetCurrentProcessId()) || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        if (const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid))) {
            DWORD status = 0;
            const bool running = GetExitCodeProcess(process, &status) && status == STILL_ACTIVE;
            CloseHandle(process);
            if (running)
                continue;
        } else if (GetLastError() != ERROR_INVALID_PARAMETER) {
            continue; // there, but not ours to see
        }
        DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

// Refuses an open handle that is no disk file, closing it first.
void RequireDisk(Opened &opened, const FileName &path, bool output)
{
    const QString kind = KindOf(GetFileType(opened.Get()));
    if (kind.isEmpty())
        return;
    CloseHandle(opened.Release());
    detail::ThrowNotAFile(path, kind, output);
}

} // namespace

std::optional<FileId> IdentityOf(const FileName &path)
{
    if (path.IsEmpty() || path.HoldsNul())
        return std::nullopt;
    const auto native = NativeName(path);
    if (!native || NamesADevice(*native))
        return std::nullopt;
    Opened look(OpenForLook(*native));
    FileId id;
    if (!look.Ok() || GetFileType(look.Get()) != FILE_TYPE_DISK || !IdOf(look.Get(), id))
        return std::nullopt;
    return id;
}

int InOutCodeFor(int errnum, const FileName &path)
{
    switch (errnum) {
    case ERROR_FILE_NOT_FOUND: return ParentFolderExists(path) ? InOutCode::FileNotFound : InOutCode::InvalidFilename;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_FILENAME_EXCED_RANGE: return InOutCode::InvalidFilename;
    case ERROR_TOO_MANY_OPEN_FILES: return InOutCode::TooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return InOutCode::AccessDenied; // in use by another program counts as locked
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case 1295: return InOutCode::DiskFull; // ERROR_DISK_QUOTA_EXCEEDED, missing from MinGW's headers
    default: return errnum;
    }
}

EInOutError InOutErrorFor(int errnum, const FileName &path)
{
    const int code = InOutCodeFor(errnum, path);
    // 2 to 5 are Windows' own numbers for what the codes mean.
    const bool mapped = code != errnum || (errnum >= ERROR_FILE_NOT_FOUND && errnum <= ERROR_ACCESS_DENIED);
    EInOutError error = mapped ? EInOutError(code) : EInOutError(code, QStringLiteral("I/O error %1").arg(code));
    error.SetDetails(Shown(path));
    return error;
}

// Windows' looks keep no handle: one would keep the file from being renamed
// or deleted by others while the list waits.
void InputLook::Forget() noexcept
{
    if (handle_ != NoHandle)
        CloseHandle(H(std::exchange(handle_, NoHandle)));
}

int InputHandleBudget() { return 0; }

void ReserveHandles(int) {}

InputLook LookAtInput(const FileName &path, bool /*keepHandle*/)
{
    const std::wstring native = Native(path);
    if (NamesADevice(native))
        detail::ThrowNotAFile(path, QStringLiteral("a device"), false);
    Opened look(OpenForLook(native));
    if (!look.Ok())
        return {};
    RequireDisk(look, path, false);
    FileId id;
    DWORD attributes = 0;
    if (!IdOf(look.Get(), id, nullptr, &attributes))
        ThrowInOut(int(GetLastError()), path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        ThrowInOut(ERROR_ACCESS_DENIED, path);
    return InputLook(id, NoHandle);
}

qint64 SizeOf(const FileName &path)
{
    const auto native = path.HoldsNul() ? std::nullopt : NativeName(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!native || NamesADevice(*native) || !GetFileAttributesExW(native->c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return qint64((quint64(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool IsMissing(const FileName &path)
{
    const auto native = path.HoldsNul() ? std::nullopt : NativeName(path);
    if (!native || native->empty())
        return true;
    if (GetFileAttributesW(native->c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

bool RemoveFile(const FileName &path)
{
    const auto native = path.HoldsNul() ? std::nullopt : NativeName(path);
    return native && DeleteFileW(native->c_str());
}

bool MayWrite(const FileName &existing)
{
    const auto native = existing.HoldsNul() ? std::nullopt : NativeName(existing);
    if (!native || NamesADevice(*native))
        return false;
    const DWORD attributes = GetFileAttributesW(native->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    // The file's access list decides; opening for writing asks it, and
    // OPEN_EXISTING changes nothing.
    Opened probe(CreateFileW(native->c_str(), GENERIC_WRITE, ShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    return probe.Ok() && GetFileType(probe.Get()) == FILE_TYPE_DISK;
}

// ---------------------------------------------------------------------------

File::~File() { Release(); }

void File::Release() noexcept
{
    if (fd_ == NoHandle)
        return;
    CloseHandle(H(std::exchange(fd_, NoHandle)));
    try {
        Replace();
    } catch (const Exception &) {
    }
}

void File::Discard() noexcept
{
    if (fd_ != NoHandle)
        CloseHandle(H(std::exchange(fd_, NoHandle)));
    if (replacement_)
        DeleteFileW(replacement_->tempName.c_str());
    replacement_.reset();
}

File File::OpenRead(const FileName &path, InputLook *look)
{
    // Looked at before opening: opening a pipe connects to it.
    if (!look)
        LookAtInput(path);
    const std::wstring native = Native(path);
    if (NamesADevice(native))
        detail::ThrowNotAFile(path, QStringLiteral("a device"), false);
    // Others may go on reading and writing it, as on Linux.
    Opened opened(CreateFileW(native.c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!opened.Ok())
        ThrowInOut(int(GetLastError()), path);
    RequireDisk(opened, path, false); // it was swapped since the look
    FileId id;
    if (!IdOf(opened.Get(), id))
        ThrowInOut(int(GetLastError()), path);
    File file(opened.Release(), path);
    file.opened_ = id;
    return file;
}

File File::Create(const FileName &path, const CreateCheck &check)
{
    const std::wstring native = Native(path);
    if (NamesADevice(native))
        detail::ThrowNotAFile(path, QStringLiteral("a device"), true);

    // What is there now, through links and junctions; the new file goes
    // beside the file itself.
    std::wstring target = native;
    std::optional<FileId> existing;
    FILE_BASIC_INFO kept{}; // what the new file takes over from the old one
    bool inPlace = false;
    {
        Opened look(OpenForLook(native));
        if (look.Ok()) {
            RequireDisk(look, path, true);
            FileId id;
            DWORD links = 1, attributes = 0;
            if (!IdOf(look.Get(), id, &links, &attributes))
                ThrowInOut(int(GetLastError()), path);
            if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
                ThrowInOut(ERROR_ACCESS_DENIED, path);
            Opened writable(CreateFileW(native.c_str(), GENERIC_WRITE, ShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
            if (!writable.Ok())
                ThrowInOut(int(GetLastError()), path);
            existing = id;
            if (GetFileInformationByHandleEx(look.Get(), FileBasicInfo, &kept, sizeof kept)) {
                // The creation time stays; the other times come with the writing.
                kept.LastAccessTime.QuadPart = kept.LastWriteTime.QuadPart = kept.ChangeTime.QuadPart = 0;
                kept.FileAttributes &= FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
                if (!kept.FileAttributes)
                    kept.FileAttributes = FILE_ATTRIBUTE_NORMAL;
            }
            // A new file renamed over it would split its hard links.
            inPlace = links > 1;
            if (const auto final = FinalName(look.Get()))
                target = *final;
        } else {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND)
                ThrowInOut(int(error), path);
        }
    }

    if (!inPlace) {
        const std::wstring folder = FolderPart(target);
        RemoveStaleTempFiles(folder);
        std::wstring tempName;
        HANDLE h = INVALID_HANDLE_VALUE;
        do {
            tempName = folder + Wide(detail::TempName());
            h = CreateFileW(tempName.c_str(), GENERIC_READ | GENERIC_WRITE, ShareAll, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        } while (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS);
        if (h != INVALID_HANDLE_VALUE) {
            File file(h, path);
            if (existing && kept.FileAttributes)
                SetFileInformationByHandle(h, FileBasicInfo, &kept, sizeof kept); // its loss is no harm to the bytes
            file.replacement_ = Replacement{target, tempName};
            file.replaced_ = existing;
            if (check) {
                try {
                    check(file);
                } catch (...) {
                    file.Discard();
                    throw;
                }
            }
            return file;
        }
        const DWORD error = GetLastError();
        // A folder that takes no new file: an existing file is written in place.
        if (!existing || (error != ERROR_ACCESS_DENIED && error != ERROR_WRITE_PROTECT))
            ThrowInOut(int(error), path);
    }

    Opened opened(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, ShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!opened.Ok())
        ThrowInOut(int(GetLastError()), path);
    RequireDisk(opened, path, true);
    File file(opened.Release(), path);
    // Nothing is cut until the caller has checked the file: it may be an input.
    if (check)
        check(file);
    file.Truncate(0);
    return file;
}

File File::CreateNew(const FileName &path)
{
    const std::wstring native = Native(path);
    if (NamesADevice(native))
        detail::ThrowNotAFile(path, QStringLiteral("a device"), true);
    // CREATE_NEW fails on any existing name, a link that leads nowhere too.
    const HANDLE h = CreateFileW(native.c_str(), GENERIC_READ | GENERIC_WRITE, ShareAll, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        ThrowInOut(int(GetLastError()), path);
    return File(h, path);
}

void File::Replace()
{
    if (!replacement_)
        return;
    const Replacement r = *replacement_;
    replacement_.reset();
    // A rename over the old name: a reader meanwhile opens the old file or the
    // new one, whole. ReplaceFileW would keep more of the old file (its access
    // list, streams), but holds it open alone for a while, so a reader then
    // finds no file at all; the new file has its folder's access list, and
    // took the old one's attributes and creation time when it was made.
    if (MoveFileExW(r.tempName.c_str(), r.name.c_str(), MOVEFILE_REPLACE_EXISTING))
        return;
    const DWORD error = GetLastError();
    DeleteFileW(r.tempName.c_str());
    ThrowInOut(int(error), path_);
}

qint64 File::Size() const
{
    if (opened_)
        return opened_->size;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(H(fd_), &size))
        ThrowInOut(int(GetLastError()), path_);
    return size.QuadPart;
}

FileId File::Identity() const
{
    if (opened_)
        return *opened_;
    FileId id;
    if (!IdOf(H(fd_), id))
        ThrowInOut(int(GetLastError()), path_);
    return id;
}

qint64 File::CopyRange(File &from, File &to, qint64 max)
{
    // Windows copies whole files only; the caller copies through a buffer.
    const ssize_t got = CurrentWriteCalls().CopyRange(from.fd_, to.fd_, size_t(max));
    return got >= 0 ? got : -1;
}

qint64 File::Read(char *buffer, qint64 max)
{
    DWORD got = 0;
    if (!ReadFile(H(fd_), buffer, DWORD(qMin<qint64>(max, 1 << 30)), &got, nullptr)) {
        const DWORD error = GetLastError();
        if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE)
            return 0;
        ThrowInOut(int(error), path_);
    }
    return got;
}

qint64 File::Seek(qint64 offset)
{
    LARGE_INTEGER to{}, at{};
    to.QuadPart = offset;
    if (!SetFilePointerEx(H(fd_), to, &at, FILE_BEGIN))
        ThrowInOut(int(GetLastError()), path_);
    return at.QuadPart;
}

qint64 File::Position() const
{
    LARGE_INTEGER at{};
    if (!SetFilePointerEx(H(fd_), LARGE_INTEGER{}, &at, FILE_CURRENT))
        ThrowInOut(int(GetLastError()), path_);
    return at.QuadPart;
}

void File::WriteAll(const char *data, qint64 n)
{
    while (n > 0) {
        const ssize_t put = CurrentWriteCalls().Write(fd_, data, size_t(n));
        if (put < 0)
            ThrowInOut(int(GetLastError()), path_);
        if (put == 0)
            throw EInOutError(InOutCode::DiskFull);
        data += put;
        n -= put;
    }
}

void File::Truncate(qint64 size)
{
    const qint64 at = Position();
    LARGE_INTEGER to{};
    to.QuadPart = size;
    if (!SetFilePointerEx(H(fd_), to, nullptr, FILE_BEGIN) || !SetEndOfFile(H(fd_)))
        ThrowInOut(int(GetLastError()), path_);
    Seek(at);
}

void File::Close()
{
    if (fd_ == NoHandle)
        return;
    // The new file is closed before it is put in place: renaming an open
    // file is refused where others have it open too.
    const bool closed = CloseHandle(H(std::exchange(fd_, NoHandle)));
    const DWORD error = GetLastError();
    Replace();
    if (!closed)
        ThrowInOut(int(error), path_);
}

// ---------------------------------------------------------------------------

namespace {

WriteCalls SystemWriteCalls()
{
    return {[](Handle fd, const char *data, size_t n) -> ssize_t {
                DWORD put = 0;
                return WriteFile(H(fd), data, DWORD(qMin<size_t>(n, 1 << 30)), &put, nullptr) ? ssize_t(put) : -1;
            },
            [](Handle, Handle, size_t) -> ssize_t {
                SetLastError(ERROR_NOT_SUPPORTED);
                return -1;
            }};
}

} // namespace

WriteCalls &CurrentWriteCalls()
{
    static WriteCalls calls = SystemWriteCalls();
    return calls;
}

} // namespace platform
