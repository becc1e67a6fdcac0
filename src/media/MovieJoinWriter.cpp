// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/Media.h"

#include "core/MovieJoin.h"

#include "core/MpegAudio.h"
#include "media/MediaReader.h"
#include "platform/File.h"

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>

namespace app {

using media::Reader;
using media::StreamShape;
using platform::EInOutError;
using platform::File;
using platform::FileName;

namespace {

constexpr int WriteBufferSize = 256 << 10;

QString Shown(const FileName &name) { return QString::fromUtf8(name.LastPart()); }

[[noreturn]] void Refuse(const FileName &name, const QString &message)
{
    EMixedFormats error(MovieJoin::MediaErrorCode, message);
    error.SetDetails(name.Display());
    throw error;
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

QString VideoWords(const StreamShape &s)
{
    return QStringLiteral("%1×%2 at %3 fps").arg(s.width).arg(s.height).arg(media::RateWords(s.rate));
}

QString AudioWords(const StreamShape &s)
{
    return QStringLiteral("%1 %2").arg(media::SampleRateWords(s.sampleRate), media::ChannelWords(s.channels));
}

QString CountWords(const std::vector<StreamShape> &shapes)
{
    const auto videos =
        std::count_if(shapes.begin(), shapes.end(), [](const StreamShape &s) { return s.type == AVMEDIA_TYPE_VIDEO; });
    const auto audios = qsizetype(shapes.size()) - videos;
    return QStringLiteral("%1 picture and %2 sound stream%3").arg(videos).arg(audios).arg(audios == 1 ? "" : "s");
}

// How what an input holds differs from the first input, in words; empty
// when one stream can carry both.
QString Difference(const QString &format, const std::vector<StreamShape> &shapes, const QString &firstFormat,
                   const std::vector<StreamShape> &first)
{
    if (format != firstFormat)
        return QStringLiteral("is %1; the first file is %2").arg(KindWords(format), KindWords(firstFormat));
    bool sameKinds = shapes.size() == first.size();
    for (std::size_t k = 0; sameKinds && k < shapes.size(); ++k)
        sameKinds = shapes[k].type == first[k].type;
    if (!sameKinds)
        return QStringLiteral("has %1; the first file has %2").arg(CountWords(shapes), CountWords(first));
    for (std::size_t k = 0; k < shapes.size(); ++k) {
        const StreamShape &s = shapes[k], &f = first[k];
        const bool video = s.type == AVMEDIA_TYPE_VIDEO;
        if (s.codec != f.codec) {
            const QString what = video ? QStringLiteral("%1 video") : QStringLiteral("%1 audio");
            return QStringLiteral("is %1; the first file is %2")
                .arg(what.arg(media::CodecWords(s.codec)), what.arg(media::CodecWords(f.codec)));
        }
        if (video && (s.width != f.width || s.height != f.height || av_cmp_q(s.rate, f.rate) != 0))
            return QStringLiteral("is %1; the first file is %2").arg(VideoWords(s), VideoWords(f));
        if (!video && (s.sampleRate != f.sampleRate || s.channels != f.channels))
            return QStringLiteral("has %1 sound; the first file has %2 sound").arg(AudioWords(s), AudioWords(f));
    }
    return {};
}

std::vector<StreamShape> ShapesOf(const Reader &reader)
{
    std::vector<StreamShape> shapes;
    for (int index : reader.Picked())
        shapes.push_back(reader.Shape(index));
    return shapes;
}

// The muxer that fits the first input, or empty when the join does not take it.
QByteArray MuxerFor(const QString &format, const std::vector<StreamShape> &shapes)
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
    if (format == QLatin1String("mpeg")) {
        if (video && video->codec == AV_CODEC_ID_MPEG1VIDEO && video->width == 352 &&
            (video->height == 240 || video->height == 288) && vcdSound)
            return "vcd";
        if (video && video->codec == AV_CODEC_ID_MPEG2VIDEO &&
            (video->width == 720 || video->width == 704 || video->width == 352) &&
            (video->height == 480 || video->height == 576 || video->height == 240 || video->height == 288) && dvdSound)
            return "dvd";
        return "mpeg";
    }
    if (format == QLatin1String("mpegts"))
        return "mpegts";
    if (format == QLatin1String("mpegvideo") && video && shapes.size() == 1) {
        if (video->codec == AV_CODEC_ID_MPEG2VIDEO)
            return "mpeg2video";
        if (video->codec == AV_CODEC_ID_MPEG1VIDEO)
            return "mpeg1video";
    }
    if (format == QLatin1String("mp3") && !video && shapes.size() == 1) {
        if (shapes[0].codec == AV_CODEC_ID_MP3)
            return "mp3";
        if (shapes[0].codec == AV_CODEC_ID_MP2 || shapes[0].codec == AV_CODEC_ID_MP1)
            return "mp2";
    }
    return {};
}

// The sound frames of an MPEG audio input, in the order the join writes
// them: anything else (a header frame, a tag the demuxer let through) is
// left out, so the count in the output's header is the frames it holds.
std::optional<mpa::FrameHeader> SoundFrame(const AVPacket *packet)
{
    const auto header = mpa::ParseHeader(packet->data, packet->size);
    if (!header || header->frameBytes != packet->size || mpa::IsHeaderFrame(packet->data, packet->size, *header))
        return std::nullopt;
    return header;
}

struct PacketDeleter {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;

Packet NewPacket()
{
    Packet p(av_packet_alloc());
    if (!p)
        throw std::bad_alloc();
    return p;
}

// The output: a muxer writing through the program's safe file writing.
class Writer {
public:
    Writer(File file, const FileName &name, const QByteArray &muxer) : name_(name), file_(std::move(file))
    {
        try {
            const AVOutputFormat *format = av_guess_format(muxer.constData(), nullptr, nullptr);
            if (!format || avformat_alloc_output_context2(&ctx_, format, nullptr, nullptr) < 0 || !ctx_)
                throw EInOutError(MovieJoin::MediaErrorCode,
                                  QStringLiteral("Write error: no %1 writer").arg(QString::fromLatin1(muxer)));
            auto *buffer = static_cast<unsigned char *>(av_malloc(WriteBufferSize));
            io_ = buffer ? avio_alloc_context(buffer, WriteBufferSize, 1, this, nullptr, &Writer::WritePacket, nullptr)
                         : nullptr;
            if (!io_) {
                av_free(buffer);
                throw std::bad_alloc();
            }
            ctx_->pb = io_;
            ctx_->flags |= AVFMT_FLAG_CUSTOM_IO;
            ctx_->flush_packets = 0; // not after every packet, as for outputs it cannot seek in
        } catch (...) {
            Release();
            throw;
        }
    }
    ~Writer() { Release(); }

