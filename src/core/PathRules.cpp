// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PathRules.h"

namespace app {

const QByteArrayList &AcceptedExtensions()
{
    static const QByteArrayList accepted = {"MPG", "MPEG", "M2V", "MP1", "MP2", "MP3", "DAT"};
    return accepted;
}

bool ism(const platform::FileName &name)
{
    QByteArray ext = name.Extension();
    for (char &c : ext) // the ASCII letters only: other bytes may be part of a UTF-8 letter
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return AcceptedExtensions().contains(ext);
}

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
