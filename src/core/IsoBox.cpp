// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/IsoBox.h"

#include <QtEndian>

#include <algorithm>
#include <limits>

namespace app::iso {

QString TagText(FourCC type)
{
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char(type >> shift);
        text += c >= 0x20 && c < 0x7F ? QLatin1Char(c) : QLatin1Char('?');
    }
    return text;
}

namespace {

// The size and header size of the box at at, with end the end of what holds
// it (a size of 0 reaches there); BadBox when the header breaks the rules. The
// size may still run past end: the caller decides what that means.
struct Sizes {
    qint64 size;
    qint64 header;
};
Sizes SizesAt(QByteArrayView head, qint64 at, qint64 end)
{
    const auto *b = reinterpret_cast<const uchar *>(head.data());
    const FourCC type = qFromBigEndian<quint32>(b + 4);
    qint64 size = qFromBigEndian<quint32>(b);
    qint64 header = 8;
    if (size == 1) {
        if (head.size() < 16)
            throw BadBox(QStringLiteral("the box '%1' ends in its header").arg(TagText(type)));
        const quint64 large = qFromBigEndian<quint64>(b + 8);
        if (large > quint64(std::numeric_limits<qint64>::max()))
            throw BadBox(QStringLiteral("the box '%1' claims more than 8 EiB").arg(TagText(type)));
        size = qint64(large);
        header = 16;
    } else if (size == 0) {
        size = end - at;
    }
    if (size < header)
        throw BadBox(QStringLiteral("the box '%1' is smaller than its header").arg(TagText(type)));
    return {size, header};
}

} // namespace

std::vector<Box> BoxesIn(QByteArrayView bytes)
{
    std::vector<Box> boxes;
    qint64 at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < 8)
            throw BadBox(QStringLiteral("%1 bytes left over after the last box").arg(bytes.size() - at));
        const QByteArrayView head = bytes.sliced(at, std::min<qint64>(16, bytes.size() - at));
        const Sizes s = SizesAt(head, at, bytes.size());
        if (s.size > bytes.size() - at)
            throw BadBox(QStringLiteral("the box '%1' runs past the box that holds it")
                             .arg(TagText(qFromBigEndian<quint32>(head.data() + 4))));
        const QByteArrayView whole = bytes.sliced(at, s.size);
        boxes.push_back({qFromBigEndian<quint32>(whole.data() + 4), whole, whole.sliced(s.header)});
        at += s.size;
    }
    return boxes;
}

const Box *Find(const std::vector<Box> &boxes, FourCC type)
{
    for (const Box &box : boxes)
        if (box.type == type)
            return &box;
    return nullptr;
}

std::optional<Box> FindPath(QByteArrayView bytes, std::initializer_list<FourCC> path)
{
    std::optional<Box> found;
    for (const FourCC type : path) {
        const std::vector<Box> boxes = BoxesIn(found ? found->body : bytes);
        const Box *next = Find(boxes, type);
        if (!next)
            return std::nullopt;
        found = *next;
    }
    return found;
}

QByteArray ReadAt(platform::File &file, qint64 offset, qint64 n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    file.Seek(offset);
    qint64 got = 0;
    while (got < n) {
        const qint64 r = file.Read(bytes.data() + got, n - got);
        if (r == 0)
            throw BadBox(QStringLiteral("the file ends inside a box"));
        got += r;
    }
    return bytes;
}

FileBoxes TopLevelBoxes(platform::File &file, qint64 fileSize)
{
    FileBoxes found;
    qint64 at = 0;
    while (at < fileSize) {
        if (fileSize - at < 8) {
            found.cutShort = true; // a header begun and never finished
            break;
        }
        const QByteArray head = ReadAt(file, at, std::min<qint64>(16, fileSize - at));
        const Sizes s = SizesAt(head, at, fileSize);
        FileBox box;
        box.type = qFromBigEndian<quint32>(head.constData() + 4);
        box.offset = at;
        box.headerSize = s.header;
        box.size = s.size;
        if (s.size > fileSize - at) {
            // Where a writer stopped before finishing (a camera that lost
            // power), the last box claims more than the file holds.
            box.size = fileSize - at;
            found.boxes.push_back(box);
            found.cutShort = true;
            break;
        }
        found.boxes.push_back(box);
        at += box.size;
    }
    return found;
}

