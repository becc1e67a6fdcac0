// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MovieFormats.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <algorithm>

namespace app::media {

namespace {

QString VideoWords(const StreamShape &s)
{
    return QStringLiteral("%1×%2 at %3 fps").arg(s.width).arg(s.height).arg(RateWords(s.rate));
}

QString AudioWords(const StreamShape &s)
{
    return QStringLiteral("%1 %2").arg(SampleRateWords(s.sampleRate), ChannelWords(s.channels));
}

// The kinds of stream a join copies, in the order their words are given.
constexpr AVMediaType Kinds[] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE};

int CountOf(const std::vector<StreamShape> &shapes, AVMediaType kind)
{
    return int(std::count_if(shapes.begin(), shapes.end(), [kind](const StreamShape &s) { return s.type == kind; }));
}

QString CountWords(const std::vector<StreamShape> &shapes)
{
    const int subtitles = CountOf(shapes, AVMEDIA_TYPE_SUBTITLE), audios = CountOf(shapes, AVMEDIA_TYPE_AUDIO);
    QString words = QStringLiteral("%1 picture and %2 sound stream%3")
                        .arg(CountOf(shapes, AVMEDIA_TYPE_VIDEO))
                        .arg(audios)
                        .arg(audios == 1 ? "" : "s");
    if (subtitles > 0)
        words += QStringLiteral(" and %1 subtitle track%2").arg(subtitles).arg(subtitles == 1 ? "" : "s");
    return words;
}

bool SameShape(const StreamShape &a, const StreamShape &b)
{
    return a.type == b.type && a.codec == b.codec && a.width == b.width && a.height == b.height &&
           av_cmp_q(a.rate, b.rate) == 0 && a.sampleRate == b.sampleRate && a.channels == b.channels;
}

// The program stream muxer that fits the streams: VCD for VCD-style MPEG-1,
// SVCD and DVD for their MPEG-2, else a plain one.
QByteArray ProgramStreamMuxer(const std::vector<StreamShape> &shapes)
{
    const StreamShape *video = nullptr;
    bool vcdSound = true, dvdSound = true; // an SVCD's sound is a VCD's
    for (const StreamShape &s : shapes) {
        if (s.type == AVMEDIA_TYPE_VIDEO) {
            if (!video)
                video = &s;
            continue;
        }
        vcdSound = vcdSound && s.codec == AV_CODEC_ID_MP2 && s.sampleRate == 44100;
        dvdSound = dvdSound && s.sampleRate == 48000 &&
                   (s.codec == AV_CODEC_ID_MP2 || s.codec == AV_CODEC_ID_AC3 || s.codec == AV_CODEC_ID_PCM_DVD ||
                    s.codec == AV_CODEC_ID_DTS);
    }
    if (video && video->codec == AV_CODEC_ID_MPEG1VIDEO && video->width == 352 &&
        (video->height == 240 || video->height == 288) && vcdSound)
        return "vcd";
    if (video && video->codec == AV_CODEC_ID_MPEG2VIDEO && video->width == 480 &&
        (video->height == 480 || video->height == 576) && vcdSound)
        return "svcd";
    if (video && video->codec == AV_CODEC_ID_MPEG2VIDEO &&
        (video->width == 720 || video->width == 704 || video->width == 352) &&
        (video->height == 480 || video->height == 576 || video->height == 240 || video->height == 288) && dvdSound)
        return "dvd";
    return "mpeg";
}

} // namespace

bool operator==(const Layout &a, const Layout &b)
{
    return a.format == b.format &&
           std::equal(a.shapes.begin(), a.shapes.end(), b.shapes.begin(), b.shapes.end(),
                      [](const StreamShape &x, const StreamShape &y) { return SameShape(x, y); });
}

Layout LayoutOf(const Reader &reader)
{
    Layout layout{reader.Format(), {}};
    for (int index : reader.Picked())
        layout.shapes.push_back(reader.Shape(index));
    return layout;
}

QString KindWords(const QString &format)
{
    if (format == QLatin1String("mpeg"))
        return QStringLiteral("an MPEG program stream");
    if (format == QLatin1String("mpegvideo"))
        return QStringLiteral("an MPEG video stream");
    if (format == QLatin1String("mp3"))
        return QStringLiteral("MPEG audio");
    if (format == QLatin1String("mpegts"))
        return QStringLiteral("an MPEG transport stream");
    if (format == QLatin1String("matroska,webm"))
        return QStringLiteral("a Matroska file");
    return QStringLiteral("a %1 file").arg(format);
}

