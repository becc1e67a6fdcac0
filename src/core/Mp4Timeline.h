// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// When each chapter of a joined MP4 plays, track by track. Chapter k starts
// where chapter k-1 ends, as long as its reference track (the picture, or
// else the sound) lasts; every track of chapter k starts there too. Each
// track's samples are appended as they are; what keeps them in place at the
// seams is said in two ways that players honour:
// - a picture, telemetry or subtitle sample that is a chapter's last lasts
//   until the next chapter starts (its duration changes, not its bytes);
// - sound, whose samples are frames of fixed length, keeps running where it
//   continues across the cut (a camera that recorded on). Sound encoded
//   chapter by chapter, in frames of one length, is cut between whole
//   frames: a chapter's priming is left out but for the one frame its first
//   sound needs to decode, which takes the place of the chapter before's
//   last frame, so that its sound starts within half a frame of its picture.
//   The track then plays on without a break, as every player plays it, and
//   the first chapter's edit list stays the only one. (Edit lists that skip
//   each chapter's priming in place were tried: GStreamer 1.22 stopped the
//   sound halfway, and VLC 3 and mpv 0.35 let it drift.)
//   Other sound is placed by the edit list.
// Times are integers in each track's own time scale.
#include "core/Mp4Movie.h"

#include <optional>
#include <vector>

namespace app::mp4 {

// A stretch of a track's presentation: its media from mediaTime on, or
// nothing (mediaTime -1), for duration.
struct Segment {
    qint64 mediaTime = -1;
    qint64 duration = 0;
    bool Empty() const { return mediaTime < 0; }
    friend bool operator==(const Segment &, const Segment &) = default;
};

// One chapter of one track as its file has it; media times from the
// chapter's own first sample.
struct ChapterPiece {
    qint64 mediaDuration = 0;   // its samples' durations added up
    qint64 presentationEnd = 0; // when its last sample ends being shown
    qint64 lastSampleDuration = 0;
    quint64 samples = 0;
    qint64 frameDuration = 0;      // of its first sample: a sound frame
    bool uniformFrames = false;    // every sample lasts frameDuration, the last one perhaps less
    std::vector<Segment> segments; // its edit list, or its whole media
};

// How a track's chapters meet.
enum class Seam {
    Stretch, // pictures, telemetry, subtitles: the last sample lasts until the next chapter
    Sound,   // runs on where it continues, else placed by the edit list
    Once,    // a timecode: the first chapter's samples, lasting the whole movie
};

// How one chapter's samples go into the joined track.
struct ChapterCut {
    quint64 dropFirst = 0; // samples left out at its start
    quint64 dropLast = 0;  // and at its end
    qint64 lastShift = 0;  // added to the duration of the last sample kept
};

struct TrackTimeline {
    std::vector<Segment> segments; // the joined track's edit list, media times of the joined media
    std::vector<ChapterCut> cuts;  // per chapter
    qint64 Duration() const;       // of the segments
};

// A track's edit list (durations in the movie's scale) as segments in the
// track's scale; without one, the whole media. A segment that ends within one
// movie tick of the media's end is taken to end there, as it was meant to.
std::vector<Segment> SegmentsOf(const std::optional<std::vector<Edit>> &edits, qint64 movieScale, qint64 trackScale,
                                qint64 presentationEnd);

// The segments that show only media before mediaEnd (of a chapter cut short).
std::vector<Segment> SegmentsBefore(const std::vector<Segment> &segments, qint64 mediaEnd);

// When each chapter starts, in the reference track's scale, from that
// track's pieces: n + 1 times, the last being the end of the movie.
std::vector<qint64> ChapterStarts(const std::vector<ChapterPiece> &reference);

// Lays one track's chapters out on the chapter starts (in referenceScale).
TrackTimeline LayOut(const std::vector<ChapterPiece> &pieces, Seam seam, qint64 trackScale,
                     const std::vector<qint64> &starts, qint64 referenceScale);

} // namespace app::mp4
