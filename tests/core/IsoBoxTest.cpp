// SPDX-License-Identifier: GPL-3.0-or-later
// The box reader and writer on small hand-made boxes, and a joined index
// whose chunks lie past 4 GiB.
#include "core/IsoBox.h"
#include "core/Mp4Join.h"
#include "core/Mp4Movie.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "platform/File.h"

using app::iso::BadBox;
using app::iso::Tag;
using app::iso::Writer;

namespace {

QByteArray Box(const char (&type)[5], const QByteArray &body)
{
    Writer w;
    w.Begin(Tag(type));
    w.Bytes(body);
    w.End();
    return w.Data();
}

// A box of the 64-bit form: size 1, then the size in 64 bits.
QByteArray LargeBox(const char (&type)[5], const QByteArray &body)
{
    Writer w;
    w.U32(1);
    w.U32(Tag(type));
    w.U64(quint64(16 + body.size()));
    w.Bytes(body);
    return w.Data();
}

} // namespace

TEST(IsoBox, ReadsEverySizeFormAndRefusesWhatRunsPastItsParent)
{
    // A 64-bit size, a 32-bit one inside it, and a last box of size 0 that
    // reaches to the end.
    const QByteArray inner = Box("stsd", "abcd");
    QByteArray bytes = LargeBox("moov", inner) + Box("free", "") + QByteArray::fromHex("00000000") + "mdat" + "tail";
    const auto boxes = app::iso::BoxesIn(bytes);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].type, Tag("moov"));
    EXPECT_EQ(boxes[0].body, inner);
    EXPECT_EQ(boxes[1].body.size(), 0);
    EXPECT_EQ(boxes[2].body, QByteArray("tail"));
    const auto found = app::iso::FindPath(bytes, {Tag("moov"), Tag("stsd")});
    ASSERT_TRUE(found);
    EXPECT_EQ(found->body, QByteArray("abcd"));

    // A child larger than its parent, a size smaller than a header, bytes
    // left over and a field past the end are refused, never read.
    QByteArray pastParent = Box("moov", Box("trak", "12345678"));
    pastParent[11] = char(40);
    EXPECT_THROW(app::iso::BoxesIn(app::iso::BoxesIn(pastParent)[0].body), BadBox);
    EXPECT_THROW(app::iso::BoxesIn(QByteArray::fromHex("00000004") + "free"), BadBox);
    EXPECT_THROW(app::iso::BoxesIn(Box("free", "") + "xyz"), BadBox);
    app::iso::Cursor cursor(QByteArrayView("abc"), Tag("stsz"));
    EXPECT_EQ(cursor.U16(), 0x6162);
    EXPECT_THROW(cursor.U32(), BadBox);
}

#ifndef _WIN32
// A sparse file on Linux: holes cost no disk.

namespace {

// An index of one telemetry track whose samples (100 bytes, one a second)
// each fill a chunk at the offsets given.
QByteArray Index(const std::vector<qint64> &chunks, bool wide)
{
    const quint32 n = quint32(chunks.size());
    Writer w;
    w.Begin(Tag("moov"));
    w.BeginFull(Tag("mvhd"), 0, 0);
    for (const quint32 v : {0u, 0u, 1000u, n * 1000})
        w.U32(v);
    w.Bytes(QByteArray(80, '\0'));
    w.End();
    w.Begin(Tag("trak"));
    w.BeginFull(Tag("tkhd"), 0, 3);
    for (const quint32 v : {0u, 0u, 1u, 0u, n * 1000})
        w.U32(v);
    w.Bytes(QByteArray(60, '\0'));
    w.End();
    w.Begin(Tag("mdia"));
    w.BeginFull(Tag("mdhd"), 0, 0);
    for (const quint32 v : {0u, 0u, 1000u, n * 1000, 0u})
        w.U32(v);
    w.End();
    w.BeginFull(Tag("hdlr"), 0, 0);
    w.U32(0);
    w.U32(Tag("meta"));
    w.Bytes(QByteArray(13, '\0'));
    w.End();
    w.Begin(Tag("minf"));
    w.Begin(Tag("stbl"));
    w.BeginFull(Tag("stsd"), 0, 0);
    w.U32(1);
    w.Bytes(Box("gpmd", QByteArray::fromHex("000000000000 0001")));
    w.End();
    w.BeginFull(Tag("stts"), 0, 0);
    for (const quint32 v : {1u, n, 1000u}) // one run: n samples of 1000
        w.U32(v);
    w.End();
    w.BeginFull(Tag("stsc"), 0, 0);
    for (const quint32 v : {1u, 1u, 1u, 1u}) // from the first chunk on, one sample each
        w.U32(v);
    w.End();
    w.BeginFull(Tag("stsz"), 0, 0);
    w.U32(100);
    w.U32(n);
    w.End();
    app::iso::WriteChunkOffsets(w, chunks, 0, wide);
    w.End();
    w.End();
    w.End();
    w.End();
    w.End();
    return w.Data();
}

const QByteArray Ftyp = Box("ftyp", QByteArray("isom") + QByteArray(4, '\0') + "isom");

} // namespace

