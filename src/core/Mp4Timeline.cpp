// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Mp4Timeline.h"

#include <algorithm>
#include <cstdlib>

namespace app::mp4 {

namespace {

qint64 TotalOf(const std::vector<Segment> &segments)
{
    qint64 total = 0;
    for (const Segment &s : segments)
        total += s.duration;
    return total;
}

// Joins neighbours that play on without a break and drops empty stretches
// of no length.
std::vector<Segment> Merged(const std::vector<Segment> &segments)
{
    std::vector<Segment> merged;
    for (const Segment &s : segments) {
        if (s.duration <= 0)
            continue;
        if (!merged.empty()) {
            Segment &last = merged.back();
            const bool bothEmpty = last.Empty() && s.Empty();
            const bool continues = !last.Empty() && !s.Empty() && last.mediaTime + last.duration == s.mediaTime;
            if (bothEmpty || continues) {
                last.duration += s.duration;
                continue;
            }
        }
        merged.push_back(s);
    }
    return merged;
}

// Shortens the segments at their end by excess.
void TrimEnd(std::vector<Segment> &segments, qint64 excess)
{
    while (excess > 0 && !segments.empty()) {
        Segment &last = segments.back();
        if (last.duration > excess) {
            last.duration -= excess;
            return;
        }
        excess -= last.duration;
        segments.pop_back();
    }
}

// The timecode: the first chapter's samples, the last lasting until end.
TrackTimeline LayOutOnce(const ChapterPiece &first, std::size_t chapters, qint64 end)
{
    TrackTimeline out;
    out.cuts.assign(chapters, {});
    out.segments = first.segments;
    const qint64 missing = end - TotalOf(out.segments);
    if (missing > 0 && !out.segments.empty() && !out.segments.back().Empty()) {
        Segment &last = out.segments.back();
        last.duration += missing;
        out.cuts[0].lastShift = std::max<qint64>(0, last.mediaTime + last.duration - first.mediaDuration);
    } else if (missing > 0) {
        out.segments.push_back({-1, missing});
    } else {
        TrimEnd(out.segments, -missing);
    }
    out.segments = Merged(out.segments);
    return out;
}

} // namespace

qint64 TrackTimeline::Duration() const { return TotalOf(segments); }

std::vector<Segment> SegmentsOf(const std::optional<std::vector<Edit>> &edits, qint64 movieScale, qint64 trackScale,
                                qint64 presentationEnd)
{
    if (!edits)
        return {{0, presentationEnd}};
    // A movie tick in the track's scale, rounded up.
    const qint64 tick = (trackScale + movieScale - 1) / movieScale;
    std::vector<Segment> segments;
    for (const Edit &e : *edits) {
        Segment s{e.mediaTime, Rescale(e.duration, movieScale, trackScale)};
        if (!s.Empty() && std::abs(s.mediaTime + s.duration - presentationEnd) <= tick)
            s.duration = presentationEnd - s.mediaTime;
        if (s.duration > 0)
            segments.push_back(s);
    }
    return segments;
}

std::vector<Segment> SegmentsBefore(const std::vector<Segment> &segments, qint64 mediaEnd)
{
    std::vector<Segment> kept;
    for (const Segment &s : segments) {
        if (s.Empty()) {
            kept.push_back(s);
        } else if (s.mediaTime < mediaEnd) {
            kept.push_back({s.mediaTime, std::min(s.duration, mediaEnd - s.mediaTime)});
        }
    }
    // Nothing after the media: an empty stretch at the end shows nothing.
    while (!kept.empty() && kept.back().Empty())
        kept.pop_back();
    return kept;
}

std::vector<qint64> ChapterStarts(const std::vector<ChapterPiece> &reference)
{
    std::vector<qint64> starts{0};
    for (const ChapterPiece &piece : reference)
        starts.push_back(starts.back() + TotalOf(piece.segments));
    return starts;
}

namespace {

// A value rounded to the nearest multiple of step.
qint64 RoundTo(qint64 value, qint64 step) { return (value + step / 2) / step * step; }

// Lays the chapters of one track out one after another, meeting each chapter
// start at its seam.
class Layer {
public:
    Layer(const std::vector<ChapterPiece> &pieces, Seam seam, qint64 trackScale)
        : pieces_(pieces), seam_(seam), trackScale_(trackScale)
    {
        out_.cuts.assign(pieces.size(), {});
    }

