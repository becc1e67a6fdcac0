// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the one-movie join and the clip facts share: one input opened with
// libavformat through the program's own file reading (names stay bytes, pipes
// and devices are refused), and the words for what it holds. Used inside the
// media module only; nothing outside it needs FFmpeg's headers.
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/FileName.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QString>
#include <deque>
#include <exception>
#include <functional>
#include <vector>

namespace app::media {

// The parts of a stream that must agree between the files of one movie.
struct StreamShape {
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    AVCodecID codec = AV_CODEC_ID_NONE;
    int width = 0, height = 0;
    AVRational rate{0, 1};
    int sampleRate = 0, channels = 0;
};

// One input, opened and its streams found.
class Reader {
public:
    // Opens and reads the stream information. forJoin leaves out looking at
    // the file's end for its length (the join measures its packets itself),
    // so the file is read front to back once. Throws EInOutError naming the
    // file when it cannot be opened or holds no media libavformat can read.
    Reader(const platform::FileName &name, bool forJoin);
    // The same on a file the caller has opened (name is its name) and keeps
    // open longer than the reader; it is read from its start. While it
    // looks for the streams, it asks stop now and then, and ends with
    // Stopped when that says so.
    Reader(platform::File &file, const platform::FileName &name, bool forJoin, std::function<bool()> stop = nullptr);
    struct Stopped {};
    ~Reader();
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    AVFormatContext *Context() const { return ctx_; }
    const platform::FileName &Name() const { return name_; }
    qint64 Size() const { return size_; }
    platform::FileId Identity() const { return file_->Identity(); }
    // Bytes of the file the demuxer has consumed so far.
    qint64 Consumed() const;
    // The format's short name ("mpeg", "mp3", "mpegvideo", ...).
    QString Format() const { return QString::fromLatin1(ctx_->iformat->name); }

    // Indexes of the streams a join copies: every video stream that is not a
    // cover picture, every audio stream and Matroska's subtitles, in the file's order.
    const std::vector<int> &Picked() const { return picked_; }
    StreamShape Shape(int streamIndex) const;

    // The next packet; false at the end. Throws EInOutError naming the file
    // for a read failure or data that cannot be read.
    bool Next(AVPacket *packet);

private:
    static int ReadPacket(void *opaque, uint8_t *buffer, int size);
    static int64_t Seek(void *opaque, int64_t offset, int whence);
    static int Interrupt(void *opaque);
    void Open(bool forJoin);
    void LearnSoundRates();
    void Retime(AVPacket *packet);
    void Release() noexcept;
    [[noreturn]] void Fail(int averror, const QString &doing);

    platform::FileName name_;
    platform::File owned_; // the file the reader opened itself, if it did
    platform::File *file_;
    qint64 size_ = 0;
    AVIOContext *io_ = nullptr;
    AVFormatContext *ctx_ = nullptr;
    std::vector<int> picked_;
    std::deque<AVPacket *> held_; // read while opening, handed out first by Next
    // A sound stream whose rate came from its ADTS headers: FFmpeg, which
    // did not know the rate while it read, left its frames' times to us.
    struct AdtsClock {
        int stream, rate;
        int64_t lastTold = AV_NOPTS_VALUE, next = AV_NOPTS_VALUE;
    };
    std::vector<AdtsClock> adtsClocks_;
    std::exception_ptr ioError_; // a failure inside a callback, thrown once libavformat returns
    std::function<bool()> stop_;
    bool stopped_ = false;
};

// The message for a file that is not media the join can read.
QString InvalidMediaMessage(const platform::FileName &name, const QString &why);
// FFmpeg's words for an error code.
QString ErrorText(int averror);

// Words for people: "MPEG-1", "MP2", "44.1 kHz", "29.97", "352×240".
QString CodecWords(AVCodecID codec);
QString RateWords(AVRational rate);
QString SampleRateWords(int hz);
QString ChannelWords(int channels);

} // namespace app::media