TEST(IsoBox, ChunksPastFourGiBAreRebasedWith64BitOffsets)
{
    QTemporaryDir dir;
    const QString big = dir.filePath("GX010042.MP4"), small = dir.filePath("GX020042.MP4");
    // The first chapter: a 64-bit media data box of 4.5 GiB, mostly a hole,
    // with samples at its start and 4.25 GiB in, then its index.
    const qint64 body = Ftyp.size() + 16, media = qint64(9) << 29;
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        Writer header;
        header.U32(1);
        header.U32(Tag("mdat"));
        header.U64(quint64(16 + media));
        f.write(Ftyp + header.Data());
        f.write(Pattern(100, 1));
        f.seek(body + (qint64(17) << 28));
        f.write(Pattern(100, 2));
        f.seek(body + media);
        f.write(Index({body, body + (qint64(17) << 28)}, true));
    }
    // The second: its index first, then media data of size 0 (to the end).
    const qint64 indexSize = Index({0, 0}, false).size();
    const qint64 smallBody = Ftyp.size() + indexSize + 8;
    WriteBytes(small, Ftyp + Index({smallBody, smallBody + 100}, false) + QByteArray::fromHex("00000000") + "mdat" +
                          Pattern(200, 3));

    platform::File input = platform::File::OpenRead(Name(big));
    const app::iso::FileBoxes top = app::iso::TopLevelBoxes(input, input.Size());
    ASSERT_EQ(top.boxes.size(), 3u);
    EXPECT_EQ(top.boxes[1].headerSize, 16);
    EXPECT_EQ(top.boxes[1].size, 16 + media);
    EXPECT_FALSE(top.cutShort);

    // The joined index, as the join would write it before its media data.
    const QByteArray head = app::Mp4Join::Head({{Name(big), Name(small)}, Name(dir.filePath("joined.mp4"))});
    const QString joined = dir.filePath("head.mp4");
    WriteBytes(joined, head);
    platform::File out = platform::File::OpenRead(Name(joined));
    const app::mp4::Movie movie = app::mp4::ReadMovie(out, Name(joined));
    ASSERT_EQ(movie.tracks.size(), 1u);
    std::vector<qint64> offsets;
    for (const app::mp4::Chunk &c : movie.tracks[0].samples.chunks)
        offsets.push_back(c.offset);
    const qint64 start = head.size(); // the media data follows the head, 64-bit sized
    EXPECT_EQ(offsets, (std::vector<qint64>{start, start + (qint64(17) << 28), start + media, start + media + 100}));
    EXPECT_TRUE(
        app::iso::FindPath(movie.moov, {Tag("moov"), Tag("trak"), Tag("mdia"), Tag("minf"), Tag("stbl"), Tag("co64")}));
    EXPECT_EQ(movie.mediaData.size(), 1u);
    EXPECT_EQ(head.mid(head.size() - 16, 8), QByteArray::fromHex("00000001") + "mdat");
    EXPECT_EQ(movie.duration, 4000);
}

#endif
