// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the index ('moov') of an MP4 or QuickTime file says: its tracks, each
// with its time scale, edit list and sample table (when each sample plays,
// how large it is and in which chunk of the file its bytes lie), and where
// the file's media data lies. Read without FFmpeg, with every count and
// offset checked against the bytes there are.
#include "core/IsoBox.h"
#include "platform/File.h"
#include "platform/FileName.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace app::mp4 {

using iso::FourCC;
using iso::Tag;

// count samples that share one value (a duration or a composition offset).
struct Run {
    quint64 count = 0;
    qint64 value = 0;
};

// A stretch of the movie's time: duration (in the movie's time scale) of
// the track's media from mediaTime on (in the track's), or of nothing when
// mediaTime is -1.
struct Edit {
    qint64 duration = 0;
    qint64 mediaTime = 0;
    qint32 rate = 0x10000; // 16.16: 1 plays at normal speed
};

// Samples stored one after another at offset of the file.
struct Chunk {
    qint64 offset = 0;
    quint32 samples = 0;
    quint32 description = 1; // which sample description, from 1
    qint64 bytes = 0;        // the samples' sizes added up
};

// Samples that belong to groups of one kind ('sgpd' describes the groups,
// 'sbgp' which samples belong to which).
struct SampleGroup {
    FourCC type = 0;
    QByteArray descriptions;                       // the 'sgpd' box, whole
    quint8 version = 0;                            // of 'sbgp'
    quint32 parameter = 0;                         // its grouping type parameter (version 1)
    std::vector<std::pair<quint64, quint32>> runs; // samples and their group (0: none)
};

struct SampleTable {
    quint64 count = 0;
    std::vector<Run> durations; // 'stts'
    std::vector<Run> offsets;   // 'ctts'; empty without one
    quint8 offsetsVersion = 0;  // 1 where the offsets are signed
    quint32 constantSize = 0;   // 'stsz' sample size, or 0 where sizes holds each
    std::vector<quint32> sizes;
    std::optional<std::vector<quint32>> sync; // 'stss' sample numbers from 1; none: every sample is one
    QByteArray dependencies;                  // 'sdtp', a byte per sample; empty without one
    std::vector<Chunk> chunks;                // 'stco'/'co64' and 'stsc'
    std::vector<SampleGroup> groups;

    quint64 SizeOf(quint64 sample) const { return constantSize ? constantSize : sizes[sample]; }
    // The sum of the durations.
    qint64 Duration() const;
    // The table of count samples from first on alone; a chunk that holds
    // samples on both sides keeps only those inside.
    SampleTable Range(quint64 first, quint64 count) const;
    // The table of the first `chunks` chunks and their samples alone.
    SampleTable FirstChunks(std::size_t chunks) const;
    // When the last sample ends in presentation: its decoding time, its
    // composition offset and its duration, the latest over all samples.
    qint64 PresentationEnd() const;
};

struct Track {
    quint32 id = 0;
    FourCC handler = 0;                     // 'vide', 'soun', 'tmcd', 'meta', 'text', ...
    qint64 timescale = 0;                   // of its media
    std::optional<std::vector<Edit>> edits; // none without an edit list
    QByteArray descriptions;                // the body of 'stsd'
    SampleTable samples;

    // The format of its first sample description ('avc1', 'mp4a', ...), or 0.
    FourCC Format() const;
};

// Where media data lies in a file: the bodies of its 'mdat' boxes.
struct Range {
    qint64 offset = 0;
    qint64 size = 0;
    qint64 End() const { return offset + size; }
};

struct Movie {
    QByteArray ftyp;              // whole; empty when the file has none
    QByteArray moov;              // whole
    std::vector<QByteArray> tags; // top-level 'udta', 'meta' and 'uuid' boxes, whole
    qint64 timescale = 0;         // of the movie ('mvhd')
    qint64 duration = 0;
    std::vector<Track> tracks;
    std::vector<Range> mediaData;
    bool quickTime = false; // a QuickTime file ('qt  ' brand, or no 'ftyp')
};

// The refusal of an input, as "NAME what": what says how it differs or what
// is wrong with it, in words; the error's details name the whole path.
platform::EInOutError Refusal(const platform::FileName &name, const QString &what);

// Reads the index of file (called name). Throws a Refusal when the
// file is not an MP4 or QuickTime file, has no index (a recording whose
// writer stopped before writing it), is fragmented, or breaks the format.
Movie ReadMovie(platform::File &file, const platform::FileName &name);

// The time value in scale `from` in scale `to`, rounded to the nearest.
qint64 Rescale(qint64 value, qint64 from, qint64 to);

// Whether a time, in any of a file's scales, is beyond any film's: the mark
// of a broken file, which ReadMovie refuses, so no join may write one.
bool LongerThanAnyFilm(qint64 time);

} // namespace app::mp4
