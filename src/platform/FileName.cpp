// SPDX-License-Identifier: GPL-3.0-or-later
// What both systems share about names: their parts and their WTF-8 form.
#include "platform/FileName.h"

#include <QList>
#include <QUrl>

namespace platform {

FileName FileName::Folder() const
{
    const qsizetype end = FolderEnd(bytes_);
    return end < 0 ? FileName() : FileName(bytes_.left(end + 1));
}

FileName FileName::ContainingFolder() const
{
    QByteArray folder = Folder().Bytes();
    const qsizetype last = folder.size() - 1;
    const bool endsInSeparator = last >= 0 && FolderEnd(folder) == last && folder[last] != ':';
    if (endsInSeparator && last > 0 && folder[last - 1] != ':')
        folder.chop(1);
    return FileName(folder);
}

QByteArray FileName::Extension() const
{
    const QByteArray last = LastPart();
    const qsizetype dot = last.lastIndexOf('.');
    return dot < 0 ? QByteArray() : last.mid(dot + 1);
}

QByteArray FileName::LastPart() const { return bytes_.mid(FolderEnd(bytes_) + 1); }

FileName FileName::operator/(const QByteArray &child) const
{
    if (bytes_.isEmpty() || FolderEnd(bytes_) == bytes_.size() - 1)
        return FileName(bytes_ + child);
    return FileName(bytes_ + SeparatorAfter(bytes_) + child);
}

std::vector<FileName> NamesFromUrls(const QList<QUrl> &urls)
{
    std::vector<FileName> names;
    for (const QUrl &url : urls)
        if (const auto name = NameFromUrl(url))
            names.push_back(*name);
    return names;
}

QByteArray Wtf8FromUtf16(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 3);
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        if (c < 0x80) {
            bytes += char(c);
        } else if (c < 0x800) {
            bytes += char(0xc0 | (c >> 6));
            bytes += char(0x80 | (c & 0x3f));
        } else if (c < 0x10000) { // lone surrogates too: that is all WTF-8 adds
            bytes += char(0xe0 | (c >> 12));
            bytes += char(0x80 | ((c >> 6) & 0x3f));
            bytes += char(0x80 | (c & 0x3f));
        } else {
            bytes += char(0xf0 | (c >> 18));
            bytes += char(0x80 | ((c >> 12) & 0x3f));
            bytes += char(0x80 | ((c >> 6) & 0x3f));
            bytes += char(0x80 | (c & 0x3f));
        }
    }
    return bytes;
}

std::optional<std::u16string> Utf16FromWtf8(const QByteArray &bytes)
{
    std::u16string units;
    units.reserve(size_t(bytes.size()));
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const uchar *end = p + bytes.size();
    while (p < end) {
        const uchar lead = *p++;
        int more;
        char32_t c;
        if (lead == 0)
            return std::nullopt;
        if (lead < 0x80) {
            units += char16_t(lead);
            continue;
        }
        if (lead >= 0xc2 && lead <= 0xdf) {
            more = 1;
            c = lead & 0x1f;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            more = 2;
            c = lead & 0x0f;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            more = 3;
            c = lead & 0x07;
        } else {
            return std::nullopt;
        }
        if (end - p < more)
            return std::nullopt;
        for (int i = 0; i < more; ++i) {
            if ((p[i] & 0xc0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (p[i] & 0x3f);
        }
        p += more;
        // Overlong forms and code points beyond Unicode would give a second
        // spelling of one name, or none at all.
        if ((more == 2 && c < 0x800) || (more == 3 && (c < 0x10000 || c > 0x10ffff)))
            return std::nullopt;
        if (c >= 0x10000) {
            units += QChar::highSurrogate(c);
            units += QChar::lowSurrogate(c);
            continue;
        }
        // A pair written as two lone halves would be a second spelling of
        // the four-byte form (a high half only ever ends units when lone).
        if (QChar::isLowSurrogate(c) && !units.empty() && QChar::isHighSurrogate(units.back()))
            return std::nullopt;
        units += char16_t(c);
    }
    return units;
}

} // namespace platform
