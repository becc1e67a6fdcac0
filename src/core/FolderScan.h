// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The folder scan of "Add Folder": every accepted file of a folder tree.
#include <functional>

#include "platform/FileName.h"

namespace app {

// Reports each accepted file (by ism) below folder, which ends in "/", depth
// first: a folder's entries in natural name order (NaturalLess), and a
// subfolder's files before the entries that follow it. Hidden files count.
// Each real folder is entered once, so links that lead back into the tree
// end; a folder that cannot be read adds nothing. Every folder is read whole
// and closed before the scan goes deeper, so a deep tree holds one open
// folder at a time. beforeEntry runs before each entry; when it returns false
// the scan stops there.
void ScanFolder(const platform::FileName &folder, const std::function<void(const platform::FileName &)> &found,
                const std::function<bool()> &beforeEntry);

} // namespace app
