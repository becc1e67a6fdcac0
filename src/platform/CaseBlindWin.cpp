// SPDX-License-Identifier: GPL-3.0-or-later
// One entry under two spellings on Windows, whose volumes give each file one
// identity whatever the spelling of its folders: only the last part of a
// name can be spelt otherwise with the identities differing.
#include "platform/File.h"

#include "platform/Folders.h"

namespace platform {

// Windows' own file systems ignore case.
bool SpellingsMayDiffer(const FileName &) { return true; }

bool SameEntryIgnoringCase(const FileName &a, const FileName &b)
{
    const QByteArray nameA = a.LastPart(), nameB = b.LastPart();
    if (nameA == nameB || nameA.isEmpty() || nameB.isEmpty() ||
        QString::fromUtf8(nameA).compare(QString::fromUtf8(nameB), Qt::CaseInsensitive) != 0)
        return false;
    const FileName folderA = a.Folder().IsEmpty() ? FileName("./") : a.Folder();
    const FileName folderB = b.Folder().IsEmpty() ? FileName("./") : b.Folder();
    const auto idA = IdentityOf(folderA);
    if (!idA || !(idA == IdentityOf(folderB)) || !IdentityOf(a) || !IdentityOf(b))
        return false;
    // Both names lead to a file. A folder that lists both spellings holds two
    // files; one that lists only one holds one file under two spellings.
    const auto entries = ReadFolder(folderA);
    if (!entries)
        return true; // cannot tell: assume the worst, which only refuses a join
    bool listsA = false, listsB = false;
    for (const FolderEntry &entry : *entries) {
        listsA = listsA || nameA == entry.Name;
        listsB = listsB || nameB == entry.Name;
    }
    return !(listsA && listsB);
}

} // namespace platform
