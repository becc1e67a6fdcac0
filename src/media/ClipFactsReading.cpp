// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/Media.h"

#include "core/MpegAudio.h"
#include "media/MediaReader.h"
#include "platform/File.h"

#include <algorithm>

namespace app {

using platform::FileName;

namespace {

// Up to n bytes at offset.
QByteArray ReadAt(platform::File &file, qint64 offset, qint64 n)
{
    QByteArray bytes;
    if (offset < 0 || n <= 0)
        return bytes;
    bytes.resize(n);
    file.Seek(offset);
    qint64 got = 0;
    while (got < n) {
        const qint64 r = file.Read(bytes.data() + got, n - got);
        if (r == 0)
            break;
        got += r;
    }
    bytes.truncate(got);
    return bytes;
}

// Tags and the length header of an MPEG audio file, from its bytes.
void ReadAudioTags(const FileName &name, ClipFacts &facts)
{
    platform::File file = platform::File::OpenRead(name);
    const qint64 size = file.Size();
    const qint64 tag = mpa::Id3v2Length(ReadAt(file, 0, 10));
    facts.startTag = tag > 0;
    // The first frame header after the tag, within a few KiB of junk.
    const QByteArray head = ReadAt(file, tag, 16 << 10);
    const auto *b = reinterpret_cast<const uint8_t *>(head.constData());
    for (int at = 0; at + 4 <= head.size(); ++at) {
        if (const auto frame = mpa::ParseHeader(b + at, int(head.size()) - at)) {
            facts.lengthHeader = mpa::IsHeaderFrame(b + at, int(head.size()) - at, *frame);
            break;
        }
    }
    const QByteArray tail = ReadAt(file, std::max<qint64>(0, size - 160), std::min<qint64>(size, 160));
    const bool id3v1 = tail.size() >= 128 && tail.mid(tail.size() - 128, 3) == "TAG";
    const QByteArray apeEnd = tail.mid(tail.size() - (id3v1 ? 128 : 0) - 32, 8);
    facts.endTag = id3v1 || apeEnd == "APETAGEX";
}

} // namespace

ClipFacts media::ReadFacts(const FileName &name)
{
    ClipFacts facts;
    {
        media::Reader reader(name, false);
        const AVFormatContext *ctx = reader.Context();
        facts.format = reader.Format();
        facts.lengthUs = ctx->duration == AV_NOPTS_VALUE ? 0 : ctx->duration;
        facts.startUs = ctx->start_time == AV_NOPTS_VALUE ? 0 : ctx->start_time;
        for (int index : reader.Picked()) {
            const media::StreamShape s = reader.Shape(index);
            if (s.type == AVMEDIA_TYPE_VIDEO && facts.video.isEmpty())
                facts.video = QStringLiteral("%1 %2×%3 %4 fps")
                                  .arg(media::CodecWords(s.codec))
                                  .arg(s.width)
                                  .arg(s.height)
                                  .arg(media::RateWords(s.rate));
            else if (s.type == AVMEDIA_TYPE_AUDIO && facts.audio.isEmpty())
                facts.audio = media::CodecWords(s.codec) + QLatin1Char(' ') + media::SampleRateWords(s.sampleRate);
        }
    }
    if (facts.format == QLatin1String("mp3"))
        ReadAudioTags(name, facts);
    return facts;
}

} // namespace app
