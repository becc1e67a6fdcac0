// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/FolderScan.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/NaturalOrder.h"
#include "core/PathRules.h"
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
            // Each name's key is made once: comparing the names themselves
            // took half of a large folder's scan.
            std::vector<std::pair<QByteArray, std::size_t>> keys;
            keys.reserve(entries->size());
            for (std::size_t i = 0; i < entries->size(); ++i)
                keys.emplace_back(NaturalKey((*entries)[i].Name), i);
            std::sort(keys.begin(), keys.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
            std::vector<platform::FolderEntry> sorted;
            sorted.reserve(entries->size());
            for (const auto &key : keys)
                sorted.push_back(std::move((*entries)[key.second]));
            levels.push_back({std::move(path), std::move(sorted)});
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
            enter(path / "");
        else if (ism(path))
            found(path);
    }
}

} // namespace app
