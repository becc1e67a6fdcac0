#pragma once
// Folder enumeration for the folder scan: one entry per call, in the order the
// file system keeps them, so the caller can process window events in between.
#include "platform/File.h"

#include <QString>
#include <dirent.h>
#include <set>
#include <utility>

namespace platform {

class FolderEnumerator {
public:
    struct Entry {
        QString Name;          // the entry's name alone, no folder in front
        bool IsFolder = false; // links are followed; a dangling link is a plain entry
    };

    // Opens folder; when it cannot be opened (missing, no access, not a
    // folder) Ok() is false and Next() yields nothing.
    explicit FolderEnumerator(const QString &folder);
    ~FolderEnumerator();
    FolderEnumerator(const FolderEnumerator &) = delete;
    FolderEnumerator &operator=(const FolderEnumerator &) = delete;

    bool Ok() const { return dir_ != nullptr; }
    // The next entry in readdir's order, hidden ones included. "." and ".."
    // are skipped: they name the folder itself and its parent, never content.
    // False at the end (or on a read error, which ends the enumeration).
    bool Next(Entry &entry);

private:
    DIR *dir_ = nullptr;
};

// Remembers the real folders a recursive scan has entered, by identity, so
// links leading back into the tree are not followed a second time.
class VisitedFolders {
public:
    // True when folder has not been entered before (and remembers it now);
    // false when it was. A folder that cannot be examined counts as new: its
    // enumeration will fail on its own.
    bool Enter(const QString &folder);

private:
    std::set<std::pair<dev_t, ino_t>> seen_;
};

} // namespace platform
