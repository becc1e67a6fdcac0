// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/ClipFacts.h"

#include "app/core/MediaReader.h"
#include "app/core/MpegAudio.h"
#include "platform/File.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

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

bool ProgramStream(const ClipFacts &f)
{
    return f.format == QLatin1String("mpeg") || f.format == QLatin1String("mpegts");
}

} // namespace

QString LengthText(qint64 us)
{
    const qint64 seconds = (std::max<qint64>(us, 0) + 500000) / 1000000;
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

QString ClipFacts::Text() const
{
    QStringList parts{LengthText(lengthUs)};
    if (!video.isEmpty())
        parts << video;
    if (!audio.isEmpty())
        parts << audio;
    return parts.join(QStringLiteral(" · "));
}

ClipFacts ReadClipFacts(const FileName &name)
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

qint64 TotalLength(const std::vector<std::optional<ClipFacts>> &facts)
{
    qint64 total = 0;
    for (const auto &f : facts)
        if (f)
            total += f->lengthUs;
    return total;
}

QString ByteJoinHint(const std::vector<std::optional<ClipFacts>> &facts)
{
    std::vector<const ClipFacts *> known;
    for (const auto &f : facts)
        if (f)
            known.push_back(&*f);
    bool misleads = false;
    for (std::size_t i = 0; i < known.size() && !misleads; ++i) {
        const ClipFacts &f = *known[i];
        const bool first = i == 0, last = i + 1 == known.size();
        if (f.format == QLatin1String("mp3") && known.size() > 1) {
            // The first file's header counts that file alone; later headers
            // and tags sit inside the sound.
            misleads = (first && f.lengthHeader) || (!first && (f.startTag || f.lengthHeader)) || (!last && f.endTag);
        } else if (!first && ProgramStream(f) && ProgramStream(*known[i - 1])) {
            // Players take one clock for the file: each clip must go on where
            // the one before it ended, within a second.
            const ClipFacts &p = *known[i - 1];
            const qint64 gap = f.startUs - (p.startUs + p.lengthUs);
            misleads = gap < -500000 || gap > 1000000;
        }
    }
    if (!misleads)
        return {};
    return QStringLiteral("Players may show it with a wrong length or seek badly in it; the list's menu item "
                          "\"Join as One Movie\" avoids this.");
}

QString ByteJoinHint(const std::vector<FileName> &inputs)
{
    std::vector<std::optional<ClipFacts>> facts;
    for (const FileName &name : inputs) {
        try {
            facts.push_back(ReadClipFacts(name));
        } catch (const platform::EInOutError &) {
            facts.push_back(std::nullopt); // a file that is no media cannot mislead a player
        }
    }
    return ByteJoinHint(facts);
}

} // namespace app
