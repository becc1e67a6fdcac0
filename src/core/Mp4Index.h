// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The index ('moov') of joined MP4 chapters: the first chapter's index with
// every track's samples of all chapters appended, their times laid out by
// Mp4Timeline and their chunk offsets pointing into the joined media data.
// Everything else of the first chapter stays as it is: its tracks and their
// order, handler names, sample descriptions, references and tags.
#include "core/Mp4Movie.h"
#include "core/Mp4Timeline.h"

#include <QByteArray>
#include <vector>

namespace app::mp4 {

// One chapter as it goes into the joined index.
struct IndexChapter {
    const Movie *movie = nullptr;
    // Its tracks' samples with chunk offsets from the start of the joined
    // media data; of a chapter cut short (a join stopped), only the chunks
    // that were copied.
    std::vector<SampleTable> tables;
};

// Which of a chapter's tracks sets the chapter's length: its first picture
// track, else its first sound track, else its first track.
std::size_t ReferenceTrack(const Movie &movie);

// How a track meets itself at the chapters' seams.
Seam SeamOf(const Track &track);

// The joined index; every chunk offset is base (where the joined media data
// starts in the output) plus the chunk's own, written with 64 bits where wide.
// Throws iso::BadBox when the joined tables cannot be written (more samples
// than a table counts).
QByteArray JoinedIndex(const std::vector<IndexChapter> &chapters, qint64 base, bool wide);

} // namespace app::mp4
