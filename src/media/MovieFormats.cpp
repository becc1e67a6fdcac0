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

QString CountWords(const std::vector<StreamShape> &shapes)
{
    const auto videos =
        std::count_if(shapes.begin(), shapes.end(), [](const StreamShape &s) { return s.type == AVMEDIA_TYPE_VIDEO; });
    const auto audios = qsizetype(shapes.size()) - videos;
    return QStringLiteral("%1 picture and %2 sound stream%3").arg(videos).arg(audios).arg(audios == 1 ? "" : "s");
}

bool SameShape(const StreamShape &a, const StreamShape &b)
{
    return a.type == b.type && a.codec == b.codec && a.width == b.width && a.height == b.height &&
           av_cmp_q(a.rate, b.rate) == 0 && a.sampleRate == b.sampleRate && a.channels == b.channels;
}

// The program stream muxer that fits the streams: VCD for VCD-style MPEG-1,
// DVD for DVD-style MPEG-2, else a plain one.
QByteArray ProgramStreamMuxer(const std::vector<StreamShape> &shapes)
{
    const StreamShape *video = nullptr;
    bool vcdSound = true, dvdSound = true;
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
    return QStringLiteral("a %1 file").arg(format);
}

QString Difference(const Layout &input, const Layout &first)
{
    if (input.format != first.format)
        return QStringLiteral("is %1; the first file is %2").arg(KindWords(input.format), KindWords(first.format));
    const std::vector<StreamShape> &shapes = input.shapes, &firstShapes = first.shapes;
    bool sameKinds = shapes.size() == firstShapes.size();
    for (std::size_t k = 0; sameKinds && k < shapes.size(); ++k)
        sameKinds = shapes[k].type == firstShapes[k].type;
    if (!sameKinds)
        return QStringLiteral("has %1; the first file has %2").arg(CountWords(shapes), CountWords(firstShapes));
    for (std::size_t k = 0; k < shapes.size(); ++k) {
        const StreamShape &s = shapes[k], &f = firstShapes[k];
        const bool video = s.type == AVMEDIA_TYPE_VIDEO;
        if (s.codec != f.codec) {
            const QString what = video ? QStringLiteral("%1 video") : QStringLiteral("%1 audio");
            return QStringLiteral("is %1; the first file is %2")
                .arg(what.arg(CodecWords(s.codec)), what.arg(CodecWords(f.codec)));
        }
        if (video && (s.width != f.width || s.height != f.height || av_cmp_q(s.rate, f.rate) != 0))
            return QStringLiteral("is %1; the first file is %2").arg(VideoWords(s), VideoWords(f));
        if (!video && (s.sampleRate != f.sampleRate || s.channels != f.channels))
            return QStringLiteral("has %1 sound; the first file has %2 sound").arg(AudioWords(s), AudioWords(f));
    }
    return {};
}

QByteArray MuxerFor(const Layout &first)
{
    const std::vector<StreamShape> &shapes = first.shapes;
    const bool oneVideo = shapes.size() == 1 && shapes[0].type == AVMEDIA_TYPE_VIDEO;
    const bool oneAudio = shapes.size() == 1 && shapes[0].type == AVMEDIA_TYPE_AUDIO;
    if (first.format == QLatin1String("mpeg"))
        return ProgramStreamMuxer(shapes);
    if (first.format == QLatin1String("mpegts"))
        return "mpegts";
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
