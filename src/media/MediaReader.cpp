// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaReader.h"

#include "core/ClipFacts.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstring>
#include <iterator>

namespace app::media {

using platform::EInOutError;
using platform::FileName;

namespace {

// Large reads keep the system calls few; the demuxer takes packets of a few
// KiB out of it.
constexpr int ReadBufferSize = 256 << 10;

// How far ahead the reader looks for a sound stream's first packet before it
// gives up on learning the stream's rate: in a dash camera's file it comes
// within the first second, and what is read ahead is held in memory.
constexpr std::size_t MostPacketsAhead = 2000;
constexpr qint64 MostBytesAhead = 32 << 20;

// A build without decoders (the Windows one) learns nothing of an ADTS
// stream's rate while probing, and every muxer refuses sound without one.
// The first packet's ADTS header tells it; true when it did.
bool TakeAdtsShape(const AVPacket &packet, AVCodecParameters *par)
{
    static constexpr int Rates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                    22050, 16000, 12000, 11025, 8000,  7350};
    const uint8_t *h = packet.data;
    if (packet.size < 7 || h[0] != 0xFF || (h[1] & 0xF6) != 0xF0) // sync word, layer 0
        return false;
    const int rateIndex = (h[2] >> 2) & 0x0F;
    const int channels = ((h[2] & 0x01) << 2) | (h[3] >> 6);
    if (rateIndex >= int(std::size(Rates)))
        return false;
    par->sample_rate = Rates[rateIndex];
    if (channels > 0 && par->ch_layout.nb_channels <= 0) { // 0: told in the stream, not the header
        av_channel_layout_uninit(&par->ch_layout);
        av_channel_layout_default(&par->ch_layout, channels == 7 ? 8 : channels);
    }
    return true;
}

} // namespace

QString ErrorText(int averror)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(averror, text, sizeof text);
    return QString::fromUtf8(text);
}

QString InvalidMediaMessage(const FileName &name, const QString &why)
{
    return QStringLiteral("Read error: %1 is not a movie or sound file that can be read (%2)")
        .arg(QString::fromUtf8(name.LastPart()), why);
}

Reader::Reader(const FileName &name, bool forJoin) : name_(name), owned_(platform::File::OpenRead(name)), file_(&owned_)
{
    try {
        Open(forJoin);
    } catch (...) {
        Release();
        throw;
    }
}

Reader::Reader(platform::File &file, const FileName &name, bool forJoin, std::function<bool()> stop)
    : name_(name), file_(&file), stop_(std::move(stop))
{
    try {
        file_->Seek(0);
        Open(forJoin);
    } catch (...) {
        Release();
        throw;
    }
}

void Reader::Open(bool forJoin)
{
    // The program tells its own errors, naming the file; FFmpeg's running
    // remarks on streams would only clutter a terminal.
    static const bool quiet = (av_log_set_level(AV_LOG_FATAL), true);
    (void)quiet;
    size_ = file_->Size();
    auto *buffer = static_cast<unsigned char *>(av_malloc(ReadBufferSize));
    io_ = buffer ? avio_alloc_context(buffer, ReadBufferSize, 0, this, &Reader::ReadPacket, nullptr, &Reader::Seek)
                 : nullptr;
    if (!io_) {
        av_free(buffer);
        throw std::bad_alloc();
    }
    ctx_ = avformat_alloc_context();
    if (!ctx_)
        throw std::bad_alloc();
    ctx_->pb = io_;
    if (stop_)
        ctx_->interrupt_callback = {&Reader::Interrupt, this};
    if (forJoin)
        ctx_->skip_estimate_duration_from_pts = 1;
    // The name is only a hint for the probe (its extension); the bytes come
    // through io_, so it is never opened by name.
    int err = avformat_open_input(&ctx_, name_.Bytes().constData(), nullptr, nullptr);
    if (err < 0) {
        ctx_ = nullptr; // freed by the failed open
        Fail(err, QString());
    }
    err = avformat_find_stream_info(ctx_, nullptr);
    if (err < 0 || stopped_) // interrupted, it may end early as if it had found all
        Fail(err, QString());
    const bool matroska = Format() == QLatin1String("matroska,webm");
    for (unsigned i = 0; i < ctx_->nb_streams; ++i) {
        const AVStream *st = ctx_->streams[i];
        const AVMediaType type = st->codecpar->codec_type;
        if (st->codecpar->codec_id == AV_CODEC_ID_NONE)
            continue;
        // Matroska's subtitle tracks are part of the recording, as its pictures and sound.
        if ((type == AVMEDIA_TYPE_VIDEO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC)) ||
            type == AVMEDIA_TYPE_AUDIO || (type == AVMEDIA_TYPE_SUBTITLE && matroska))
            picked_.push_back(int(i));
    }
    if (picked_.empty())
        Fail(0, QStringLiteral("no picture or sound found"));
    LearnSoundRates();
    if (forJoin)
        for (int i : picked_)
            if (ctx_->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
                ctx_->streams[i]->codecpar->sample_rate <= 0)
                Fail(0, QStringLiteral("the sound of stream %1 tells no sample rate").arg(i));
}

