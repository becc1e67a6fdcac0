// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the one-movie join asks of its inputs' formats: what each holds, how
// it differs from the first input in words, and the writer (muxer) that
// fits the first. Used inside the media module only.
#include "core/MpegAudio.h"
#include "media/MediaReader.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace app::media {

// What an input holds, as far as one stream must agree on it: the format
// and the shape of each stream the join copies, in order.
struct Layout {
    QString format;
    std::vector<StreamShape> shapes;
    friend bool operator==(const Layout &, const Layout &);
};
Layout LayoutOf(const Reader &reader);

// For each stream of the first input's layout, the index into input's
// shapes of the stream that continues it: streams are matched by kind, and
// by order within their kind (-1 where input has no stream left of it).
std::vector<int> MapByKind(const std::vector<StreamShape> &input, const std::vector<StreamShape> &first);

// How an input's layout differs from the first input's, in words ("is
// 352×288 at 25 fps; the first file is 352×240 at 29.97 fps"); empty when
// one stream can carry both.
QString Difference(const Layout &input, const Layout &first);

// "an MPEG program stream", "MPEG audio", ...
QString KindWords(const QString &format);

// The muxer that fits the first input written to output, or empty when the
// join takes none.
QByteArray MuxerFor(const Layout &first, const platform::FileName &output);

// An MPEG audio packet that is a sound frame, as the join writes them:
// anything else (a header frame, a tag the demuxer let through) is left
// out, so that the count in the output's header is the frames it holds.
std::optional<mpa::FrameHeader> SoundFrame(const AVPacket *packet);

} // namespace app::media
