// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/FolderScan.h"

#include <algorithm>
#include <vector>

#include "app/core/NaturalOrder.h"
#include "app/core/PathRules.h"
#include "platform/Folders.h"

namespace app {

using platform::FileName;

void ScanFolder(const FileName &folder, const std::function<void(const FileName &)> &found,
                const std::function<bool()> &beforeEntry)
{
    struct Level {
        FileName folder;
        std::vector<platform::FolderEntry> entries;
        std::size_t next = 0;
    };
    std::vector<Level> levels;
    platform::VisitedFolders visited;
    auto enter = [&](FileName path) {
        if (!visited.Enter(path))
            return;
        if (auto entries = platform::ReadFolder(path)) {
            // The file system's own order is a hash here; people expect names.
            std::sort(entries->begin(), entries->end(),
                      [](const platform::FolderEntry &a, const platform::FolderEntry &b) {
                          return NaturalLess(a.Name, b.Name);
                      });
            levels.push_back({std::move(path), std::move(*entries)});
        }
    };

    enter(folder);
    while (!levels.empty()) {
        Level &level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            continue;
        }
        const platform::FolderEntry entry = level.entries[level.next++];
        if (!beforeEntry())
            return;
        const FileName path = level.folder + entry.Name;
        if (entry.IsFolder)
            enter(path + "/");
        else if (ism(path))
            found(path);
    }
}

} // namespace app
