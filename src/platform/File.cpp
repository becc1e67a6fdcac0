// SPDX-License-Identifier: GPL-3.0-or-later
// What both systems share about files; the calls themselves are in
// FileLinux.cpp and FileWin.cpp.
#include "platform/File.h"

namespace platform {

bool SameFile(const FileId &a, const FileId &b)
{
    return a == b || (a.ino == b.ino && a.size == b.size && a.modifiedNs == b.modifiedNs);
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
