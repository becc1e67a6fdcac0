// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The movie list's rules for names: which files are accepted, and how a
// folder chosen in the browser is written.
#include "platform/FileName.h"

#include <QByteArrayList>

namespace app {

// A name's type: its extension with the ASCII letters upper-cased ("MKV").
QByteArray TypeOf(const platform::FileName &name);

// The extensions of the accepted types, upper-case, without the ".": the
// original ones, then ContainerTypes(); the one list the type test and the
// open dialog's "All movies and sounds" follow.
const QByteArrayList &AcceptedExtensions();

// Accepted types: the extension (after the last "." of the name's last part)
// with its ASCII letters upper-cased is one of AcceptedExtensions(). Only "/"
// separates.
bool ism(const platform::FileName &name);

// The container a file's type names, for the joins that follow what the
// files are rather than the list's menu.
enum class Container {
    None,            // one of the original types, or no accepted type
    Mp4,             // MP4, M4V, MOV, M4A: MP4 and QuickTime
    Matroska,        // MKV, WEBM
    TransportStream, // TS, MTS, M2TS
    DvdVideo,        // VOB: a DVD's program stream
};
Container ContainerOf(const platform::FileName &name);

// The types joined by their container, whatever the list's menu says (upper
// case), in the order Add Movie's one filter entry for them names them.
const QByteArrayList &ContainerTypes();

// Whether name is an MP4 or QuickTime file by its type (any case): .mp4,
// .m4v, .mov or .m4a.
bool IsMp4Type(const platform::FileName &name);

// The folder path ending in exactly one "/"; empty for an empty path.
platform::FileName getpath(const platform::FileName &path);

} // namespace app
