// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PathRules.h"

namespace app {

namespace {

// The extension with its ASCII letters upper-cased; other bytes may be part of a UTF-8 letter.
QByteArray TypeOf(const platform::FileName &name)
{
    QByteArray ext = name.Extension();
    for (char &c : ext)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return ext;
}

const QByteArrayList &Mp4Types()
{
    static const QByteArrayList types = {"MP4", "M4V", "MOV", "M4A"};
    return types;
}

} // namespace

bool ism(const platform::FileName &name)
{
    static const QByteArrayList accepted = {"MPG", "M2V", "MP1", "MPEG", "MP3", "DAT", "MP2"};
    const QByteArray type = TypeOf(name);
    return accepted.contains(type) || ContainerTypes().contains(type);
}

const QByteArrayList &ContainerTypes() { return Mp4Types(); }

bool IsMp4Type(const platform::FileName &name) { return Mp4Types().contains(TypeOf(name)); }

platform::FileName getpath(const platform::FileName &path)
{
    if (path.IsEmpty())
        return {};
    // One separator at the end, in the name's own style ("C:\\clips\\" on Windows).
    QByteArray p = path.Bytes();
    if (p.endsWith('/') && p.size() > 1)
        p.chop(1);
    return platform::FileName(p) / "";
}

} // namespace app