void Reader::LearnSoundRates()
{
    std::vector<int> unknown;
    for (int i : picked_)
        if (ctx_->streams[i]->codecpar->codec_id == AV_CODEC_ID_AAC && ctx_->streams[i]->codecpar->sample_rate <= 0)
            unknown.push_back(i);
    // The packets read on the way are kept, and Next hands them out first.
    qint64 heldBytes = 0;
    while (!unknown.empty() && held_.size() < MostPacketsAhead && heldBytes < MostBytesAhead) {
        AVPacket *packet = av_packet_alloc();
        if (!packet)
            throw std::bad_alloc();
        const int err = av_read_frame(ctx_, packet);
        if (err < 0) {
            av_packet_free(&packet);
            if (err == AVERROR_EOF)
                break;
            Fail(err, QString());
        }
        held_.push_back(packet);
        heldBytes += packet->size;
        const auto it = std::find(unknown.begin(), unknown.end(), packet->stream_index);
        if (it == unknown.end())
            continue;
        if (TakeAdtsShape(*packet, ctx_->streams[*it]->codecpar))
            adtsClocks_.push_back({*it, ctx_->streams[*it]->codecpar->sample_rate});
        unknown.erase(it); // its first packet tells or nothing does
    }
}

void Reader::Retime(AVPacket *packet)
{
    for (AdtsClock &clock : adtsClocks_) {
        if (clock.stream != packet->stream_index)
            continue;
        // The demuxer may take the rate back when it reads the stream's
        // description again; what the header told stays.
        const AVStream *st = ctx_->streams[clock.stream];
        st->codecpar->sample_rate = clock.rate;
        // Frames after the first of a PES packet carry its time again, or
        // none: their times follow from the frames before.
        const int blocks = packet->size >= 7 ? (packet->data[6] & 0x03) + 1 : 1;
        const int64_t duration = av_rescale_q(1024 * blocks, AVRational{1, clock.rate}, st->time_base);
        const bool told = packet->pts != AV_NOPTS_VALUE && packet->pts != clock.lastTold;
        if (packet->pts != AV_NOPTS_VALUE)
            clock.lastTold = packet->pts;
        if (!told && clock.next != AV_NOPTS_VALUE)
            packet->pts = packet->dts = clock.next;
        if (packet->pts != AV_NOPTS_VALUE)
            clock.next = packet->pts + duration;
        packet->duration = duration;
    }
}

Reader::~Reader() { Release(); }

