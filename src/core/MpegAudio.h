// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MPEG audio frames and their tags, read from the bytes: what the one-movie
// join needs to write an MP3 that counts itself, and what the byte join's
// hint needs to know whether an MP3's header or tags will mislead players.
#include <QByteArray>
#include <cstdint>
#include <optional>
#include <vector>

namespace app::mpa {

struct FrameHeader {
    int version = 0;    // 1 for MPEG-1, 2 for MPEG-2, 25 for MPEG-2.5
    int layer = 0;      // 1, 2 or 3
    int sampleRate = 0; // Hz
    int bitrate = 0;    // kbit/s
    int frameBytes = 0; // the whole frame, header included
    bool crc = false;
    bool mono = false;
    uint32_t raw = 0;
};

// The header at data, when its four bytes are a valid frame header with a
// known bitrate; free-format frames have no length and are not taken.
std::optional<FrameHeader> ParseHeader(const uint8_t *data, int size);

// Whether a frame (header included) is a Xing, Info or VBRI header frame
// rather than sound.
bool IsHeaderFrame(const uint8_t *data, int size, const FrameHeader &header);

// The LAME tag: the 36 bytes an encoder puts after the Xing header's fields
// (and its VBR quality), naming itself and its settings and telling the
// samples a gapless player leaves out: the encoder's delay before the
// sound and its padding after it.
struct LameTag {
    quint32 quality = 0; // the Xing header's VBR quality
    QByteArray fields;   // the 36 bytes as the encoder wrote them
    int delay = 0, padding = 0;
    uint16_t musicCrc = 0; // of the sound frames
};

// The LAME tag of a header frame (header included), when its encoder is
// one whose delay and padding players honour: LAME, or FFmpeg's libmp3lame
// ("Lavc", "Lavf"). The tag's own CRC is not asked for: FFmpeg's writer
// gets it wrong, and players trim by the delay and padding all the same.
std::optional<LameTag> ReadLameTag(const uint8_t *data, int size);

// The CRC-16 the LAME tag carries, of its frame and of the sound frames
// (polynomial 0x8005, bits reflected, from 0); crc continues an earlier one.
uint16_t Crc16(const uint8_t *data, std::size_t size, uint16_t crc = 0);

// A Layer III frame of silence that carries a Xing header (Info when every
// frame has the same bitrate) counting frames of the given sizes: their
// number, their bytes with this frame's, and the table of contents players
// seek with. Its version, sample rate and channel mode are model's. With a
// LAME tag it carries lame's delay, padding and music CRC, the rest of its
// fields as lame has them but for those only true of the stream lame came
// from (its loudness), and the tag's length and CRC made for this frame.
QByteArray XingFrame(const FrameHeader &model, const std::vector<uint16_t> &frameSizes, bool constantBitrate,
                     const std::optional<LameTag> &lame = std::nullopt);

// The length of the ID3v2 tag at the start of a file from its first ten
// bytes (header, body and footer), or 0 when there is none.
qint64 Id3v2Length(const QByteArray &head);

} // namespace app::mpa
