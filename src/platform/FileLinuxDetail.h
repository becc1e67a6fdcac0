// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What FileLinux.cpp and SafeReplaceLinux.cpp, the two Linux halves of File,
// share. Only those two include it.
#include "platform/File.h"

#include <functional>
#include <sys/stat.h>

namespace platform::detail {

inline const char *C(const FileName &name) { return name.Bytes().constData(); }

// A pipe, socket or device met where a regular file was wanted.
[[noreturn]] void ThrowNotAFile(const FileName &path, mode_t mode, bool output);

// The call again while a signal interrupts it.
int Retry(const std::function<int()> &call);

FileId IdOf(const struct stat &st);

// Whether /proc/self/fd names this process's descriptors.
bool ProcFdAvailable();

} // namespace platform::detail
