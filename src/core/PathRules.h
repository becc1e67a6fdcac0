// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The movie list's rules for names: which files are accepted, and how a
// folder chosen in the browser is written.
#include "platform/FileName.h"

namespace app {

// Accepted types: the extension (after the last "." of the name's last part)
// with its ASCII letters upper-cased is one of MPG, M2V, MP1, MPEG, MP3, DAT,
// MP2. Only "/" separates.
bool ism(const platform::FileName &name);

// The folder path ending in exactly one "/"; empty for an empty path.
platform::FileName getpath(const platform::FileName &path);

} // namespace app
