// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/MpegAudio.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace app::mpa {

namespace {

// kbit/s by [MPEG-1?][layer - 1][index]; index 0 is free format.
constexpr int Bitrates[2][3][16] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
};
constexpr int SampleRates[3] = {44100, 48000, 32000}; // MPEG-1; halved for 2, quartered for 2.5

int FrameBytes(int version, int layer, int bitrate, int sampleRate, int padding)
{
    const int bps = bitrate * 1000;
    if (layer == 1)
        return (12 * bps / sampleRate + padding) * 4;
    if (layer == 3 && version != 1)
        return 72 * bps / sampleRate + padding;
    return 144 * bps / sampleRate + padding;
}

// Bytes of Layer III side information after the header (and its CRC).
int SideInfoBytes(const FrameHeader &h)
{
    if (h.version == 1)
        return h.mono ? 17 : 32;
    return h.mono ? 9 : 17;
}

void PutBig32(char *at, uint32_t v)
{
    at[0] = char(v >> 24);
    at[1] = char(v >> 16);
    at[2] = char(v >> 8);
    at[3] = char(v);
}

uint32_t Big32(const uint8_t *at)
{
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
}

// Where a header frame's "Xing" or "Info" lies, or -1: after the side
// information, where LAME puts it with or without a CRC, or after the CRC.
int XingAt(const uint8_t *data, int size, const FrameHeader &header)
{
    const int plain = 4 + SideInfoBytes(header);
    for (const int at : {plain, plain + (header.crc ? 2 : 0)})
        if (size >= at + 4 && (std::memcmp(data + at, "Xing", 4) == 0 || std::memcmp(data + at, "Info", 4) == 0))
            return at;
    return -1;
}

// The Xing header's flags: which of its fields follow.
constexpr uint32_t Frames = 1, Bytes = 2, Contents = 4, Quality = 8;

// Where the LAME tag's fields lie in its bytes.
enum LameField {
    Revision = 9, // the tag's revision and, in the low four bits, the encoding method
    Peak = 11,
    RadioGain = 15,
    AudiophileGain = 17,
    DelayAndPadding = 21, // 12 bits each
    Mp3Gain = 25,
    MusicLength = 28,
    MusicCrc = 32,
    TagCrc = 34,
    LameBytes = 36,
};

constexpr std::array<uint16_t, 256> CrcTable = [] {
    std::array<uint16_t, 256> table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        auto c = uint16_t(i);
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? uint16_t(c >> 1 ^ 0xA001) : uint16_t(c >> 1);
        table[i] = c;
    }
    return table;
}();

// Writes lame's fields at t, in the frame that starts at frameStart and
// holds bytes with the frames after it.
void PutLameTag(char *t, const LameTag &lame, bool constantBitrate, quint64 bytes, const char *frameStart)
{
    std::memcpy(t, lame.fields.constData(), std::min<std::size_t>(LameBytes, std::size_t(lame.fields.size())));
    // The loudness measured of the first stream is not that of the whole.
    std::memset(t + Peak, 0, AudiophileGain + 2 - Peak); // the peak, the radio and audiophile gains
    t[Mp3Gain] = 0;
    // A constant bitrate method is not true of frames of several bitrates.
    if (const int method = t[Revision] & 15; !constantBitrate && (method == 1 || method == 8))
        t[Revision] = char(t[Revision] & 0xF0);
    const int delay = std::clamp(lame.delay, 0, 4095), padding = std::clamp(lame.padding, 0, 4095);
    t[DelayAndPadding] = char(delay >> 4);
    t[DelayAndPadding + 1] = char((delay & 15) << 4 | padding >> 8);
    t[DelayAndPadding + 2] = char(padding);
    PutBig32(t + MusicLength, uint32_t(std::min<quint64>(bytes, 0xFFFFFFFFu)));
    t[MusicCrc] = char(lame.musicCrc >> 8);
    t[MusicCrc + 1] = char(lame.musicCrc);
    // The tag's CRC: of the frame from its first byte up to the CRC.
    const uint16_t crc = Crc16(reinterpret_cast<const uint8_t *>(frameStart), std::size_t(t + TagCrc - frameStart));
    t[TagCrc] = char(crc >> 8);
    t[TagCrc + 1] = char(crc);
}

} // namespace

std::optional<FrameHeader> ParseHeader(const uint8_t *data, int size)
{
    if (size < 4)
        return std::nullopt;
    const uint32_t h = Big32(data);
    if ((h & 0xFFE00000u) != 0xFFE00000u)
        return std::nullopt;
    const int versionBits = (h >> 19) & 3, layerBits = (h >> 17) & 3;
    const int bitrateIndex = (h >> 12) & 15, rateIndex = (h >> 10) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    FrameHeader f;
    f.raw = h;
    f.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    f.layer = 4 - layerBits;
    f.sampleRate = SampleRates[rateIndex] / (f.version == 1 ? 1 : f.version == 2 ? 2 : 4);
    f.bitrate = Bitrates[f.version == 1 ? 1 : 0][f.layer - 1][bitrateIndex];
    f.crc = !((h >> 16) & 1);
    f.mono = ((h >> 6) & 3) == 3;
    f.frameBytes = FrameBytes(f.version, f.layer, f.bitrate, f.sampleRate, (h >> 9) & 1);
    return f;
}

