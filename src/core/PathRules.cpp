// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/PathRules.h"

#include <utility>
#include <vector>

namespace app {

QByteArray TypeOf(const platform::FileName &name)
{
    QByteArray ext = name.Extension();
    for (char &c : ext) // the ASCII letters only: other bytes may be part of a UTF-8 letter
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return ext;
}

namespace {

// Every type joined by its container, with the container: the one list.
// The Windows installer reads its "Open with" types from this table and
// from AcceptedExtensions' first types, one entry a line as they stand.
const std::vector<std::pair<QByteArray, Container>> &ContainerTable()
{
    static const std::vector<std::pair<QByteArray, Container>> table = {
        {"MP4", Container::Mp4},
        {"M4V", Container::Mp4},
        {"MOV", Container::Mp4},
        {"M4A", Container::Mp4},
        {"MKV", Container::Matroska},
        {"WEBM", Container::Matroska},
        {"MTS", Container::TransportStream},
        {"M2TS", Container::TransportStream},
        {"TS", Container::TransportStream},
        {"VOB", Container::DvdVideo},
    };
    return table;
}

} // namespace

const QByteArrayList &AcceptedExtensions()
{
    static const QByteArrayList accepted = [] {
        QByteArrayList firstTypes{"MPG", "MPEG", "M2V", "MP1", "MP2", "MP3", "DAT"};
        return firstTypes << ContainerTypes();
    }();
    return accepted;
}

bool ism(const platform::FileName &name) { return AcceptedExtensions().contains(TypeOf(name)); }

Container ContainerOf(const platform::FileName &name)
{
    const QByteArray type = TypeOf(name);
    for (const auto &[known, container] : ContainerTable())
        if (type == known)
            return container;
    return Container::None;
}

const QByteArrayList &ContainerTypes()
{
    static const QByteArrayList types = [] {
        QByteArrayList list;
        for (const auto &entry : ContainerTable())
            list << entry.first;
        return list;
    }();
    return types;
}

bool IsMp4Type(const platform::FileName &name) { return ContainerOf(name) == Container::Mp4; }

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
