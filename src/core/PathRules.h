// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The movie list's rules for names: which files are accepted, and how a
// folder chosen in the browser is written.
#include <QByteArrayList>

#include "platform/FileName.h"

namespace app {

// The extensions of the accepted types, upper-case, without the ".": the
// one list the type test and the open dialog's "All movies and sounds" follow.
const QByteArrayList &AcceptedExtensions();

// Accepted types: the extension (after the last "." of the name's last part)
// with its ASCII letters upper-cased is one of AcceptedExtensions() (MPG,
// MPEG, M2V, MP1, MP2, MP3, DAT). Only "/" separates.
bool ism(const platform::FileName &name);

// The folder path ending in exactly one "/"; empty for an empty path.
platform::FileName getpath(const platform::FileName &path);

} // namespace app