    AVFormatContext *Context() const { return ctx_; }
    File &Output() { return file_; }

    void Check(int err)
    {
        if (error_)
            std::rethrow_exception(std::exchange(error_, nullptr));
        if (err < 0) {
            EInOutError error(MovieJoin::MediaErrorCode,
                              QStringLiteral("Write error: %1 (%2)").arg(Shown(name_), media::ErrorText(err)));
            error.SetDetails(name_.Display());
            throw error;
        }
    }

    // Ends the stream: everything written is in the file.
    void EndStream()
    {
        Check(av_write_trailer(ctx_));
        avio_flush(io_);
        Check(io_->error);
        WritePending();
    }
    // Ends the stream and puts the file in place.
    void Finish()
    {
        EndStream();
        file_.Close();
    }

private:
    static int WritePacket(void *opaque, uint8_t *data, int size)
    {
        auto *self = static_cast<Writer *>(opaque);
        try {
            // The program stream writers flush after every pack of 2 KiB;
            // gathered here, the file gets few, large writes.
            self->pending_.append(reinterpret_cast<const char *>(data), size);
            if (self->pending_.size() >= WriteBufferSize)
                self->WritePending();
            return size;
        } catch (...) {
            self->error_ = std::current_exception();
            return AVERROR(EIO);
        }
    }

    void WritePending()
    {
        file_.WriteAll(pending_.constData(), pending_.size());
        pending_.clear();
    }

    void Release() noexcept
    {
        if (ctx_)
            avformat_free_context(ctx_);
        ctx_ = nullptr;
        if (io_) {
            av_freep(&io_->buffer);
            avio_context_free(&io_);
        }
    }

