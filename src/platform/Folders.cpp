#include "platform/Folders.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

FolderEnumerator::FolderEnumerator(const QString &folder)
{
    if (!folder.isEmpty())
        dir_ = ::opendir(QFile::encodeName(folder).constData());
}

FolderEnumerator::~FolderEnumerator()
{
    if (dir_)
        ::closedir(dir_);
}

bool FolderEnumerator::Next(Entry &entry)
{
    if (!dir_)
        return false;
    for (;;) {
        const dirent *d = ::readdir(dir_);
        if (!d)
            return false;
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
            continue;
        bool folder = d->d_type == DT_DIR;
        if (d->d_type == DT_LNK || d->d_type == DT_UNKNOWN) {
            struct stat st {};
            folder = ::fstatat(::dirfd(dir_), d->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        entry.Name = QFile::decodeName(d->d_name);
        entry.IsFolder = folder;
        return true;
    }
}

bool VisitedFolders::Enter(const QString &folder)
{
    const std::optional<FileId> id = IdentityOf(folder);
    if (!id)
        return true;
    return seen_.insert({id->dev, id->ino}).second;
}

} // namespace platform
