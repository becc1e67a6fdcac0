// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Folders.h"

namespace platform {

bool VisitedFolders::Enter(const FileName &folder)
{
    const std::optional<FileId> id = IdentityOf(folder);
    if (!id)
        return true;
    return seen_.insert({id->dev, id->ino}).second;
}

} // namespace platform
