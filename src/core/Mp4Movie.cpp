// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Mp4Movie.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <limits>

namespace app::mp4 {

using iso::BadBox;
using iso::Box;
using iso::BoxesIn;
using iso::Cursor;
using iso::Find;
using platform::EInOutError;
using platform::FileName;

namespace {
// Times beyond this are broken files; below it, sums of a few thousand
// chapters stay far from overflowing.
constexpr qint64 MaxTime = qint64(1) << 50;
} // namespace

bool LongerThanAnyFilm(qint64 time) { return time < 0 || time > MaxTime; }

namespace {

// An index this large would hold samples for days of film; a file that
// claims more is broken, and is not read into memory.
constexpr qint64 MaxIndexBytes = qint64(256) << 20;

// Whether a file that starts with a box of this type may be an MP4 or
// QuickTime file.
bool KnownTopLevel(FourCC type)
{
    for (const FourCC known : {Tag("ftyp"), Tag("moov"), Tag("mdat"), Tag("free"), Tag("skip"), Tag("wide"),
                               Tag("pnot"), Tag("uuid"), Tag("meta"), Tag("udta"), Tag("pdin")})
        if (type == known)
            return true;
    return false;
}

// The version byte of a full box; the flags are skipped.
quint8 Version(Cursor &c)
{
    const quint8 version = c.U8();
    c.Skip(3);
    return version;
}

qint64 Checked(Cursor &c, quint64 value)
{
    if (value > quint64(MaxTime))
        c.Fail(QStringLiteral("holds a time beyond any film's"));
    return qint64(value);
}

std::vector<Edit> ReadEdits(const Box &elst)
{
    Cursor c(elst.body, elst.type);
    const bool wide = Version(c) == 1;
    const quint32 n = c.Count(wide ? 20 : 12);
    std::vector<Edit> edits(n);
    for (Edit &e : edits) {
        e.duration = Checked(c, c.Sized(wide));
        e.mediaTime = wide ? qint64(c.U64()) : qint64(qint32(c.U32()));
        e.rate = qint32(c.U32());
        if (e.mediaTime < -1)
            c.Fail(QStringLiteral("starts an edit before its media"));
    }
    return edits;
}

std::vector<Run> ReadRuns(const Box &box, bool signedValues, quint8 *version = nullptr)
{
    Cursor c(box.body, box.type);
    const quint8 v = Version(c);
    if (version)
        *version = v;
    const quint32 n = c.Count(8);
    std::vector<Run> runs(n);
    for (Run &r : runs) {
        r.count = c.U32();
        const quint32 value = c.U32();
        r.value = signedValues && v == 1 ? qint64(qint32(value)) : qint64(value);
    }
    return runs;
}

quint64 Total(const std::vector<Run> &runs)
{
    quint64 n = 0;
    for (const Run &r : runs)
        n += r.count;
    return n;
}

void ReadSizes(const Box &box, SampleTable &t)
{
    Cursor c(box.body, box.type);
    Version(c);
    if (box.type == Tag("stsz")) {
        t.constantSize = c.U32();
        t.count = c.U32();
        if (t.constantSize == 0) {
            if (t.count > quint64(c.Left() / 4))
                c.Fail(QStringLiteral("counts more samples than it holds"));
            t.sizes.resize(t.count);
            for (quint32 &s : t.sizes)
                s = c.U32();
        }
        return;
    }
    // 'stz2': sizes of 4, 8 or 16 bits.
    c.Skip(3);
    const quint8 bits = c.U8();
    t.count = c.U32();
    if (bits != 4 && bits != 8 && bits != 16)
        c.Fail(QStringLiteral("has sizes of %1 bits").arg(bits));
    if (t.count > quint64(c.Left()) * 8 / bits)
        c.Fail(QStringLiteral("counts more samples than it holds"));
    t.sizes.resize(t.count);
    quint8 pair = 0; // two 4-bit sizes, the first in the high bits
    for (quint64 i = 0; i < t.count; ++i) {
        if (bits == 16) {
            t.sizes[i] = c.U16();
        } else if (bits == 8) {
            t.sizes[i] = c.U8();
        } else {
            if (i % 2 == 0)
                pair = c.U8();
            t.sizes[i] = i % 2 == 0 ? pair >> 4 : pair & 0x0F;
        }
    }
}

// The chunks from their offsets and the sample-to-chunk table, each with its
// samples and bytes.
void ReadChunks(const Box &offsets, const Box &stsc, quint32 descriptions, SampleTable &t)
{
    const std::vector<qint64> at = iso::ReadChunkOffsets(offsets);
    Cursor c(stsc.body, stsc.type);
    Version(c);
    const quint32 n = c.Count(12);
    struct Entry {
        quint32 first, samples, description;
    };
    std::vector<Entry> entries(n);
    for (Entry &e : entries) {
        e.first = c.U32();
        e.samples = c.U32();
        e.description = c.U32();
        if (e.first == 0 || (&e != entries.data() && e.first <= (&e - 1)->first))
            c.Fail(QStringLiteral("lists its chunks out of order"));
        if (e.description == 0 || e.description > descriptions)
            c.Fail(QStringLiteral("names a sample description that does not exist"));
    }
    if (!at.empty() && (entries.empty() || entries.front().first != 1))
        c.Fail(QStringLiteral("leaves the first chunk out"));
    t.chunks.resize(at.size());
    quint64 sample = 0;
    std::size_t entry = 0;
    for (std::size_t i = 0; i < at.size(); ++i) {
        while (entry + 1 < entries.size() && entries[entry + 1].first <= i + 1)
            ++entry;
        Chunk &chunk = t.chunks[i];
        chunk.offset = at[i];
        chunk.samples = entries[entry].samples;
        chunk.description = entries[entry].description;
        if (sample + chunk.samples > t.count)
            c.Fail(QStringLiteral("puts more samples in chunks than the track has"));
        if (t.constantSize)
            chunk.bytes = qint64(chunk.samples) * t.constantSize;
        else
            for (quint32 k = 0; k < chunk.samples; ++k)
                chunk.bytes += t.sizes[sample + k];
        sample += chunk.samples;
    }
    if (sample != t.count)
        c.Fail(QStringLiteral("puts %1 samples in chunks; the track has %2").arg(sample).arg(t.count));
}

SampleGroup ReadGroup(const Box &sbgp, const std::vector<Box> &stbl)
{
    Cursor c(sbgp.body, sbgp.type);
    SampleGroup group;
    group.version = Version(c);
    group.type = c.U32();
    if (group.version == 1)
        group.parameter = c.U32();
    const quint32 n = c.Count(8);
    for (quint32 i = 0; i < n; ++i) {
        const quint32 count = c.U32();
        group.runs.emplace_back(count, c.U32());
    }
    for (const Box &b : stbl)
        if (b.type == Tag("sgpd") && b.body.size() >= 8 && Cursor(b.body.sliced(4), b.type).U32() == group.type)
            group.descriptions = b.whole.toByteArray();
    return group;
}

SampleTable ReadSamples(const Box &stblBox, quint32 descriptions)
{
    const std::vector<Box> stbl = BoxesIn(stblBox.body);
    const auto need = [&](const char(&type)[5]) -> const Box & {
        const Box *box = Find(stbl, Tag(type));
        if (!box)
            throw BadBox(QStringLiteral("a track has no '%1' box").arg(QLatin1String(type)));
        return *box;
    };
    SampleTable t;
    const Box *sizes = Find(stbl, Tag("stsz")) ? Find(stbl, Tag("stsz")) : Find(stbl, Tag("stz2"));
    if (!sizes)
        throw BadBox(QStringLiteral("a track has no sample sizes"));
    ReadSizes(*sizes, t);
    t.durations = ReadRuns(need("stts"), false);
    if (Total(t.durations) != t.count)
        throw BadBox(QStringLiteral("a track times %1 samples but has %2").arg(Total(t.durations)).arg(t.count));
    if (const Box *ctts = Find(stbl, Tag("ctts"))) {
        t.offsets = ReadRuns(*ctts, true, &t.offsetsVersion);
        if (Total(t.offsets) != t.count)
            throw BadBox(QStringLiteral("a track shifts %1 samples but has %2").arg(Total(t.offsets)).arg(t.count));
    }
    const Box *offsets = Find(stbl, Tag("stco")) ? Find(stbl, Tag("stco")) : Find(stbl, Tag("co64"));
    if (!offsets)
        throw BadBox(QStringLiteral("a track has no chunk offsets"));
    ReadChunks(*offsets, need("stsc"), descriptions, t);
    if (const Box *stss = Find(stbl, Tag("stss"))) {
        Cursor c(stss->body, stss->type);
        Version(c);
        std::vector<quint32> sync(c.Count(4));
        for (quint32 &s : sync) {
            s = c.U32();
            if (s == 0 || s > t.count || (&s != sync.data() && s <= *(&s - 1)))
                c.Fail(QStringLiteral("lists sync samples out of order or past the end"));
        }
        t.sync = std::move(sync);
    }
    // A byte per sample; one of another length describes no samples for sure.
    if (const Box *sdtp = Find(stbl, Tag("sdtp")); sdtp && quint64(sdtp->body.size()) == t.count + 4)
        t.dependencies = sdtp->body.sliced(4).toByteArray();
    if (LongerThanAnyFilm(t.Duration()) || LongerThanAnyFilm(t.PresentationEnd()))
        throw BadBox(QStringLiteral("a track lasts longer than any film"));
    for (const Box &b : stbl)
        if (b.type == Tag("sbgp"))
            t.groups.push_back(ReadGroup(b, stbl));
    return t;
}

// Whether every data reference points into this file itself.
bool SelfContained(const Box &minf)
{
    const auto dref = iso::FindPath(minf.body, {Tag("dinf"), Tag("dref")});
    if (!dref)
        return true;
    Cursor c(dref->body, dref->type);
    Version(c);
    c.Count(12);
    for (const Box &entry : BoxesIn(dref->body.sliced(8)))
        if (entry.body.size() < 4 || (quint8(entry.body[3]) & 1) == 0)
            return false;
    return true;
}

Track ReadTrack(const Box &trak)
{
    const std::vector<Box> boxes = BoxesIn(trak.body);
    Track track;
    const Box *tkhd = Find(boxes, Tag("tkhd"));
    const Box *mdia = Find(boxes, Tag("mdia"));
    if (!tkhd || !mdia)
        throw BadBox(QStringLiteral("a track has no header or no media"));
    Cursor th(tkhd->body, tkhd->type);
    th.Skip(Version(th) == 1 ? 16 : 8);
    track.id = th.U32();
    if (const auto elst = iso::FindPath(trak.body, {Tag("edts"), Tag("elst")}))
        track.edits = ReadEdits(*elst);

    const std::vector<Box> media = BoxesIn(mdia->body);
    const Box *mdhd = Find(media, Tag("mdhd"));
    const Box *hdlr = Find(media, Tag("hdlr"));
    const Box *minf = Find(media, Tag("minf"));
    if (!mdhd || !hdlr || !minf)
        throw BadBox(QStringLiteral("a track's media has no header, handler or information"));
    Cursor mh(mdhd->body, mdhd->type);
    mh.Skip(Version(mh) == 1 ? 16 : 8);
    track.timescale = mh.U32();
    if (track.timescale == 0)
        mh.Fail(QStringLiteral("has a time scale of 0"));
    Cursor hc(hdlr->body, hdlr->type);
    hc.Skip(8);
    track.handler = hc.U32();
    if (!SelfContained(*minf))
        throw BadBox(QStringLiteral("a track's media lies in other files"));

    const auto stbl = iso::FindPath(minf->body, {Tag("stbl")});
    const auto stsd = stbl ? iso::FindPath(stbl->body, {Tag("stsd")}) : std::nullopt;
    if (!stsd)
        throw BadBox(QStringLiteral("a track has no sample table"));
    track.descriptions = stsd->body.toByteArray();
    Cursor sc(stsd->body, stsd->type);
    Version(sc);
    const quint32 descriptions = sc.Count(8);
    track.samples = ReadSamples(*stbl, descriptions);
    return track;
}

void ReadIndex(Movie &movie)
{
    const std::vector<Box> top = BoxesIn(movie.moov);
    const std::vector<Box> boxes = BoxesIn(top.front().body);
    if (Find(boxes, Tag("mvex")))
        throw BadBox(QStringLiteral("it is a fragmented MP4, whose samples are indexed piece by piece"));
    const Box *mvhd = Find(boxes, Tag("mvhd"));
    if (!mvhd)
        throw BadBox(QStringLiteral("its index has no movie header"));
    Cursor c(mvhd->body, mvhd->type);
    const bool wide = Version(c) == 1;
    c.Skip(wide ? 16 : 8);
    movie.timescale = c.U32();
    movie.duration = Checked(c, c.Sized(wide));
    if (movie.timescale == 0)
        c.Fail(QStringLiteral("has a time scale of 0"));
    for (const Box &box : boxes)
        if (box.type == Tag("trak"))
            movie.tracks.push_back(ReadTrack(box));
    if (movie.tracks.empty())
        throw BadBox(QStringLiteral("its index has no tracks"));
}

} // namespace

FourCC Track::Format() const
{
    return descriptions.size() >= 16 ? Cursor(QByteArrayView(descriptions).sliced(12), Tag("stsd")).U32() : 0;
}

qint64 SampleTable::Duration() const
{
    __int128 total = 0;
    for (const Run &r : durations)
        total += __int128(r.count) * r.value;
    return total > MaxTime * 4 ? -1 : qint64(total); // -1: broken, as LongerThanAnyFilm sees
}

namespace {

// The runs of count samples from first on.
std::vector<Run> RunsIn(const std::vector<Run> &runs, quint64 first, quint64 count)
{
    std::vector<Run> kept;
    for (const Run &r : runs) {
        if (count == 0)
            break;
        if (first >= r.count) {
            first -= r.count;
            continue;
        }
        kept.push_back({std::min(r.count - first, count), r.value});
        count -= kept.back().count;
        first = 0;
    }
    return kept;
}

} // namespace

SampleTable SampleTable::Range(quint64 first, quint64 n) const
{
    first = std::min(first, count);
    n = std::min(n, count - first);
    SampleTable part;
    part.count = n;
    part.constantSize = constantSize;
    part.offsetsVersion = offsetsVersion;
    part.durations = RunsIn(durations, first, n);
    part.offsets = RunsIn(offsets, first, n);
    if (!sizes.empty())
        part.sizes.assign(sizes.begin() + qint64(first), sizes.begin() + qint64(first + n));
    if (sync) {
        part.sync.emplace();
        for (const quint32 s : *sync)
            if (s > first && s <= first + n)
                part.sync->push_back(quint32(s - first));
    }
    if (!dependencies.isEmpty())
        part.dependencies = dependencies.mid(qsizetype(first), qsizetype(n));
    const auto bytes = [&](quint64 from, quint64 to) {
        qint64 sum = 0;
        for (quint64 i = from; i < to; ++i)
            sum += qint64(SizeOf(i));
        return sum;
    };
    quint64 sample = 0;
    for (const Chunk &chunk : chunks) {
        const quint64 from = std::max(sample, first), to = std::min<quint64>(sample + chunk.samples, first + n);
        if (from < to) {
            Chunk kept = chunk;
            kept.samples = quint32(to - from);
            kept.offset += constantSize ? qint64(from - sample) * constantSize : bytes(sample, from);
            kept.bytes = constantSize ? qint64(to - from) * constantSize : bytes(from, to);
            part.chunks.push_back(kept);
        }
        sample += chunk.samples;
    }
    for (const SampleGroup &group : groups) {
        SampleGroup kept = group;
        kept.runs.clear();
        quint64 at = 0;
        for (const auto &[runCount, index] : group.runs) {
            const quint64 from = std::max(at, first), to = std::min(at + runCount, first + n);
            if (from < to)
                kept.runs.emplace_back(to - from, index);
            at += runCount;
        }
        part.groups.push_back(std::move(kept));
    }
    return part;
}

SampleTable SampleTable::FirstChunks(std::size_t n) const
{
    quint64 samples = 0;
    for (std::size_t i = 0; i < std::min(n, chunks.size()); ++i)
        samples += chunks[i].samples;
    return Range(0, samples);
}

qint64 SampleTable::PresentationEnd() const
{
    if (offsets.empty())
        return Duration();
    // Within a stretch where both the duration and the offset stay the same,
    // the last sample ends latest.
    qint64 end = 0;
    __int128 decode = 0;
    std::size_t d = 0, o = 0;
    quint64 dLeft = durations.empty() ? 0 : durations[0].count, oLeft = offsets[0].count;
    while (d < durations.size() && o < offsets.size()) {
        const quint64 n = std::min(dLeft, oLeft);
        if (n > 0) {
            decode += __int128(n) * durations[d].value;
            if (decode > MaxTime)
                return -1;
            end = std::max(end, qint64(decode) + offsets[o].value);
        }
        dLeft -= n;
        oLeft -= n;
        if (dLeft == 0 && ++d < durations.size())
            dLeft = durations[d].count;
        if (oLeft == 0 && ++o < offsets.size())
            oLeft = offsets[o].count;
    }
    return end;
}

EInOutError Refusal(const FileName &name, const QString &what)
{
    EInOutError error(platform::InOutCode::ReadError, QString::fromUtf8(name.LastPart()) + QLatin1Char(' ') + what);
    error.SetDetails(name.Display());
    return error;
}

qint64 Rescale(qint64 value, qint64 from, qint64 to)
{
    const __int128 scaled = __int128(value) * to;
    const __int128 half = from / 2;
    const __int128 rounded = scaled >= 0 ? (scaled + half) / from : -((-scaled + half) / from);
    // Held at the ends of 64 bits, where a cut would make a time of no film
    // look like a short one.
    return qint64(
        std::clamp<__int128>(rounded, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()));
}

Movie ReadMovie(platform::File &file, const FileName &name)
{
    Movie movie;
    try {
        const iso::FileBoxes top = iso::TopLevelBoxes(file, file.Size());
        if (top.boxes.empty() || !KnownTopLevel(top.boxes.front().type))
            throw Refusal(name, QStringLiteral("is not an MP4 or QuickTime file"));
        for (const iso::FileBox &box : top.boxes) {
            // A last box that runs past the end holds only part of itself.
            const bool whole = !top.cutShort || &box != &top.boxes.back();
            if (box.type == Tag("mdat")) {
                movie.mediaData.push_back({box.BodyOffset(), box.size - box.headerSize});
            } else if (box.type == Tag("moov") && movie.moov.isEmpty()) {
                if (box.size > MaxIndexBytes)
                    throw BadBox(QStringLiteral("its index is larger than any this program reads"));
                movie.moov = iso::ReadAt(file, box.offset, box.size);
            } else if (box.type == Tag("ftyp") && movie.ftyp.isEmpty() && box.size <= 4096) {
                movie.ftyp = iso::ReadAt(file, box.offset, box.size);
            } else if ((box.type == Tag("udta") || box.type == Tag("meta") || box.type == Tag("uuid")) && whole &&
                       box.size <= MaxIndexBytes) {
                // A tag cut short is left out: copied, it would claim bytes
                // of the box after it in the joined file.
                movie.tags.push_back(iso::ReadAt(file, box.offset, box.size));
            }
        }
        if (movie.moov.isEmpty() || (top.cutShort && top.boxes.back().type == Tag("moov")))
            throw Refusal(name, QStringLiteral("has no index (no 'moov' box): its recording was never finished, as "
                                               "when a camera loses power"));
        movie.quickTime = movie.ftyp.size() < 12 || movie.ftyp.mid(8, 4) == "qt  ";
        ReadIndex(movie);
    } catch (const BadBox &bad) {
        throw Refusal(name, QStringLiteral("cannot be read as MP4: %1").arg(bad.Message()));
    }
    return movie;
}

} // namespace app::mp4
