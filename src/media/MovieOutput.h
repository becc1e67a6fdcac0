// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one-movie join's output: a libavformat muxer writing through the
// program's own file (made by the output guard), and for MP3 the first
// input's ID3v2 tag and one length header frame (Xing or Info) that counts
// the frames the file holds. The header is written first as a stand-in and
// written again when the stream ends, stopped or failed, so it never counts
// a frame that is not there. Where the first input has a LAME tag, so has
// the header: gapless players then leave out the first input's encoder
// delay and, once the whole list is written, the last input's padding.
// Used inside the media module only.
#include "core/MpegAudio.h"
#include "media/MediaReader.h"
#include "platform/File.h"

#include <QByteArray>
#include <exception>
#include <optional>
#include <vector>

namespace app::media {

// What the output takes from the first input besides its streams.
struct FirstInput {
    // MP3 and MP2: the tag the output begins with; MP3: the header frame after it.
    platform::File *tagSource = nullptr; // the first input, its tag at its start
    qint64 tagBytes = 0;
    std::optional<mpa::FrameHeader> firstFrame; // the model of the header frame; none: no header frame
    std::optional<mpa::LameTag> lameTag;        // the first input's; none: a header without one
    int endPadding = 0;                         // the last input's padding, which ends the finished output
    // Program streams: the mux rate its packs declare, in bit/s; 0 leaves it to the writer.
    qint64 muxRate = 0;
};

class MovieOutput {
public:
    // file: the output, made by the guard; name: its name, for errors.
    MovieOutput(platform::File file, const platform::FileName &name, const QByteArray &muxer);
    ~MovieOutput();
    MovieOutput(const MovieOutput &) = delete;
    MovieOutput &operator=(const MovieOutput &) = delete;

    platform::File &File() { return file_; }
    AVFormatContext *Context() const { return ctx_; }

    // Streams like the ones the first input's reader picked, then the
    // header; for MP3, the tag and the stand-in header frame.
    void Start(const Reader &first, const FirstInput &head);
    // One packet, its stream and times those of the output; an MP3 packet
    // must be a sound frame.
    void Write(AVPacket *packet);
    // Throws, naming the output, when err is a libavformat failure (or a
    // write failed inside it).
    void Check(int err);

    // Ends the stream: everything written is in the file, and an MP3's
    // header frame counts it. The file stays open.
    void EndStream();
    // The stream ends and the file takes its name.
    void Finish();
    // After a failure: an MP3's header frame counts the frames the file
    // holds, where it can be written at all.
    void RecountAfterFailure() noexcept;

private:
    static int WritePacket(void *opaque, uint8_t *data, int size);
    static int64_t SeekOutput(void *opaque, int64_t offset, int whence);
    void WritePending();
    void CopyTag(platform::File &source, qint64 bytes);
    // Matroska: the first input's tags and chapters.
    void CopyTagsAndChapters(const AVFormatContext &first);
    // The header frame that counts the first `frames` frames written; it is
    // as long for any count, so HeaderFrame(0) is the stand-in.
    QByteArray HeaderFrame(std::size_t frames) const;
    void WriteHeaderFrame(std::size_t frames);
    void Release() noexcept;

    platform::FileName name_;
    platform::File file_;
    QByteArray muxer_;
    AVFormatContext *ctx_ = nullptr;
    AVIOContext *io_ = nullptr;
    std::exception_ptr error_;
    QByteArray pending_; // written bytes not yet handed to the file
    // MP3: where the header frame lies, its model, the frames written.
    qint64 headerAt_ = -1;
    std::optional<mpa::FrameHeader> model_;
    std::vector<uint16_t> frameSizes_;
    bool constantBitrate_ = true;
    // MP3 with a LAME tag: the CRC of the frames written up to each one,
    // the last input's padding, and whether the whole list was written.
    std::optional<mpa::LameTag> lame_;
    std::vector<uint16_t> musicCrcs_;
    int endPadding_ = 0;
    bool finished_ = false;
};

} // namespace app::media