QByteArrayView Cursor::Take(qint64 n)
{
    if (n < 0 || n > Left())
        Fail(QStringLiteral("ends %1 bytes too early").arg(n - Left()));
    const QByteArrayView part = bytes_.sliced(at_, n);
    at_ += n;
    return part;
}

void Cursor::Fail(const QString &what) const
{
    throw BadBox(QStringLiteral("the box '%1' %2").arg(TagText(box_), what));
}

quint16 Cursor::U16() { return qFromBigEndian<quint16>(Take(2).data()); }

quint32 Cursor::U24()
{
    const auto *b = reinterpret_cast<const uchar *>(Take(3).data());
    return quint32(b[0]) << 16 | quint32(b[1]) << 8 | b[2];
}

quint32 Cursor::U32() { return qFromBigEndian<quint32>(Take(4).data()); }

quint64 Cursor::U64() { return qFromBigEndian<quint64>(Take(8).data()); }

quint32 Cursor::Count(qint64 entrySize)
{
    const quint32 n = U32();
    if (entrySize > 0 && qint64(n) > Left() / entrySize)
        Fail(QStringLiteral("counts %1 entries, more than it holds").arg(n));
    return n;
}

void Writer::U16(quint16 v)
{
    char b[2];
    qToBigEndian(v, b);
    data_.append(b, 2);
}

void Writer::U32(quint32 v)
{
    char b[4];
    qToBigEndian(v, b);
    data_.append(b, 4);
}

void Writer::U64(quint64 v)
{
    char b[8];
    qToBigEndian(v, b);
    data_.append(b, 8);
}

void Writer::Begin(FourCC type)
{
    open_.push_back(data_.size());
    U32(0); // the size, once known
    U32(type);
}

void Writer::BeginFull(FourCC type, quint8 version, quint32 flags)
{
    Begin(type);
    U32(quint32(version) << 24 | (flags & 0xFFFFFF));
}

void Writer::End()
{
    const qint64 start = open_.back();
    open_.pop_back();
    const qint64 size = data_.size() - start;
    if (size > 0xFFFFFFFFLL)
        throw BadBox(QStringLiteral("an index box of %1 bytes is more than one box can hold").arg(size));
    qToBigEndian(quint32(size), data_.data() + start);
}

QByteArray Header(FourCC type, qint64 size)
{
    Writer w;
    if (size > 0xFFFFFFFFLL) {
        w.U32(1);
        w.U32(type);
        w.U64(quint64(size));
    } else {
        w.U32(quint32(size));
        w.U32(type);
    }
    return w.Data();
}

void WriteChunkOffsets(Writer &out, const std::vector<qint64> &offsets, qint64 base, bool wide)
{
    out.BeginFull(wide ? Tag("co64") : Tag("stco"), 0, 0);
    out.U32(quint32(offsets.size()));
    for (const qint64 offset : offsets) {
        const qint64 at = base + offset;
        if (!wide && at > 0xFFFFFFFFLL)
            throw BadBox(QStringLiteral("a chunk at %1 needs 64-bit chunk offsets").arg(at));
        out.Sized(wide, quint64(at));
    }
    out.End();
}

std::vector<qint64> ReadChunkOffsets(const Box &box)
{
    const bool wide = box.type == Tag("co64");
    Cursor c(box.body, box.type);
    c.Skip(4);
    const quint32 n = c.Count(wide ? 8 : 4);
    std::vector<qint64> offsets(n);
    for (quint32 i = 0; i < n; ++i) {
        const quint64 v = c.Sized(wide);
        if (v > quint64(std::numeric_limits<qint64>::max()))
            c.Fail(QStringLiteral("holds an offset past 8 EiB"));
        offsets[i] = qint64(v);
    }
    return offsets;
}

} // namespace app::iso
