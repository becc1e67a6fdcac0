// SPDX-License-Identifier: GPL-3.0-or-later
// What both systems share about files; the calls themselves are in
// FileLinux.cpp and FileWin.cpp.
#include "platform/File.h"

#include "platform/Folders.h"

namespace platform {

bool SameFile(const FileId &a, const FileId &b)
{
    return a == b || (a.ino == b.ino && a.size == b.size && a.modifiedNs == b.modifiedNs);
}

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

File::File(File &&other) noexcept
    : fd_(std::exchange(other.fd_, NoHandle)), path_(std::move(other.path_)),
      replacement_(std::move(other.replacement_)), replaced_(other.replaced_), opened_(other.opened_)
{
    other.replacement_.reset();
}

File &File::operator=(File &&other) noexcept
{
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, NoHandle);
        path_ = std::move(other.path_);
        replacement_ = std::move(other.replacement_);
        other.replacement_.reset();
        replaced_ = other.replaced_;
        opened_ = other.opened_;
    }
    return *this;
}

void ThrowInOut(int errnum, const FileName &path) { throw InOutErrorFor(errnum, path); }

WriteCallsOverride::WriteCallsOverride(WriteCalls calls) : previous_(CurrentWriteCalls())
{
    WriteCalls &current = CurrentWriteCalls();
    if (calls.Write)
        current.Write = std::move(calls.Write);
    if (calls.CopyRange)
        current.CopyRange = std::move(calls.CopyRange);
}

WriteCallsOverride::~WriteCallsOverride() { CurrentWriteCalls() = previous_; }

} // namespace platform
