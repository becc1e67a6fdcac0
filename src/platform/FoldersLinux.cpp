// SPDX-License-Identifier: GPL-3.0-or-later
// Folders on POSIX systems.
#include "platform/Folders.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::optional<std::vector<FolderEntry>> ReadFolder(const FileName &folder)
{
    if (folder.IsEmpty() || folder.HoldsNul())
        return std::nullopt;
    DIR *dir = ::opendir(folder.Bytes().constData());
    if (!dir)
        return std::nullopt;
    std::vector<FolderEntry> entries;
    while (const dirent *d = ::readdir(dir)) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
            continue;
        bool isFolder = d->d_type == DT_DIR;
        if (d->d_type == DT_LNK || d->d_type == DT_UNKNOWN) {
            struct stat st {};
            isFolder = ::fstatat(::dirfd(dir), d->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        entries.push_back({QByteArray(d->d_name), isFolder});
    }
    ::closedir(dir);
    return entries;
}

bool IsFolder(const FileName &path)
{
    struct stat st {};
    return !path.HoldsNul() && ::stat(path.Bytes().constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolder(const FileName &folder) { return !folder.HoldsNul() && ::mkdir(folder.Bytes().constData(), 0700) == 0; }

bool MayCreateIn(const FileName &folder)
{
    return !folder.HoldsNul() &&
           ::access((folder.IsEmpty() ? FileName(".") : folder).Bytes().constData(), W_OK | X_OK) == 0;
}

} // namespace platform