void Reader::Release() noexcept
{
    for (AVPacket *&packet : held_)
        av_packet_free(&packet);
    held_.clear();
    if (ctx_)
        avformat_close_input(&ctx_);
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

int Reader::Interrupt(void *opaque)
{
    auto *self = static_cast<Reader *>(opaque);
    self->stopped_ = self->stopped_ || self->stop_();
    return self->stopped_ ? 1 : 0;
}

void Reader::Fail(int averror, const QString &doing)
{
    if (stopped_)
        throw Stopped{};
    // A failure of the file itself is told as such, not as bad media.
    if (ioError_)
        std::rethrow_exception(std::exchange(ioError_, nullptr));
    EInOutError error(platform::InOutCode::ReadError,
                      InvalidMediaMessage(name_, doing.isEmpty() ? ErrorText(averror) : doing));
    error.SetDetails(name_.Display());
    throw error;
}

qint64 Reader::Consumed() const { return ctx_ && ctx_->pb ? avio_tell(ctx_->pb) : 0; }

StreamShape Reader::Shape(int streamIndex) const
{
    const AVStream *st = ctx_->streams[streamIndex];
    const AVCodecParameters *par = st->codecpar;
    StreamShape shape;
    shape.type = par->codec_type;
    shape.codec = par->codec_id;
    if (shape.type == AVMEDIA_TYPE_VIDEO) {
        shape.width = par->width;
        shape.height = par->height;
        shape.rate = st->r_frame_rate.num > 0 ? st->r_frame_rate : st->avg_frame_rate;
    } else {
        shape.sampleRate = par->sample_rate;
        shape.channels = par->ch_layout.nb_channels;
    }
    return shape;
}

bool Reader::Next(AVPacket *packet)
{
    if (!held_.empty()) {
        av_packet_unref(packet);
        av_packet_move_ref(packet, held_.front());
        av_packet_free(&held_.front());
        held_.pop_front();
    } else {
        const int err = av_read_frame(ctx_, packet);
        if (err == AVERROR_EOF)
            return false;
        if (err < 0)
            Fail(err, QString());
    }
    Retime(packet);
    return true;
}

int Reader::ReadPacket(void *opaque, uint8_t *buffer, int size)
{
    auto *self = static_cast<Reader *>(opaque);
    // No exception may pass through FFmpeg's C frames: keep it for later.
    try {
        const qint64 got = self->file_->Read(reinterpret_cast<char *>(buffer), size);
        return got == 0 ? AVERROR_EOF : int(got);
    } catch (...) {
        self->ioError_ = std::current_exception();
        return AVERROR(EIO);
    }
}

int64_t Reader::Seek(void *opaque, int64_t offset, int whence)
{
    auto *self = static_cast<Reader *>(opaque);
    try {
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return self->size_;
        case SEEK_SET: return self->file_->Seek(offset);
        case SEEK_CUR: return self->file_->Seek(self->file_->Position() + offset);
        case SEEK_END: return self->file_->Seek(self->size_ + offset);
        default: return AVERROR(EINVAL);
        }
    } catch (...) {
        self->ioError_ = std::current_exception();
        return AVERROR(EIO);
    }
}

QString CodecWords(AVCodecID codec)
{
    switch (codec) {
    case AV_CODEC_ID_MPEG1VIDEO: return QStringLiteral("MPEG-1");
    case AV_CODEC_ID_MPEG2VIDEO: return QStringLiteral("MPEG-2");
    case AV_CODEC_ID_MPEG4: return QStringLiteral("MPEG-4");
    case AV_CODEC_ID_H264: return QStringLiteral("H.264");
    case AV_CODEC_ID_HEVC: return QStringLiteral("H.265");
    case AV_CODEC_ID_MP1: return QStringLiteral("MP1");
    case AV_CODEC_ID_MP2: return QStringLiteral("MP2");
    case AV_CODEC_ID_MP3: return QStringLiteral("MP3");
    case AV_CODEC_ID_AC3: return QStringLiteral("AC-3");
    case AV_CODEC_ID_PCM_DVD: return QStringLiteral("LPCM");
    case AV_CODEC_ID_OPUS: return QStringLiteral("Opus");
    case AV_CODEC_ID_VORBIS: return QStringLiteral("Vorbis");
    default: {
        const AVCodecDescriptor *d = avcodec_descriptor_get(codec);
        return d ? QString::fromLatin1(d->name).toUpper() : QStringLiteral("unknown");
    }
    }
}

QString RateWords(AVRational rate)
{
    return rate.num > 0 && rate.den > 0 ? DecimalWords(av_q2d(rate)) : QStringLiteral("?");
}

QString SampleRateWords(int hz) { return DecimalWords(hz / 1000.0) + QStringLiteral(" kHz"); }

QString ChannelWords(int channels)
{
    switch (channels) {
    case 1: return QStringLiteral("mono");
    case 2: return QStringLiteral("stereo");
    default: return QStringLiteral("%1 channels").arg(channels);
    }
}

} // namespace app::media
