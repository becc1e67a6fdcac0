// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Mp4Index.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace app::mp4 {

using iso::BadBox;
using iso::Box;
using iso::BoxesIn;
using iso::Cursor;
using iso::Writer;

namespace {

constexpr quint64 MaxSamples = 0xFFFFFFFFu;

QString LongerThanAnyFilmText() { return QStringLiteral("together the chapters last longer than any film"); }

// A new 'tkhd', 'mdhd' or 'mvhd' body with another duration (and, given
// one, another time scale, the first field of 'mvhd'). These hold the
// creation and modification times, then fields (32 bits each) counts of
// other fields, then the duration; the times and duration have 64 bits in
// version 1, which the box takes on where the duration needs it.
void WriteWithDuration(Writer &out, const Box &box, int fields, quint64 duration, quint32 timescale = 0)
{
    Cursor c(box.body, box.type);
    const quint8 version = c.U8();
    const quint32 flags = c.U24();
    const bool wideIn = version == 1;
    const bool wideOut = wideIn || duration > 0xFFFFFFFFu;
    const quint64 created = c.Sized(wideIn), modified = c.Sized(wideIn);
    out.BeginFull(box.type, wideOut ? 1 : 0, flags);
    out.Sized(wideOut, created);
    out.Sized(wideOut, modified);
    for (int i = 0; i < fields; ++i) {
        const quint32 field = c.U32();
        out.U32(i == 0 && timescale ? timescale : field); // a movie's time scale may change
    }
    c.Sized(wideIn);
    out.Sized(wideOut, duration);
    out.Bytes(c.Bytes(c.Left()));
    out.End();
}

// Appends the values of runs, merging equal neighbours.
void AppendRuns(std::vector<Run> &to, const std::vector<Run> &runs)
{
    for (const Run &r : runs) {
        if (r.count == 0)
            continue;
        if (!to.empty() && to.back().value == r.value)
            to.back().count += r.count;
        else
            to.push_back(r);
    }
}

// The track of all chapters' samples, each chapter cut as the timeline says
// (samples left out at its ends, the duration of its last one changed):
// durations, composition offsets, sizes, sync samples, dependencies, chunks
// and sample groups, one after the other.
SampleTable JoinedTable(const std::vector<const SampleTable *> &whole, const std::vector<ChapterCut> &cuts)
{
    std::vector<SampleTable> cut;
    std::vector<const SampleTable *> parts;
    for (std::size_t k = 0; k < whole.size(); ++k) {
        const SampleTable &t = *whole[k];
        const quint64 left = t.count - std::min(t.count, cuts[k].dropFirst + cuts[k].dropLast);
        cut.push_back(cuts[k].dropFirst || cuts[k].dropLast ? t.Range(cuts[k].dropFirst, left) : t);
    }
    for (const SampleTable &t : cut)
        parts.push_back(&t);
    SampleTable joined;
    const auto any = [&](auto has) { return std::any_of(parts.begin(), parts.end(), has); };
    const bool offsets = any([](const SampleTable *t) { return !t->offsets.empty(); });
    const bool sync = any([](const SampleTable *t) { return t->sync.has_value(); });
    const bool dependencies = std::all_of(parts.begin(), parts.end(), [](const SampleTable *t) {
        return t->count == 0 || quint64(t->dependencies.size()) == t->count;
    });
    bool constant = parts.front()->constantSize != 0;
    for (const SampleTable *t : parts)
        constant = constant && (t->count == 0 || t->constantSize == parts.front()->constantSize);
    joined.constantSize = constant ? parts.front()->constantSize : 0;
    if (sync)
        joined.sync.emplace();

    for (std::size_t k = 0; k < parts.size(); ++k) {
        const SampleTable &t = *parts[k];
        if (t.count == 0)
            continue;
        const quint64 first = joined.count;
        joined.count += t.count;
        if (joined.count > MaxSamples || (!constant && joined.count > quint64(std::numeric_limits<int>::max())))
            throw BadBox(QStringLiteral("the joined track would hold more samples than its table can count"));
        std::vector<Run> durations = t.durations;
        while (!durations.empty() && durations.back().count == 0)
            durations.pop_back();
        if (cuts[k].lastShift != 0 && !durations.empty()) {
            Run last = durations.back();
            durations.back().count -= 1;
            last.count = 1;
            last.value += cuts[k].lastShift;
            durations.push_back(last);
        }
        AppendRuns(joined.durations, durations);
        if (offsets) {
            joined.offsetsVersion = std::max(joined.offsetsVersion, t.offsetsVersion);
            AppendRuns(joined.offsets, t.offsets.empty() ? std::vector<Run>{{t.count, 0}} : t.offsets);
        }
        if (!constant)
            for (quint64 i = 0; i < t.count; ++i)
                joined.sizes.push_back(quint32(t.SizeOf(i)));
        if (sync && t.sync)
            for (const quint32 s : *t.sync)
                joined.sync->push_back(quint32(first + s));
        else if (sync)
            for (quint64 i = 1; i <= t.count; ++i)
                joined.sync->push_back(quint32(first + i));
        if (dependencies)
            joined.dependencies += t.dependencies;
        joined.chunks.insert(joined.chunks.end(), t.chunks.begin(), t.chunks.end());
    }
    for (const Run &r : joined.offsets)
        if (r.value < 0)
            joined.offsetsVersion = 1;

    // A kind of sample group is kept where every chapter describes its
    // groups alike; each chapter's samples outside any group fill its end.
    for (const SampleGroup &group : parts.front()->groups) {
        SampleGroup kept = group;
        kept.runs.clear();
        bool alike = true;
        for (const SampleTable *t : parts) {
            const auto same = std::find_if(t->groups.begin(), t->groups.end(), [&](const SampleGroup &g) {
                return g.type == group.type && g.descriptions == group.descriptions && g.version == group.version &&
                       g.parameter == group.parameter;
            });
            if (same == t->groups.end()) {
                alike = t->count == 0;
                if (!alike)
                    break;
                continue;
            }
            quint64 covered = 0;
            for (const auto &[count, index] : same->runs) {
                const quint64 n = std::min<quint64>(count, t->count - covered);
                if (n > 0)
                    kept.runs.emplace_back(n, index);
                covered += n;
            }
            if (covered < t->count)
                kept.runs.emplace_back(t->count - covered, 0);
        }
        if (alike)
            joined.groups.push_back(std::move(kept));
    }
    return joined;
}

void WriteRuns(Writer &out, FourCC type, quint8 version, const std::vector<Run> &runs)
{
    out.BeginFull(type, version, 0);
    out.U32(quint32(runs.size()));
    for (const Run &r : runs) {
        out.U32(quint32(r.count));
        out.U32(quint32(r.value));
    }
    out.End();
}

// The sample table boxes of a joined track, after its sample descriptions.
void WriteSampleTable(Writer &out, const SampleTable &t, qint64 base, bool wide)
{
    WriteRuns(out, Tag("stts"), 0, t.durations);
    if (!t.offsets.empty())
        WriteRuns(out, Tag("ctts"), t.offsetsVersion, t.offsets);
    if (t.sync) {
        out.BeginFull(Tag("stss"), 0, 0);
        out.U32(quint32(t.sync->size()));
        for (const quint32 s : *t.sync)
            out.U32(s);
        out.End();
    }
    if (!t.dependencies.isEmpty()) {
        out.BeginFull(Tag("sdtp"), 0, 0);
        out.Bytes(t.dependencies);
        out.End();
    }
    // One entry for each run of chunks alike.
    out.BeginFull(Tag("stsc"), 0, 0);
    std::vector<std::size_t> firsts;
    for (std::size_t i = 0; i < t.chunks.size(); ++i)
        if (i == 0 || t.chunks[i].samples != t.chunks[i - 1].samples ||
            t.chunks[i].description != t.chunks[i - 1].description)
            firsts.push_back(i);
    out.U32(quint32(firsts.size()));
    for (const std::size_t i : firsts) {
        out.U32(quint32(i + 1));
        out.U32(t.chunks[i].samples);
        out.U32(t.chunks[i].description);
    }
    out.End();
    out.BeginFull(Tag("stsz"), 0, 0);
    out.U32(t.constantSize);
    out.U32(quint32(t.count));
    if (t.constantSize == 0)
        for (const quint32 s : t.sizes)
            out.U32(s);
    out.End();
    std::vector<qint64> offsets;
    offsets.reserve(t.chunks.size());
    for (const Chunk &c : t.chunks)
        offsets.push_back(c.offset);
    iso::WriteChunkOffsets(out, offsets, base, wide);
    for (const SampleGroup &group : t.groups) {
        out.Bytes(group.descriptions);
        out.BeginFull(Tag("sbgp"), group.version, 0);
        out.U32(group.type);
        if (group.version == 1)
            out.U32(group.parameter);
        out.U32(quint32(group.runs.size()));
        for (const auto &[count, index] : group.runs) {
            out.U32(quint32(count));
            out.U32(index);
        }
        out.End();
    }
}

// A joined track, ready to be written.
struct JoinedTrack {
    TrackTimeline timeline;
    SampleTable table;
    qint64 movieDuration = 0; // in the movie's scale
    bool edits = false;       // written with an edit list
};

// The edit list of segments, their durations in the movie's scale: each
// boundary is rounded once, so that rounding never adds up along the list.
void WriteEdits(Writer &out, const std::vector<Segment> &segments, qint64 trackScale, qint64 movieScale)
{
    std::vector<std::pair<qint64, qint64>> entries; // duration, media time
    qint64 end = 0, shownEnd = 0;
    bool wide = false;
    for (const Segment &s : segments) {
        end += s.duration;
        const qint64 boundary = Rescale(end, trackScale, movieScale);
        entries.emplace_back(boundary - shownEnd, s.mediaTime);
        wide = wide || boundary - shownEnd > 0xFFFFFFFFLL || s.mediaTime > 0x7FFFFFFFLL;
        shownEnd = boundary;
    }
    out.Begin(Tag("edts"));
    out.BeginFull(Tag("elst"), wide ? 1 : 0, 0);
    out.U32(quint32(entries.size()));
    for (const auto &[duration, mediaTime] : entries) {
        out.Sized(wide, quint64(duration));
        out.Sized(wide, quint64(mediaTime));
        out.U32(0x10000);
    }
    out.End();
    out.End();
}

// Copies the boxes of a container, writing through `rewrite` those it
// handles (it returns false for the others, which are copied as they are).
template <typename Rewrite>
void CopyContainer(Writer &out, const Box &box, Rewrite rewrite)
{
    out.Begin(box.type);
    for (const Box &child : BoxesIn(box.body))
        if (!rewrite(child))
            out.Bytes(child.whole);
    out.End();
}

void WriteTrack(Writer &out, const Box &trak, const Track &first, const JoinedTrack &joined, qint64 movieScale,
                qint64 base, bool wide)
{
    const auto sampleTable = [&](const Box &stbl) {
        out.Begin(stbl.type);
        for (const Box &child : BoxesIn(stbl.body))
            if (child.type == Tag("stsd"))
                out.Bytes(child.whole);
        WriteSampleTable(out, joined.table, base, wide);
        out.End();
    };
    CopyContainer(out, trak, [&](const Box &child) {
        if (child.type == Tag("tkhd")) {
            WriteWithDuration(out, child, 2, quint64(joined.movieDuration));
            if (joined.edits && !first.edits)
                WriteEdits(out, joined.timeline.segments, first.timescale, movieScale);
        } else if (child.type == Tag("edts")) {
            if (joined.edits)
                WriteEdits(out, joined.timeline.segments, first.timescale, movieScale);
        } else if (child.type == Tag("mdia")) {
            CopyContainer(out, child, [&](const Box &media) {
                if (media.type == Tag("mdhd"))
                    WriteWithDuration(out, media, 1, quint64(joined.table.Duration()));
                else if (media.type == Tag("minf"))
                    CopyContainer(out, media, [&](const Box &info) {
                        if (info.type != Tag("stbl"))
                            return false;
                        sampleTable(info);
                        return true;
                    });
                else
                    return false;
                return true;
            });
        } else {
            return false;
        }
        return true;
    });
}

} // namespace

