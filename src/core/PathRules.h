// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The movie list's rules for names: which files are accepted, and how a
// folder chosen in the browser is written.
#include "platform/FileName.h"

#include <QByteArrayList>

namespace app {

// Accepted types: the extension (after the last "." of the name's last part)
// with its ASCII letters upper-cased is one of MPG, M2V, MP1, MPEG, MP3, DAT,
// MP2, or one of ContainerTypes(). Only "/" separates.
bool ism(const platform::FileName &name);

// The types joined as one movie by their container, whatever the list's
// menu says (upper case): MP4, M4V, MOV and M4A. Add Movie offers them in
// one filter entry of their own.
const QByteArrayList &ContainerTypes();

// Whether name is an MP4 or QuickTime file by its type (any case): .mp4,
// .m4v, .mov or .m4a.
bool IsMp4Type(const platform::FileName &name);

// The folder path ending in exactly one "/"; empty for an empty path.
platform::FileName getpath(const platform::FileName &path);

} // namespace app
