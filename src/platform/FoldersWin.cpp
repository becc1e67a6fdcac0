// SPDX-License-Identifier: GPL-3.0-or-later
// Folders on Windows.
#include "platform/Folders.h"

#include "platform/FileShared.h"

#include <windows.h>

namespace platform {

namespace {

// What the name's file is, following links and junctions; none when it cannot be opened.
std::optional<DWORD> AttributesBehindLinks(const std::wstring &name)
{
    const HANDLE h =
        CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    return known ? std::optional<DWORD>(info.dwFileAttributes) : std::nullopt;
}

// The folder's name with a separator to add an entry's name to.
std::optional<std::wstring> FolderWithSeparator(const FileName &folder)
{
    if (folder.IsEmpty() || folder.HoldsNul())
        return std::nullopt;
    auto native = NativeName(folder);
    if (!native)
        return std::nullopt;
    const wchar_t last = native->back();
    if (last != L'/' && last != L'\\' && !(native->size() == 2 && last == L':'))
        *native += L'\\';
    return native;
}

} // namespace

std::optional<std::vector<FolderEntry>> ReadFolder(const FileName &folder)
{
    const auto prefix = FolderWithSeparator(folder);
    if (!prefix)
        return std::nullopt;
    // The basic information leaves out the short names, and the large fetch
    // asks for many entries at once: a folder of thousands reads quickly.
    WIN32_FIND_DATAW found{};
    const HANDLE find = FindFirstFileExW((*prefix + L'*').c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional(std::vector<FolderEntry>{}) : std::nullopt;
    std::vector<FolderEntry> entries;
    do {
        if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
            continue;
        bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            const auto behind = AttributesBehindLinks(*prefix + found.cFileName);
            isFolder = behind && (*behind & FILE_ATTRIBUTE_DIRECTORY);
        }
        entries.push_back({NameFromNative(found.cFileName).Bytes(), isFolder});
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return entries;
}

bool IsFolder(const FileName &path)
{
    const auto native = path.HoldsNul() ? std::nullopt : NativeName(path);
    if (!native || native->empty())
        return false;
    const auto attributes = AttributesBehindLinks(*native);
    return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolder(const FileName &folder)
{
    const auto native = folder.HoldsNul() ? std::nullopt : NativeName(folder);
    return native && !native->empty() && CreateDirectoryW(native->c_str(), nullptr);
}

bool MayCreateIn(const FileName &folder)
{
    // Only trying tells: access lists, a read-only medium and a full share all say no alike.
    const auto prefix = FolderWithSeparator(folder.IsEmpty() ? FileName(".") : folder);
    if (!prefix)
        return false;
    const QByteArray probe = detail::TempName();
    const HANDLE h = CreateFileW((*prefix + std::wstring(probe.begin(), probe.end())).c_str(), GENERIC_WRITE, 0,
                                 nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

} // namespace platform
