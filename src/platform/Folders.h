// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Folder reading for the folder scan: a folder's entries are read whole and
// the folder is closed again, so a deep tree never holds more than one open
// folder at a time.
#include "platform/File.h"
#include "platform/FileName.h"

#include <QByteArray>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace platform {

struct FolderEntry {
    QByteArray Name;       // the entry's name alone, as bytes, no folder in front
    bool IsFolder = false; // links are followed; a dangling link is a plain entry
};

// Every entry of folder in the order the file system gives them, hidden ones
// included; "." and ".." are left out, since they name the folder itself and
// its parent, never content. None when the folder cannot be opened (missing,
// no access, not a folder); a read error ends the list early.
std::optional<std::vector<FolderEntry>> ReadFolder(const FileName &folder);

// Whether path names a folder, following links.
bool IsFolder(const FileName &path);

// Makes folder (its parent must exist), for this user alone where the system
// has such modes; false when it could not be made, also when it exists.
bool MakeFolder(const FileName &folder);

// Whether this user may make new files in folder (empty: the current one).
bool MayCreateIn(const FileName &folder);

// Remembers the real folders a recursive scan has entered, by identity, so
// links leading back into the tree are not followed a second time.
class VisitedFolders {
public:
    // True when folder has not been entered before (and remembers it now);
    // false when it was. A folder that cannot be examined counts as new: its
    // reading will fail on its own.
    bool Enter(const FileName &folder);

private:
    std::set<std::pair<DeviceNumber, FileNumber>> seen_;
};

} // namespace platform