std::size_t ReferenceTrack(const Movie &movie)
{
    for (const FourCC handler : {Tag("vide"), Tag("soun")})
        for (std::size_t i = 0; i < movie.tracks.size(); ++i)
            if (movie.tracks[i].handler == handler)
                return i;
    return 0;
}

Seam SeamOf(const Track &track)
{
    if (track.handler == Tag("tmcd") || track.Format() == Tag("tmcd"))
        return Seam::Once;
    return track.handler == Tag("soun") ? Seam::Sound : Seam::Stretch;
}

QByteArray JoinedIndex(const std::vector<IndexChapter> &chapters, qint64 base, bool wide)
{
    const Movie &first = *chapters.front().movie;
    const std::size_t reference = ReferenceTrack(first);
    // Each chapter's tracks as the timeline takes them.
    const auto pieces = [&](std::size_t track) {
        std::vector<ChapterPiece> list;
        for (const IndexChapter &chapter : chapters) {
            const Track &whole = chapter.movie->tracks[track];
            const SampleTable &t = chapter.tables[track];
            ChapterPiece piece;
            piece.mediaDuration = t.Duration();
            piece.samples = t.count;
            piece.presentationEnd = t.PresentationEnd();
            piece.lastSampleDuration = t.durations.empty() ? 0 : t.durations.back().value;
            piece.frameDuration = t.durations.empty() ? 0 : t.durations.front().value;
            piece.uniformFrames = !t.durations.empty();
            for (std::size_t r = 0; r < t.durations.size(); ++r) {
                const Run &run = t.durations[r];
                const bool lastOne = r + 1 == t.durations.size() && run.count == 1;
                piece.uniformFrames = piece.uniformFrames && (run.value == piece.frameDuration ||
                                                              (lastOne && run.value < piece.frameDuration));
            }
            piece.segments =
                SegmentsOf(whole.edits, chapter.movie->timescale, whole.timescale, whole.samples.PresentationEnd());
            if (t.count < whole.samples.count)
                piece.segments = SegmentsBefore(piece.segments, piece.presentationEnd);
            list.push_back(std::move(piece));
        }
        return list;
    };
    const std::vector<qint64> starts = ChapterStarts(pieces(reference));
    const qint64 referenceScale = first.tracks[reference].timescale;
    // The movie's clock ticks with every track's where it can, so that each
    // edit ends exactly between two samples, as players decide which samples
    // an edit shows by its end.
    qint64 movieScale = first.timescale;
    for (const Track &track : first.tracks)
        if (movieScale <= 0x7FFFFFFF)
            movieScale = std::lcm(movieScale, track.timescale);
    if (movieScale > 0x7FFFFFFF)
        movieScale = first.timescale;

    std::vector<JoinedTrack> joined(first.tracks.size());
    for (std::size_t i = 0; i < joined.size(); ++i) {
        const Track &track = first.tracks[i];
        const Seam seam = SeamOf(track);
        JoinedTrack &j = joined[i];
        j.timeline = LayOut(pieces(i), seam, track.timescale, starts, referenceScale);
        std::vector<const SampleTable *> parts;
        for (const IndexChapter &chapter : chapters)
            if (seam != Seam::Once || parts.empty())
                parts.push_back(&chapter.tables[i]);
        j.table = JoinedTable(parts, j.timeline.cuts);
        // Chapters each within a film's length may still add up beyond what
        // any reader, this one too, takes from the joined index.
        if (LongerThanAnyFilm(j.table.Duration()) || LongerThanAnyFilm(j.table.PresentationEnd()))
            throw BadBox(LongerThanAnyFilmText());
        // Without an edit list the media plays from its start as it is.
        const std::vector<Segment> &s = j.timeline.segments;
        j.edits = track.edits || s.size() > 1 || (s.size() == 1 && s.front().mediaTime != 0);
    }
    const auto lengthsIn = [&](qint64 scale) {
        qint64 longest = 0;
        for (std::size_t i = 0; i < joined.size(); ++i) {
            joined[i].movieDuration = Rescale(joined[i].timeline.Duration(), first.tracks[i].timescale, scale);
            longest = std::max(longest, joined[i].movieDuration);
        }
        return longest;
    };
    // The finer clock may tick too often for the film's length to be told;
    // then the first chapter's own does.
    qint64 movieDuration = lengthsIn(movieScale);
    if (LongerThanAnyFilm(movieDuration) && movieScale != first.timescale) {
        movieScale = first.timescale;
        movieDuration = lengthsIn(movieScale);
    }
    if (LongerThanAnyFilm(movieDuration))
        throw BadBox(LongerThanAnyFilmText());

    Writer out;
    const Box moov = BoxesIn(first.moov).front();
    std::size_t track = 0;
    CopyContainer(out, moov, [&](const Box &child) {
        if (child.type == Tag("mvhd")) {
            WriteWithDuration(out, child, 1, quint64(movieDuration), quint32(movieScale));
        } else if (child.type == Tag("trak")) {
            WriteTrack(out, child, first.tracks[track], joined[track], movieScale, base, wide);
            ++track;
        } else {
            return false;
        }
        return true;
    });
    return out.Data();
}

} // namespace app::mp4