    // Chapter k after the ones before it; k > 0 meets its seam at target.
    void Add(std::size_t k, qint64 target)
    {
        std::vector<Segment> own = pieces_[k].segments;
        if (k > 0) {
            const bool ends = segments().size() > chapterFirst_ && !segments().back().Empty();
            const bool opens = !own.empty() && !own.front().Empty();
            const bool met = ends && opens &&
                             (seam_ == Seam::Stretch ? Stretch(k, target, own.front())
                                                     : RunOn(k, target, own.front()) || Frames(k, target, own.front()));
            if (!met)
                Fill(k, target);
            KeepApart(k, own);
        }
        chapterFirst_ = segments().size();
        chapterStart_ = target;
        for (const Segment &s : own)
            segments().push_back(s.Empty() ? s : Segment{s.mediaTime + base_, s.duration});
        position_ += TotalOf(own);
        base_ += pieces_[k].mediaDuration;
    }

    TrackTimeline Done()
    {
        segments() = Merged(segments());
        return out_;
    }

private:
    std::vector<Segment> &segments() { return out_.segments; }

    // The last sample of chapter k-1 lasts until chapter k begins at target.
    bool Stretch(std::size_t k, qint64 target, const Segment &next)
    {
        Segment &last = segments().back();
        const qint64 duration = last.duration + target - position_;
        const qint64 shift = last.mediaTime + duration - (base_ + next.mediaTime);
        if (duration <= 0 || pieces_[k - 1].lastSampleDuration + shift < 1)
            return false;
        last.duration = duration;
        position_ = target;
        out_.cuts[k - 1].lastShift = shift;
        base_ += shift;
        return true;
    }

    // Sound that runs on across the cut (a camera that recorded on): playing
    // every sample keeps chapter k within a frame of target. Chapter k-1's own
    // sound, with the media between it and chapter k's, must last as long as
    // chapter k-1 within a frame: chapters encoded on their own differ by
    // their priming, which lasts a frame at least.
    bool RunOn(std::size_t k, qint64 target, const Segment &next)
    {
        Segment &last = segments().back();
        const qint64 gap = base_ + next.mediaTime - (last.mediaTime + last.duration);
        const qint64 frame = std::max(pieces_[k].frameDuration, trackScale_ / 200);
        const qint64 own = TotalOf(pieces_[k - 1].segments) + gap - (target - chapterStart_);
        if (std::abs(own) >= frame || std::abs(position_ + gap - target) >= frame || last.duration + gap <= 0)
            return false;
        last.duration += gap;
        position_ += gap;
        return true;
    }