std::vector<int> MapByKind(const std::vector<StreamShape> &input, const std::vector<StreamShape> &first)
{
    std::vector<int> map(first.size(), -1);
    for (const AVMediaType kind : Kinds) {
        std::size_t next = 0; // the input's next stream of this kind
        for (std::size_t k = 0; k < first.size(); ++k) {
            if (first[k].type != kind)
                continue;
            while (next < input.size() && input[next].type != kind)
                ++next;
            if (next < input.size())
                map[k] = int(next++);
        }
    }
    return map;
}

QString Difference(const Layout &input, const Layout &first)
{
    if (input.format != first.format)
        return QStringLiteral("is %1; the first file is %2").arg(KindWords(input.format), KindWords(first.format));
    // A file may lack a stream the first has (its place stays empty, as a
    // pause in the sound); one the first has no place for would be lost.
    for (const AVMediaType kind : Kinds)
        if (CountOf(input.shapes, kind) > CountOf(first.shapes, kind))
            return QStringLiteral("has %1; the first file has %2")
                .arg(CountWords(input.shapes), CountWords(first.shapes));
    // Matroska carries each frame's time, so its frame rate may vary.
    const bool timedFrames = first.format == QLatin1String("matroska,webm");
    const std::vector<int> map = MapByKind(input.shapes, first.shapes);
    for (std::size_t k = 0; k < map.size(); ++k) {
        if (map[k] < 0)
            continue;
        const StreamShape &s = input.shapes[std::size_t(map[k])], &f = first.shapes[k];
        const bool video = s.type == AVMEDIA_TYPE_VIDEO;
        if (s.codec != f.codec) {
            const QString what = video ? QStringLiteral("%1 video") : QStringLiteral("%1 audio");
            const QString kind = s.type == AVMEDIA_TYPE_SUBTITLE ? QStringLiteral("%1 subtitles") : what;
            return QStringLiteral("is %1; the first file is %2")
                .arg(kind.arg(CodecWords(s.codec)), kind.arg(CodecWords(f.codec)));
        }
        if (video && (s.width != f.width || s.height != f.height || (!timedFrames && av_cmp_q(s.rate, f.rate) != 0)))
            return QStringLiteral("is %1; the first file is %2").arg(VideoWords(s), VideoWords(f));
        if (s.type == AVMEDIA_TYPE_AUDIO && (s.sampleRate != f.sampleRate || s.channels != f.channels))
            return QStringLiteral("has %1 sound; the first file has %2 sound").arg(AudioWords(s), AudioWords(f));
    }
    return {};
}

QByteArray MuxerFor(const Layout &first, const platform::FileName &output)
{
    const std::vector<StreamShape> &shapes = first.shapes;
    const bool oneVideo = shapes.size() == 1 && shapes[0].type == AVMEDIA_TYPE_VIDEO;
    const bool oneAudio = shapes.size() == 1 && shapes[0].type == AVMEDIA_TYPE_AUDIO;
    if (first.format == QLatin1String("mpeg"))
        return ProgramStreamMuxer(shapes);
    if (first.format == QLatin1String("mpegts"))
        return "mpegts";
    if (first.format == QLatin1String("matroska,webm")) {
        // WebM takes only VP8, VP9 and AV1 pictures with Vorbis or Opus sound.
        const bool webm = std::all_of(shapes.begin(), shapes.end(), [](const StreamShape &s) {
            return s.codec == AV_CODEC_ID_VP8 || s.codec == AV_CODEC_ID_VP9 || s.codec == AV_CODEC_ID_AV1 ||
                   s.codec == AV_CODEC_ID_VORBIS || s.codec == AV_CODEC_ID_OPUS || s.codec == AV_CODEC_ID_WEBVTT;
        });
        return webm && output.Extension().toLower() == "webm" ? "webm" : "matroska";
    }
    if (first.format == QLatin1String("mpegvideo") && oneVideo) {
        if (shapes[0].codec == AV_CODEC_ID_MPEG2VIDEO)
            return "mpeg2video";
        if (shapes[0].codec == AV_CODEC_ID_MPEG1VIDEO)
            return "mpeg1video";
    }
    if (first.format == QLatin1String("mp3") && oneAudio) {
        if (shapes[0].codec == AV_CODEC_ID_MP3)
            return "mp3";
        if (shapes[0].codec == AV_CODEC_ID_MP2 || shapes[0].codec == AV_CODEC_ID_MP1)
            return "mp2";
    }
    return {};
}

std::optional<mpa::FrameHeader> SoundFrame(const AVPacket *packet)
{
    const auto header = mpa::ParseHeader(packet->data, packet->size);
    if (!header || header->frameBytes != packet->size || mpa::IsHeaderFrame(packet->data, packet->size, *header))
        return std::nullopt;
    return header;
}

} // namespace app::media