bool IsHeaderFrame(const uint8_t *data, int size, const FrameHeader &header)
{
    if (header.layer != 3)
        return false;
    if (XingAt(data, size, header) >= 0)
        return true;
    return size >= 40 && std::memcmp(data + 36, "VBRI", 4) == 0;
}

std::optional<LameTag> ReadLameTag(const uint8_t *data, int size)
{
    const auto header = ParseHeader(data, size);
    if (!header || header->layer != 3)
        return std::nullopt;
    const int xing = XingAt(data, size, *header);
    if (xing < 0 || size < xing + 8)
        return std::nullopt;
    const uint32_t flags = Big32(data + xing + 4);
    int at = xing + 8 + (flags & Frames ? 4 : 0) + (flags & Bytes ? 4 : 0) + (flags & Contents ? 100 : 0);
    LameTag tag;
    if (flags & Quality) {
        if (size < at + 4)
            return std::nullopt;
        tag.quality = Big32(data + at);
        at += 4;
    }
    if (size < at + LameBytes)
        return std::nullopt;
    const uint8_t *t = data + at;
    if (std::memcmp(t, "LAME", 4) != 0 && std::memcmp(t, "Lavc", 4) != 0 && std::memcmp(t, "Lavf", 4) != 0)
        return std::nullopt;
    tag.fields = QByteArray(reinterpret_cast<const char *>(t), LameBytes);
    tag.delay = t[DelayAndPadding] << 4 | t[DelayAndPadding + 1] >> 4;
    tag.padding = (t[DelayAndPadding + 1] & 15) << 8 | t[DelayAndPadding + 2];
    tag.musicCrc = uint16_t(t[MusicCrc] << 8 | t[MusicCrc + 1]);
    return tag;
}

uint16_t Crc16(const uint8_t *data, std::size_t size, uint16_t crc)
{
    for (std::size_t i = 0; i < size; ++i)
        crc = uint16_t(CrcTable[(crc ^ data[i]) & 0xFF] ^ crc >> 8);
    return crc;
}

QByteArray XingFrame(const FrameHeader &model, const std::vector<uint16_t> &frameSizes, bool constantBitrate,
                     const std::optional<LameTag> &lame)
{
    FrameHeader h = model;
    h.crc = false;
    const int payloadAt = 4 + SideInfoBytes(h);
    // "Xing", flags, frames, bytes, table of contents; with a LAME tag, the quality before it.
    const int needed = payloadAt + 4 + 4 + 4 + 4 + 100 + (lame ? 4 + LameBytes : 0);
    // The lowest bitrate whose frame holds the header; no padding, no CRC.
    int index = 1;
    for (; index < 15; ++index) {
        const int kbps = Bitrates[h.version == 1 ? 1 : 0][2][index];
        if (FrameBytes(h.version, 3, kbps, h.sampleRate, 0) >= needed)
            break;
    }
    const int frameBytes = FrameBytes(h.version, 3, Bitrates[h.version == 1 ? 1 : 0][2][index], h.sampleRate, 0);
    uint32_t raw = model.raw;
    raw |= 1u << 16;                           // no CRC
    raw &= ~(0xFu << 12 | 1u << 9 | 3u << 17); // bitrate, padding, layer
    raw |= uint32_t(index) << 12 | 1u << 17;   // layer III
    raw &= ~(3u << 4);                         // no mode extension
    QByteArray frame(frameBytes, '\0');
    PutBig32(frame.data(), raw);

    char *x = frame.data() + payloadAt;
    std::memcpy(x, constantBitrate ? "Info" : "Xing", 4);
    PutBig32(x + 4, Frames | Bytes | Contents | (lame ? Quality : 0));
    const quint64 frames = frameSizes.size();
    quint64 bytes = quint64(frameBytes);
    for (uint16_t s : frameSizes)
        bytes += s;
    PutBig32(x + 8, uint32_t(frames));
    PutBig32(x + 12, uint32_t(std::min<quint64>(bytes, 0xFFFFFFFFu)));
    // Entry i: where the frame at i % of the time starts, in 256ths of the bytes.
    quint64 offset = quint64(frameBytes);
    std::size_t counted = 0;
    for (int i = 0; i < 100; ++i) {
        const std::size_t target = std::size_t(frames * quint64(i) / 100);
        while (counted < target)
            offset += frameSizes[counted++];
        x[16 + i] = char(std::min<quint64>(255, offset * 256 / std::max<quint64>(bytes, 1)));
    }
    if (lame) {
        PutBig32(x + 116, lame->quality);
        PutLameTag(x + 120, *lame, constantBitrate, bytes, frame.constData());
    }
    return frame;
}

qint64 Id3v2Length(const QByteArray &head)
{
    if (head.size() < 10 || !head.startsWith("ID3"))
        return 0;
    const auto *b = reinterpret_cast<const uint8_t *>(head.constData());
    if ((b[6] | b[7] | b[8] | b[9]) & 0x80)
        return 0; // not a syncsafe size: no tag
    const qint64 body = qint64(b[6]) << 21 | qint64(b[7]) << 14 | qint64(b[8]) << 7 | b[9];
    return 10 + body + ((b[5] & 0x10) ? 10 : 0);
}

} // namespace app::mpa
