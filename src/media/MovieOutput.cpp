// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MovieOutput.h"

#include "core/MovieJoin.h"
#include "core/PathRules.h"

#include <algorithm>
#include <cstring>

namespace app::media {

using platform::EInOutError;
using platform::FileName;

namespace {

// The program stream writers flush after every pack of 2 KiB; gathered
// here, the file gets few, large writes.
constexpr int WriteBufferSize = 256 << 10;
// A tag is copied in pieces of this size, however large it says it is.
constexpr qint64 TagPiece = 64 << 10;

// The tags of a file or track, but for the ones that describe it alone
// (its length, the program that wrote it), which the muxer writes anew.
void CopyTags(AVDictionary **to, const AVDictionary *from)
{
    const AVDictionaryEntry *tag = nullptr;
    while ((tag = av_dict_get(from, "", tag, AV_DICT_IGNORE_SUFFIX)))
        if (QByteArray(tag->key).toUpper() != "DURATION" && QByteArray(tag->key).toUpper() != "ENCODER")
            av_dict_set(to, tag->key, tag->value, 0);
}

// The picture buffer (VBV) an MPEG video stream needs, which the program
// stream writer declares for it: the input's own, where the demuxer gives
// it (MPEG-2), else the size in its MPEG-1 sequence header. Without one the
// writer declares 230 KB, five times a video CD player's buffer.
void KeepBufferSize(const AVStream &in, AVStream &out)
{
    std::size_t givenBytes = 0;
    const uint8_t *given = av_stream_get_side_data(&in, AV_PKT_DATA_CPB_PROPERTIES, &givenBytes);
    const AVCodecParameters &par = *in.codecpar;
    const uint8_t *header = par.extradata;
    const bool mpeg1 = par.codec_id == AV_CODEC_ID_MPEG1VIDEO && par.extradata_size >= 12 && header[0] == 0 &&
                       header[1] == 0 && header[2] == 1 && header[3] == 0xB3;
    if (!given && !mpeg1)
        return;
    std::size_t size = 0;
    AVCPBProperties *props = av_cpb_properties_alloc(&size);
    if (!props)
        throw std::bad_alloc();
    if (given) {
        std::memcpy(props, given, std::min(size, givenBytes));
    } else {
        props->buffer_size = ((header[10] & 0x1F) << 5 | header[11] >> 3) * 16 * 1024; // in units of 16 kbit
        props->max_bitrate = par.bit_rate; // with these, the writer reckons the stream's rate from here
    }
    if (av_stream_add_side_data(&out, AV_PKT_DATA_CPB_PROPERTIES, reinterpret_cast<uint8_t *>(props), size) < 0) {
        av_free(props);
        throw std::bad_alloc();
    }
}

} // namespace

MovieOutput::MovieOutput(platform::File file, const FileName &name, const QByteArray &muxer)
    : name_(name), file_(std::move(file)), muxer_(muxer)
{
    try {
        const AVOutputFormat *format = av_guess_format(muxer.constData(), nullptr, nullptr);
        if (!format || avformat_alloc_output_context2(&ctx_, format, nullptr, nullptr) < 0 || !ctx_)
            throw EInOutError(platform::InOutCode::ReadError,
                              QStringLiteral("Write error: no %1 writer").arg(QString::fromLatin1(muxer)));
        auto *buffer = static_cast<unsigned char *>(av_malloc(WriteBufferSize));
        // Matroska goes back to write its length and its index (cues).
        const bool seeks = muxer == "matroska" || muxer == "webm";
        io_ = buffer ? avio_alloc_context(buffer, WriteBufferSize, 1, this, nullptr, &MovieOutput::WritePacket,
                                          seeks ? &MovieOutput::SeekOutput : nullptr)
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

MovieOutput::~MovieOutput() { Release(); }

void MovieOutput::Release() noexcept
{
    if (ctx_)
        avformat_free_context(ctx_);
    ctx_ = nullptr;
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

void MovieOutput::Check(int err)
{
    if (error_)
        std::rethrow_exception(std::exchange(error_, nullptr));
    if (err < 0) {
        EInOutError error(
            platform::InOutCode::ReadError,
            QStringLiteral("Write error: %1 (%2)").arg(QString::fromUtf8(name_.LastPart()), ErrorText(err)));
        error.SetDetails(name_.Display());
        throw error;
    }
}

void MovieOutput::Start(const Reader &first, const FirstInput &head)
{
    const AVFormatContext *in = first.Context();
    for (int index : first.Picked()) {
        AVStream *st = avformat_new_stream(ctx_, nullptr);
        if (!st)
            throw std::bad_alloc();
        Check(avcodec_parameters_copy(st->codecpar, in->streams[index]->codecpar));
        // Matroska to Matroska keeps its tags (raw pictures need theirs); other
        // muxers pick their own.
        if (muxer_ != "matroska")
            st->codecpar->codec_tag = 0;
        st->time_base = in->streams[index]->time_base;
        st->disposition = in->streams[index]->disposition;
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            KeepBufferSize(*in->streams[index], *st);
        if (muxer_ == "matroska" || muxer_ == "webm")
            CopyTags(&st->metadata, in->streams[index]->metadata); // names and languages of tracks
    }
    if (muxer_ == "matroska" || muxer_ == "webm") {
        CopyTagsAndChapters(*in);
        // The timeline starts every stream at 0 or later; only Opus's priming
        // lies before, and the muxer carries that as the track's codec delay.
        // Shifting every track to make it positive would move the pictures.
        ctx_->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
    }
    AVDictionary *options = nullptr;
    if (muxer_ == "mpegts" && (TypeOf(name_) == "MTS" || TypeOf(name_) == "M2TS"))
        av_dict_set(&options, "mpegts_m2ts_mode", "1", 0); // 192-byte packets, each with its arrival time
    if (muxer_ == "mp3") {
        av_dict_set(&options, "id3v2_version", "0", 0);
        av_dict_set(&options, "write_xing", "0", 0);
    }
    // A video CD's sectors hold packs of 2324 bytes (a DVD's, the writer's
    // own 2048). Left to itself, the writer would make the mux rate up from
    // the streams' bitrates, which MPEG-2 video in a program stream lacks.
    if (muxer_ == "vcd" || muxer_ == "svcd")
        av_dict_set(&options, "packetsize", "2324", 0);
    if (head.muxRate > 0)
        av_dict_set_int(&options, "muxrate", head.muxRate, 0);
    const int err = avformat_write_header(ctx_, &options);
    av_dict_free(&options);
    if (err < 0)
        file_.Discard(); // a writer that cannot start leaves the old output as it was
    Check(err);
    if (head.tagSource && head.tagBytes > 0)
        CopyTag(*head.tagSource, head.tagBytes);
    if (muxer_ == "mp3" && head.firstFrame) {
        model_ = head.firstFrame;
        lame_ = head.lameTag;
        endPadding_ = head.endPadding;
        headerAt_ = avio_tell(io_);
        const QByteArray standIn = HeaderFrame(0); // as long as the real one
        avio_write(io_, reinterpret_cast<const unsigned char *>(standIn.constData()), int(standIn.size()));
    }
}

void MovieOutput::CopyTagsAndChapters(const AVFormatContext &first)
{
    CopyTags(&ctx_->metadata, first.metadata);
    if (first.nb_chapters == 0)
        return;
    ctx_->chapters = static_cast<AVChapter **>(av_calloc(first.nb_chapters, sizeof(AVChapter *)));
    if (!ctx_->chapters)
        throw std::bad_alloc();
    for (unsigned c = 0; c < first.nb_chapters; ++c) {
        auto *chapter = static_cast<AVChapter *>(av_mallocz(sizeof(AVChapter)));
        if (!chapter)
            throw std::bad_alloc();
        ctx_->chapters[ctx_->nb_chapters++] = chapter;
        const AVChapter &from = *first.chapters[c];
        chapter->id = from.id;
        chapter->time_base = from.time_base;
        chapter->start = from.start;
        chapter->end = from.end;
        av_dict_copy(&chapter->metadata, from.metadata, 0);
    }
}

void MovieOutput::CopyTag(platform::File &source, qint64 bytes)
{
    const qint64 at = source.Position();
    source.Seek(0);
    QByteArray piece(int(std::min(bytes, TagPiece)), Qt::Uninitialized);
    for (qint64 left = bytes; left > 0;) {
        const qint64 got = source.Read(piece.data(), std::min<qint64>(left, piece.size()));
        if (got == 0)
            break; // the file became shorter: the rest of the tag is not there
        avio_write(io_, reinterpret_cast<const unsigned char *>(piece.constData()), int(got));
        Check(io_->error);
        left -= got;
    }
    source.Seek(at); // where its reader left it
}

void MovieOutput::Write(AVPacket *packet)
{
    if (model_) {
        const auto frame = mpa::ParseHeader(packet->data, packet->size);
        frameSizes_.push_back(uint16_t(packet->size));
        constantBitrate_ = constantBitrate_ && frame && frame->bitrate == model_->bitrate;
        if (lame_)
            musicCrcs_.push_back(
                mpa::Crc16(packet->data, std::size_t(packet->size), musicCrcs_.empty() ? 0 : musicCrcs_.back()));
    }
    Check(av_interleaved_write_frame(ctx_, packet));
}

int MovieOutput::WritePacket(void *opaque, uint8_t *data, int size)
{
    auto *self = static_cast<MovieOutput *>(opaque);
    try {
        self->pending_.append(reinterpret_cast<const char *>(data), size);
        if (self->pending_.size() >= WriteBufferSize)
            self->WritePending();
        return size;
    } catch (...) {
        self->error_ = std::current_exception();
        return AVERROR(EIO);
    }
}

int64_t MovieOutput::SeekOutput(void *opaque, int64_t offset, int whence)
{
    auto *self = static_cast<MovieOutput *>(opaque);
    try {
        self->WritePending();
        if (whence == AVSEEK_SIZE)
            return self->file_.Size();
        if ((whence & ~AVSEEK_FORCE) != SEEK_SET)
            return AVERROR(EINVAL);
        return self->file_.Seek(offset);
    } catch (...) {
        self->error_ = std::current_exception();
        return AVERROR(EIO);
    }
}

void MovieOutput::WritePending()
{
    file_.WriteAll(pending_.constData(), pending_.size());
    pending_.clear();
}

QByteArray MovieOutput::HeaderFrame(std::size_t frames) const
{
    frames = std::min(frames, frameSizes_.size());
    const std::vector<uint16_t> sizes(frameSizes_.begin(), frameSizes_.begin() + std::ptrdiff_t(frames));
    std::optional<mpa::LameTag> lame = lame_;
    if (lame) {
        // The first input's delay stays; the padding is the last input's
        // where the output ends with it, and none where a stop or a
        // failure ended it earlier.
        lame->padding = finished_ && frames == frameSizes_.size() ? endPadding_ : 0;
        lame->musicCrc = frames > 0 ? musicCrcs_[frames - 1] : 0;
    }
    return mpa::XingFrame(*model_, sizes, constantBitrate_, lame);
}

void MovieOutput::WriteHeaderFrame(std::size_t frames)
{
    const QByteArray frame = HeaderFrame(frames);
    try {
        file_.Seek(headerAt_);
    } catch (const EInOutError &) {
        return; // no file to go back in (a device): its stand-in stays
    }
    file_.WriteAll(frame.constData(), frame.size());
}

void MovieOutput::EndStream()
{
    Check(av_write_trailer(ctx_));
    avio_flush(io_);
    Check(io_->error);
    WritePending();
    if (model_)
        WriteHeaderFrame(frameSizes_.size());
}

void MovieOutput::Finish()
{
    finished_ = true;
    EndStream();
    file_.Close();
}

void MovieOutput::RecountAfterFailure() noexcept
{
    if (!model_ || !file_.IsOpen())
        return;
    try {
        // The frames whole in the file, behind the tag and the header frame.
        const qint64 headerBytes = HeaderFrame(0).size();
        qint64 room = file_.Size() - headerAt_ - headerBytes;
        if (room < 0)
            return; // the header frame itself is not all there
        std::size_t frames = 0;
        while (frames < frameSizes_.size() && room >= frameSizes_[frames])
            room -= frameSizes_[frames++];
        WriteHeaderFrame(frames);
    } catch (...) {
        // The file keeps its stand-in, which counts no frame.
    }
}

} // namespace app::media
