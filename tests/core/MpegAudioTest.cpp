// SPDX-License-Identifier: GPL-3.0-or-later
// MPEG audio frames, header frames and ID3v2 tags, read from bytes made here.
#include "core/MpegAudio.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace app::mpa;

namespace {

std::optional<FrameHeader> Parse(quint32 header)
{
    uint8_t bytes[4];
    qToBigEndian(header, bytes);
    return ParseHeader(bytes, 4);
}

const uint8_t *Bytes(const QByteArray &b) { return reinterpret_cast<const uint8_t *>(b.constData()); }

} // namespace

TEST(MpegAudio, HeadersGiveTheFrameAndWhatIsNoHeaderIsRefused)
{
    // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, joint stereo, no CRC; then padded.
    const auto mp3 = Parse(0xFFFB9064);
    ASSERT_TRUE(mp3);
    EXPECT_EQ(mp3->version, 1);
    EXPECT_EQ(mp3->layer, 3);
    EXPECT_EQ(mp3->bitrate, 128);
    EXPECT_EQ(mp3->sampleRate, 44100);
    EXPECT_EQ(mp3->frameBytes, 417);
    EXPECT_FALSE(mp3->crc || mp3->mono);
    EXPECT_EQ(Parse(0xFFFB9264)->frameBytes, 418);
    // MPEG-2 Layer III at 22.05 kHz, 64 kbit/s, mono, with CRC; MPEG-1 Layer II at 48 kHz, 192 kbit/s.
    const auto low = Parse(0xFFF280C0);
    ASSERT_TRUE(low);
    EXPECT_EQ(low->version, 2);
    EXPECT_EQ(low->sampleRate, 22050);
    EXPECT_EQ(low->frameBytes, 72 * 64000 / 22050);
    EXPECT_TRUE(low->crc && low->mono);
    const auto mp2 = Parse(0xFFFDA400);
    ASSERT_TRUE(mp2);
    EXPECT_EQ(mp2->layer, 2);
    EXPECT_EQ(mp2->frameBytes, 144 * 192000 / 48000);
    EXPECT_EQ(Parse(0xFFFFE000)->frameBytes, (12 * 448000 / 44100) * 4); // Layer I, in slots of four bytes

    for (const quint32 bad :
         {0xFFE00000u /* reserved layer */, 0xFFEB9064u /* reserved version */, 0xFFFB0064u /* free format */,
          0xFFFBF064u /* bad bitrate */, 0xFFFB9C64u /* bad sample rate */, 0x7FFB9064u /* no sync */})
        EXPECT_FALSE(Parse(bad)) << std::hex << bad;
    const uint8_t three[3] = {0xFF, 0xFB, 0x90};
    EXPECT_FALSE(ParseHeader(three, 3));
}

TEST(MpegAudio, TheHeaderFrameCountsTheFramesAndLetsPlayersSeek)
{
    const FrameHeader model = *Parse(0xFFFB9064);
    const std::vector<uint16_t> sizes{417, 418, 209, 1045, 417};
    for (const bool constant : {false, true}) {
        const QByteArray frame = XingFrame(model, sizes, constant);
        const auto header = ParseHeader(Bytes(frame), int(frame.size()));
        ASSERT_TRUE(header);
        EXPECT_EQ(header->frameBytes, frame.size()) << "one whole frame";
        EXPECT_EQ(header->sampleRate, 44100);
        EXPECT_TRUE(IsHeaderFrame(Bytes(frame), int(frame.size()), *header)) << "and no sound";
        const qsizetype tag = frame.indexOf(constant ? "Info" : "Xing");
        ASSERT_EQ(tag, 4 + 32);
        EXPECT_EQ(qFromBigEndian<quint32>(frame.constData() + tag + 8), 5u);
        EXPECT_EQ(qFromBigEndian<quint32>(frame.constData() + tag + 12), 2506u + frame.size());
        // The table: where each hundredth of the time starts, in 256ths of the bytes, never back.
        for (int i = 1; i < 100; ++i)
            EXPECT_GE(uint8_t(frame[tag + 16 + i]), uint8_t(frame[tag + 16 + i - 1]));
    }
    // A mono MPEG-2 model needs a larger bitrate than its own to hold the header.
    const FrameHeader small = *Parse(0xFFF310C0);
    const QByteArray frame = XingFrame(small, {}, true);
    EXPECT_GE(frame.size(), 4 + 9 + 16 + 100);
    EXPECT_TRUE(IsHeaderFrame(Bytes(frame), int(frame.size()), *ParseHeader(Bytes(frame), int(frame.size()))));

    QByteArray vbri(417, '\0');
    qToBigEndian(0xFFFB9064u, vbri.data());
    EXPECT_FALSE(IsHeaderFrame(Bytes(vbri), int(vbri.size()), model)) << "silence is sound";
    vbri.replace(36, 4, "VBRI");
    EXPECT_TRUE(IsHeaderFrame(Bytes(vbri), int(vbri.size()), model));
}

TEST(MpegAudio, TheLameTagCarriesTheGaplessFieldsOfTheWholeStream)
{
    EXPECT_EQ(Crc16(Bytes("123456789"), 9), 0xBB3D) << "the check value of CRC-16/ARC";
    LameTag lame;
    lame.fields = QByteArray("LAME3.100").leftJustified(36, '\0');
    lame.fields[11] = 0x7F; // a peak measured of the first stream alone
    lame.quality = 57;
    lame.delay = 576;
    lame.padding = 1260;
    lame.musicCrc = 0xBEEF;
    const QByteArray frame = XingFrame(*Parse(0xFFFB9064), {417, 418}, false, lame);
    const auto back = ReadLameTag(Bytes(frame), int(frame.size()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->fields.left(9), "LAME3.100");
    EXPECT_EQ(back->fields[11], 0) << "no loudness of the first stream";
    EXPECT_EQ(back->quality, 57u);
    EXPECT_EQ(back->delay, 576);
    EXPECT_EQ(back->padding, 1260);
    EXPECT_EQ(back->musicCrc, 0xBEEF);
    const qsizetype tag = frame.indexOf("LAME");
    EXPECT_EQ(tag, 4 + 32 + 120);
    EXPECT_EQ(qFromBigEndian<quint32>(frame.constData() + tag + 28), 835u + frame.size()) << "the music's length";

    QByteArray other = frame;
    other.replace(tag, 4, "GOGO");
    EXPECT_FALSE(ReadLameTag(Bytes(other), int(other.size()))) << "an encoder whose delay players do not trust";
    EXPECT_FALSE(ReadLameTag(Bytes(frame), int(tag + 35))) << "a tag cut short";
}

TEST(MpegAudio, Id3v2TagLengths)
{
    EXPECT_EQ(Id3v2Length(QByteArray::fromHex("49443304000000000a05")), 10 + 0x505);
    EXPECT_EQ(Id3v2Length(QByteArray::fromHex("4944330400107f7f7f7f")), 10 + 0x0FFFFFFF + 10); // with a footer
    EXPECT_EQ(Id3v2Length(QByteArray::fromHex("49443304000000000a85")), 0) << "not a syncsafe size";
    EXPECT_EQ(Id3v2Length(QByteArray::fromHex("54414704000000000a05")), 0) << "no tag";
    EXPECT_EQ(Id3v2Length("ID3"), 0);
}
