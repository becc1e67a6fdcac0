// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Boxes of the ISO base media file format, the shape of MP4 and QuickTime
// files: a 32-bit size (0: to the end of the file, 1: a 64-bit size
// follows), a four-letter type, then the body, which may hold more boxes.
// Reading checks every size against the box around it and the file, and
// every field against the bytes there are; nothing is read past them.
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <initializer_list>
#include <optional>
#include <vector>

namespace app::iso {

// A box type: four letters, read as one big-endian number.
using FourCC = quint32;
constexpr FourCC Tag(const char (&text)[5])
{
    return FourCC(quint8(text[0])) << 24 | FourCC(quint8(text[1])) << 16 | FourCC(quint8(text[2])) << 8 |
           FourCC(quint8(text[3]));
}
// "moov"; letters that are not printable as '?'.
QString TagText(FourCC type);

// Bytes that break the format's rules; the message says which.
class BadBox : public platform::Exception {
public:
    using Exception::Exception;
};

// A box inside bytes held in memory; the views point into those bytes.
struct Box {
    FourCC type = 0;
    QByteArrayView whole; // header and body
    QByteArrayView body;
};

// The boxes that fill bytes one after another. A size of 0 reaches to the end
// of bytes; a size that runs past them throws BadBox.
std::vector<Box> BoxesIn(QByteArrayView bytes);
// The first of boxes of that type, or nullptr.
const Box *Find(const std::vector<Box> &boxes, FourCC type);
// Follows a path of types down from the boxes in bytes ("mdia", "minf", ...):
// the first box of each type in the one before; none where one is missing.
std::optional<Box> FindPath(QByteArrayView bytes, std::initializer_list<FourCC> path);

// A box at the top level of a file, where boxes are read one header at a time.
struct FileBox {
    FourCC type = 0;
    qint64 offset = 0;     // of the header
    qint64 headerSize = 0; // 8, or 16 with a 64-bit size
    qint64 size = 0;       // header and body
    qint64 BodyOffset() const { return offset + headerSize; }
    qint64 End() const { return offset + size; }
};

// The top-level boxes of a file of fileSize bytes, in order. A box whose size
// runs past the end of the file is the last one listed, with cutShort set:
// what is left of it is cut off.
struct FileBoxes {
    std::vector<FileBox> boxes;
    bool cutShort = false;
};
FileBoxes TopLevelBoxes(platform::File &file, qint64 fileSize);

// Exactly n bytes at offset of file, or BadBox when the file ends before.
QByteArray ReadAt(platform::File &file, qint64 offset, qint64 n);

// Reads the fields of a box body in order, big-endian, each checked against
// the bytes left: one past the end throws BadBox naming the box.
class Cursor {
public:
    Cursor(QByteArrayView bytes, FourCC box) : bytes_(bytes), box_(box) {}
    quint8 U8() { return quint8(Take(1)[0]); }
    quint16 U16();
    quint32 U24();
    quint32 U32();
    quint64 U64();
    // A 32- or 64-bit field, as a box's version asks.
    quint64 Sized(bool wide) { return wide ? U64() : U32(); }
    QByteArrayView Bytes(qint64 n) { return Take(n); }
    void Skip(qint64 n) { Take(n); }
    qint64 Left() const { return bytes_.size() - at_; }
    qint64 Position() const { return at_; }
    // A count of entries of entrySize bytes each, checked against the bytes left.
    quint32 Count(qint64 entrySize);
    [[noreturn]] void Fail(const QString &what) const;

private:
    QByteArrayView Take(qint64 n);
    QByteArrayView bytes_;
    FourCC box_;
    qint64 at_ = 0;
};

// Builds boxes into bytes: Begin opens a box, End closes the innermost one
// and writes its size.
class Writer {
public:
    void U8(quint8 v) { data_.append(char(v)); }
    void U16(quint16 v);
    void U32(quint32 v);
    void U64(quint64 v);
    void Sized(bool wide, quint64 v) { wide ? U64(v) : U32(quint32(v)); }
    void Bytes(QByteArrayView bytes) { data_.append(bytes); }
    void Begin(FourCC type);
    // A full box: version and 24 bits of flags after the header.
    void BeginFull(FourCC type, quint8 version, quint32 flags);
    void End();
    const QByteArray &Data() const { return data_; }
    qint64 Size() const { return data_.size(); }

private:
    QByteArray data_;
    std::vector<qint64> open_;
};

// The header of a box of size bytes (header included): 8 bytes, or 16 with a
// 64-bit size where the size does not fit in 32 bits.
QByteArray Header(FourCC type, qint64 size);
// The size of that header.
inline qint64 HeaderSize(qint64 bodySize) { return bodySize + 8 > 0xFFFFFFFFLL ? 16 : 8; }

// A chunk offset table: 'stco' with 32-bit offsets, or 'co64' where wide
// (which a file past 4 GiB needs). Each offset is base plus the one given.
void WriteChunkOffsets(Writer &out, const std::vector<qint64> &offsets, qint64 base, bool wide);
// The offsets of an 'stco' or 'co64' box.
std::vector<qint64> ReadChunkOffsets(const Box &box);

} // namespace app::iso