    FileName name_;
    File file_;
    AVFormatContext *ctx_ = nullptr;
    AVIOContext *io_ = nullptr;
    std::exception_ptr error_;
    QByteArray pending_; // written bytes not yet handed to the file
};

// Where an input's timeline starts: the earliest first timestamp of the
// streams that are copied.
qint64 StartOf(const Reader &reader)
{
    qint64 start = AV_NOPTS_VALUE;
    for (int index : reader.Picked()) {
        const AVStream *st = reader.Context()->streams[index];
        if (st->start_time == AV_NOPTS_VALUE)
            continue;
        const qint64 s = av_rescale_q(st->start_time, st->time_base, AV_TIME_BASE_Q);
        start = start == AV_NOPTS_VALUE ? s : std::min(start, s);
    }
    if (start == AV_NOPTS_VALUE)
        start = reader.Context()->start_time;
    return start == AV_NOPTS_VALUE ? 0 : start;
}

} // namespace

void media::JoinAsOneMovie(OutputGuard &guard, JoinObserver &observer)
{
    const FileName &output = guard.Output();
    const std::vector<FileName> &names = guard.Inputs();
    if (names.empty())
        throw EInOutError(MovieJoin::MediaErrorCode, QStringLiteral("There is no file to join"));
    // Each input is read twice from the file the guard looked at, kept open
    // between the two where descriptors allow.
    std::vector<File> files(names.size());
    const auto open = [&](int i) -> File & {
        File &file = files[std::size_t(i)];
        if (!file.IsOpen())
            file = guard.OpenInput(i);
        return file;
    };

    // Every input is read as media and compared with the first before the
    // output is touched. An MP3 output's header counts all frames, so the
    // frames of MP3 inputs are counted now.
    QString firstFormat;
    std::vector<StreamShape> firstShapes;
    QByteArray muxer;
    std::optional<mpa::FrameHeader> firstFrame;
    std::vector<uint16_t> frameSizes;
    bool constantBitrate = true;
    for (int i = 0; i < int(names.size()); ++i) {
        const FileName &name = names[std::size_t(i)];
        File &file = open(i);
        guard.CheckInput(i, file, nullptr);
        Reader reader(file, name, true);
        const QString format = reader.Format();
        std::vector<StreamShape> shapes = ShapesOf(reader);
        if (muxer.isEmpty()) {
            firstFormat = format;
            firstShapes = shapes;
            muxer = MuxerFor(format, shapes);
            if (muxer.isEmpty())
                Refuse(name, QStringLiteral("%1 is %2, which cannot be joined as one movie")
                                 .arg(Shown(name), KindWords(format)));
        } else if (const QString how = Difference(format, shapes, firstFormat, firstShapes); !how.isEmpty()) {
            Refuse(name, Shown(name) + QLatin1Char(' ') + how);
        }
        if (muxer == "mp3") {
            const Packet packet = NewPacket();
            while (reader.Next(packet.get())) {
                if (const auto frame = SoundFrame(packet.get())) {
                    if (!firstFrame)
                        firstFrame = frame;
                    constantBitrate = constantBitrate && frame->bitrate == firstFrame->bitrate;
                    frameSizes.push_back(uint16_t(frame->frameBytes));
                }
                av_packet_unref(packet.get());
            }
        }
        if (!guard.KeepsOpen(i))
            file = File();
    }

    QByteArray id3v2;
    if (muxer == "mp3" || muxer == "mp2") {
        platform::File first = platform::File::OpenRead(names.front());
        QByteArray head(10, '\0');
        head.truncate(int(first.Read(head.data(), 10)));
        const qint64 tag = std::min(mpa::Id3v2Length(head), first.Size());
        id3v2 = head.left(int(std::min<qint64>(tag, head.size())));
        if (tag > id3v2.size()) {
            QByteArray rest(tag - id3v2.size(), '\0');
            qint64 got = 0;
            while (got < rest.size()) {
                const qint64 n = first.Read(rest.data() + got, rest.size() - got);
                if (n == 0)
                    break;
                got += n;
            }
            id3v2 += rest.left(got);
        }
    }

    Writer writer(guard.CreateOutput(), output, muxer);
    // A join that fails leaves an output that existed whole.
    struct DropOnFailure {
        File &file;
        int before = std::uncaught_exceptions();
        ~DropOnFailure()
        {
            if (std::uncaught_exceptions() > before)
                OutputGuard::DropIfReplacing(file);
        }
    } dropOnFailure{writer.Output()};
    observer.OutputCreated();
    AVFormatContext *out = writer.Context();

    std::vector<qint64> lastDts, nextDts; // per output stream
    qint64 endUs = 0;                     // where the next input's timeline begins in the output
    const Packet packet = NewPacket();
    for (int i = 0; i < int(names.size()); ++i) {
        File &file = open(i);
        guard.CheckInput(i, file, &writer.Output());
        Reader reader(file, names[std::size_t(i)], true);
        AVFormatContext *in = reader.Context();
        const std::vector<int> &picked = reader.Picked();
        if (i == 0) {
            for (int index : picked) {
                AVStream *st = avformat_new_stream(out, nullptr);
                if (!st)
                    throw std::bad_alloc();
                writer.Check(avcodec_parameters_copy(st->codecpar, in->streams[index]->codecpar));
                st->codecpar->codec_tag = 0;
                st->time_base = in->streams[index]->time_base;
            }
            AVDictionary *options = nullptr;
            if (muxer == "mp3") {
                av_dict_set(&options, "id3v2_version", "0", 0);
                av_dict_set(&options, "write_xing", "0", 0);
            }
            const int err = avformat_write_header(out, &options);
            av_dict_free(&options);
            if (err < 0)
                writer.Output().Discard(); // a writer that cannot start leaves the old output as it was
            writer.Check(err);
            avio_write(out->pb, reinterpret_cast<const unsigned char *>(id3v2.constData()), int(id3v2.size()));
            if (muxer == "mp3" && firstFrame) {
                const QByteArray xing = mpa::XingFrame(*firstFrame, frameSizes, constantBitrate);
                avio_write(out->pb, reinterpret_cast<const unsigned char *>(xing.constData()), int(xing.size()));
            }
            lastDts.assign(picked.size(), AV_NOPTS_VALUE);
            nextDts.assign(picked.size(), AV_NOPTS_VALUE);
        }
        std::vector<int> outIndex(in->nb_streams, -1);
        for (std::size_t k = 0; k < picked.size(); ++k)
            outIndex[std::size_t(picked[k])] = int(k);

        const qint64 size = reader.Size();
        observer.FileStarted(i, size);
        qint64 reported = 0;
        const auto report = [&](qint64 now) {
            now = std::min(now, size);
            if (now <= reported)
                return;
            observer.BlockCopied(i, now - reported);
            reported = now;
            // What was written so far ends as a stream of its own.
            if (observer.StopRequested())
                OutputGuard::Stop(writer.Output(), [&] { writer.EndStream(); });
        };

        const qint64 offsetUs = endUs - StartOf(reader);
        qint64 fileEndUs = endUs;
        while (reader.Next(packet.get())) {
            const int index = packet->stream_index;
            const int k = index < int(outIndex.size()) ? outIndex[std::size_t(index)] : -1;
            if (k < 0 || (muxer == "mp3" && !SoundFrame(packet.get()))) {
                av_packet_unref(packet.get());
                continue;
            }
            const AVRational inBase = in->streams[index]->time_base;
            const qint64 shift = av_rescale_q(offsetUs, AV_TIME_BASE_Q, inBase);
            if (packet->pts != AV_NOPTS_VALUE)
                packet->pts += shift;
            if (packet->dts != AV_NOPTS_VALUE)
                packet->dts += shift;
            const qint64 at = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (at != AV_NOPTS_VALUE)
                fileEndUs = std::max<qint64>(fileEndUs, av_rescale_q(at + packet->duration, inBase, AV_TIME_BASE_Q));

            AVStream *st = out->streams[k];
            av_packet_rescale_ts(packet.get(), inBase, st->time_base);
            // Decoding order must go forward in every stream, also where two
            // inputs meet; a packet that would step back is moved just after
            // the one before it.
            qint64 &last = lastDts[std::size_t(k)];
            qint64 &next = nextDts[std::size_t(k)];
            // A packet without timestamps decodes after the one before it.
            if (packet->dts == AV_NOPTS_VALUE && packet->pts == AV_NOPTS_VALUE)
                packet->dts = next;
            if (packet->dts != AV_NOPTS_VALUE) {
                if (last != AV_NOPTS_VALUE && packet->dts <= last)
                    packet->dts = last + 1;
                if (packet->pts != AV_NOPTS_VALUE && packet->pts < packet->dts)
                    packet->pts = packet->dts;
                last = packet->dts;
                next = packet->duration > 0 ? packet->dts + packet->duration : packet->dts + 1;
            }
            packet->stream_index = k;
            packet->pos = -1;
            writer.Check(av_interleaved_write_frame(out, packet.get()));
            report(reader.Consumed());
        }
        report(size);
        observer.FileFinished(i);
        endUs = fileEndUs;
    }
    writer.Finish();
}

} // namespace app