    // Sound encoded chapter by chapter, in frames of one length (see the
    // header): chapter k-1 ends after a whole frame, chapter k's priming is
    // left out but for the frame before its own first, which plays in place
    // of chapter k-1's last. Every frame then plays whole and in turn.
    bool Frames(std::size_t k, qint64 target, Segment &next)
    {
        const ChapterPiece &before = pieces_[k - 1], &piece = pieces_[k];
        const qint64 frame = piece.frameDuration;
        if (!before.uniformFrames || !piece.uniformFrames || before.frameDuration != frame || frame < 1)
            return false;
        // The frame that starts nearest the chapter's own start is its first;
        // lead is how much of that frame comes before it.
        const qint64 first = RoundTo(next.mediaTime, frame) / frame;
        const qint64 lead = next.mediaTime - first * frame;
        const qint64 kept = std::max<qint64>(first - 1, 0);
        const qint64 leadIn = (first - kept) * frame;
        if (first * frame >= piece.mediaDuration)
            return false;
        Segment &last = segments().back();
        const qint64 origin = base_ - before.mediaDuration; // of chapter k-1's media
        const qint64 from = last.mediaTime - origin;
        const qint64 shown = position_ - last.duration; // where from plays
        // A last frame counted short (the encoder's padding) still decodes whole.
        const qint64 frames = (before.mediaDuration + frame - 1) / frame;
        const qint64 end = std::min(RoundTo(from + target - lead - leadIn - shown, frame), frames * frame);
        if (end <= from || std::abs(shown + (end - from) + leadIn + lead - target) > frame / 2 + 1)
            return false;
        last.duration = end - from;
        position_ = shown + last.duration;
        ChapterCut &cut = out_.cuts[k - 1];
        cut.dropLast = quint64(frames - end / frame);
        cut.lastShift = cut.dropLast == 0 ? frames * frame - before.mediaDuration : 0;
        out_.cuts[k].dropFirst = quint64(kept);
        base_ = origin + end - kept * frame;
        next = {kept * frame, next.duration + next.mediaTime - kept * frame};
        return true;
    }

    // Chapter k-1 may show its last frames up to a time later than where
    // chapter k's first shown frame lies in the media (frames reordered, or
    // dropped by a cut). Its last sample then lasts until there, so that no
    // frame of chapter k is shown at the end of chapter k-1 too.
    void KeepApart(std::size_t k, const std::vector<Segment> &own)
    {
        const auto shown = [](const Segment &s) { return !s.Empty(); };
        const auto before = std::find_if(segments().rbegin(), segments().rend() - std::ptrdiff_t(chapterFirst_), shown);
        const auto opening = std::find_if(own.begin(), own.end(), shown);
        if (before == segments().rend() - std::ptrdiff_t(chapterFirst_) || opening == own.end())
            return;
        const qint64 overlap = before->mediaTime + before->duration - (base_ + opening->mediaTime);
        if (overlap <= 0)
            return;
        out_.cuts[k - 1].lastShift += overlap;
        base_ += overlap;
    }

    // Cuts back what overruns chapter k-1, or fills what falls short with
    // the media there is and then with nothing, so that chapter k starts at target.
    void Fill(std::size_t k, qint64 target)
    {
        if (position_ > target)
            TrimEnd(segments(), position_ - target);
        if (position_ < target && segments().size() > chapterFirst_ && !segments().back().Empty()) {
            Segment &last = segments().back();
            const qint64 beforeBase = base_ - pieces_[k - 1].mediaDuration;
            const qint64 spare = beforeBase + pieces_[k - 1].presentationEnd - (last.mediaTime + last.duration);
            last.duration += std::clamp<qint64>(spare, 0, target - position_);
        }
        const qint64 shown = TotalOf(segments());
        if (shown < target)
            segments().push_back({-1, target - shown});
        position_ = target;
    }

    const std::vector<ChapterPiece> &pieces_;
    Seam seam_;
    qint64 trackScale_;
    TrackTimeline out_;
    qint64 base_ = 0;              // where the chapter's media begins in the joined media
    qint64 position_ = 0;          // where the segments so far end
    std::size_t chapterFirst_ = 0; // the last chapter's first segment
    qint64 chapterStart_ = 0;      // and when it was to start
};

} // namespace

TrackTimeline LayOut(const std::vector<ChapterPiece> &pieces, Seam seam, qint64 trackScale,
                     const std::vector<qint64> &starts, qint64 referenceScale)
{
    const auto at = [&](std::size_t chapter) { return Rescale(starts[chapter], referenceScale, trackScale); };
    if (seam == Seam::Once)
        return LayOutOnce(pieces.front(), pieces.size(), at(pieces.size()));
    Layer layer(pieces, seam, trackScale);
    for (std::size_t k = 0; k < pieces.size(); ++k)
        layer.Add(k, at(k));
    return layer.Done();
}

} // namespace app::mp4
