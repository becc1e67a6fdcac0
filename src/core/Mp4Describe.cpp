// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Mp4Describe.h"

#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <map>

namespace app::mp4 {

using iso::BadBox;
using iso::Box;
using iso::BoxesIn;
using iso::Cursor;

namespace {

bool OneOf(FourCC format, std::initializer_list<const char *> tags)
{
    for (const char *t : tags)
        if (format == qFromBigEndian<quint32>(t))
            return true;
    return false;
}

// A sample description, as far as it matters for joining and for words.
struct Description {
    FourCC format = 0;
    int width = 0, height = 0, depth = 0; // pictures
    int channels = 0, bits = 0;           // sound
    double sampleRate = 0;
    QByteArray fixed;                                 // the other fields that must match
    std::vector<std::pair<FourCC, QByteArray>> boxes; // the boxes inside, as compared
};

// The parts of an 'esds' that describe the stream: its object type, stream
// type and decoder configuration, without the bit rates, which differ from
// one recording to the next.
QByteArray StreamConfig(QByteArrayView esds)
{
    const auto *b = reinterpret_cast<const uchar *>(esds.data());
    qint64 at = 4; // version and flags
    const auto descriptor = [&](uchar tag) -> qint64 {
        if (at >= esds.size() || b[at] != tag)
            return -1;
        ++at;
        qint64 size = 0;
        for (int i = 0; i < 4 && at < esds.size(); ++i) {
            size = size << 7 | (b[at] & 0x7F);
            if (!(b[at++] & 0x80))
                break;
        }
        return size <= esds.size() - at ? size : -1;
    };
    if (descriptor(0x03) < 0 || at + 3 > esds.size())
        return esds.toByteArray();
    const uchar flags = b[at + 2];
    at += 3 + (flags & 0x80 ? 2 : 0) + (flags & 0x20 ? 2 : 0);
    if (flags & 0x40 && at < esds.size())
        at += 1 + b[at];
    if (descriptor(0x04) < 0 || at + 13 > esds.size())
        return esds.toByteArray();
    QByteArray config = esds.sliced(at, 2).toByteArray(); // object and stream type
    at += 13;
    if (const qint64 size = descriptor(0x05); size >= 0)
        config += esds.sliced(at, size).toByteArray();
    return config;
}

std::vector<std::pair<FourCC, QByteArray>> ComparedBoxes(QByteArrayView bytes)
{
    std::vector<std::pair<FourCC, QByteArray>> boxes;
    for (const Box &box : BoxesIn(bytes)) {
        if (box.type == Tag("btrt"))
            continue; // bit rates: of this recording, not of its format
        if (box.type == Tag("esds"))
            boxes.emplace_back(box.type, StreamConfig(box.body));
        else if (box.type == Tag("wave")) // QuickTime sound keeps its 'esds' in here
            for (auto &inner : ComparedBoxes(box.body))
                boxes.push_back(std::move(inner));
        else
            boxes.emplace_back(box.type, box.body.toByteArray());
    }
    return boxes;
}

std::vector<Description> Describe(const Track &track)
{
    std::vector<Description> list;
    const QByteArrayView stsd(track.descriptions);
    if (stsd.size() < 8)
        return list;
    for (const Box &entry : BoxesIn(stsd.sliced(8))) {
        Description d;
        d.format = entry.type;
        Cursor c(entry.body, entry.type);
        c.Skip(8); // reserved, data reference
        qint64 boxesAt = -1;
        if (track.handler == Tag("vide")) {
            c.Skip(16);
            d.width = c.U16();
            d.height = c.U16();
            c.Skip(4 + 4 + 4 + 2 + 32); // resolution, frame count, compressor name
            d.depth = c.U16();
            c.Skip(2);
            boxesAt = c.Position();
        } else if (track.handler == Tag("soun")) {
            const quint16 version = c.U16();
            c.Skip(6);
            d.channels = c.U16();
            d.bits = c.U16();
            c.Skip(4);
            d.sampleRate = c.U32() / 65536.0;
            if (version == 1) {
                c.Skip(16);
            } else if (version == 2) {
                c.Skip(4);
                const quint64 rate = c.U64();
                double value;
                std::memcpy(&value, &rate, sizeof value);
                d.sampleRate = value;
                d.channels = int(c.U32());
                c.Skip(4);
                d.bits = int(c.U32());
                c.Skip(12);
            }
            boxesAt = c.Position();
        } else {
            d.fixed = entry.body.sliced(8).toByteArray();
        }
        if (boxesAt >= 0 && boxesAt < entry.body.size()) {
            try {
                d.boxes = ComparedBoxes(entry.body.sliced(boxesAt));
            } catch (const BadBox &) {
                d.fixed = entry.body.sliced(boxesAt).toByteArray(); // not boxes after all: compared as bytes
            }
        }
        list.push_back(std::move(d));
    }
    return list;
}

QString FormatWords(FourCC format, const Description &d)
{
    if (OneOf(format, {"avc1", "avc2", "avc3", "avc4"}))
        return QStringLiteral("H.264");
    if (OneOf(format, {"hvc1", "hev1"}))
        return QStringLiteral("H.265");
    if (OneOf(format, {"mp4a"})) {
        for (const auto &[type, bytes] : d.boxes)
            if (type == Tag("esds") && !bytes.isEmpty() && (quint8(bytes[0]) == 0x69 || quint8(bytes[0]) == 0x6B))
                return QStringLiteral("MP3");
        return QStringLiteral("AAC");
    }
    if (OneOf(format, {"lpcm", "sowt", "twos", "in24", "in32", "fl32", "fl64", "raw ", "ipcm", "fpcm"}))
        return QStringLiteral("PCM");
    if (OneOf(format, {"ac-3"}))
        return QStringLiteral("AC-3");
    if (OneOf(format, {"ec-3"}))
        return QStringLiteral("E-AC-3");
    if (OneOf(format, {"Opus"}))
        return QStringLiteral("Opus");
    if (OneOf(format, {"mp4v"}))
        return QStringLiteral("MPEG-4");
    if (OneOf(format, {"av01"}))
        return QStringLiteral("AV1");
    if (OneOf(format, {"vp09"}))
        return QStringLiteral("VP9");
    if (OneOf(format, {"apch", "apcn", "apcs", "apco", "ap4h", "ap4x"}))
        return QStringLiteral("ProRes");
    return QStringLiteral("'%1'").arg(iso::TagText(format));
}

QString SizeWords(const Description &d) { return QStringLiteral("%1×%2").arg(d.width).arg(d.height); }

QString SoundWords(const Description &d)
{
    const QString channels = d.channels == 1   ? QStringLiteral("mono")
                             : d.channels == 2 ? QStringLiteral("stereo")
                                               : QStringLiteral("%1 channels").arg(d.channels);
    return QStringLiteral("%1 %2 kHz %3").arg(FormatWords(d.format, d), DecimalWords(d.sampleRate / 1000), channels);
}

// "a picture, a sound and a timecode track"
QString TrackListWords(const Movie &movie)
{
    QStringList kinds;
    for (const Track &t : movie.tracks)
        kinds << QStringLiteral("a ") + KindWords(t);
    const QString last = kinds.takeLast();
    return (kinds.isEmpty() ? last : kinds.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last) +
           (movie.tracks.size() == 1 ? QStringLiteral(" track") : QStringLiteral(" tracks"));
}

const QByteArray *BoxOf(const Description &d, FourCC type)
{
    for (const auto &[t, bytes] : d.boxes)
        if (t == type)
            return &bytes;
    return nullptr;
}

// The parameter sets of an 'avcC' or 'hvcC', by name ("SPS"), in order.
std::vector<std::pair<QString, QByteArray>> ParameterSets(FourCC type, const QByteArray &config)
{
    std::vector<std::pair<QString, QByteArray>> sets;
    const auto *b = reinterpret_cast<const uchar *>(config.constData());
    qint64 at = 0;
    const auto take = [&](const QString &name) {
        if (at + 2 > config.size())
            return false;
        const qint64 n = qFromBigEndian<quint16>(b + at);
        if (at + 2 + n > config.size())
            return false;
        sets.emplace_back(name, config.mid(at + 2, n));
        at += 2 + n;
        return true;
    };
    if (type == Tag("avcC") && config.size() >= 6) {
        at = 6;
        for (int i = 0, n = b[5] & 0x1F; i < n; ++i)
            if (!take(QStringLiteral("sequence parameter set (SPS)")))
                return sets;
        const int n = at < config.size() ? b[at++] : 0;
        for (int i = 0; i < n; ++i)
            if (!take(QStringLiteral("picture parameter set (PPS)")))
                return sets;
    } else if (type == Tag("hvcC") && config.size() >= 23) {
        at = 23;
        for (int a = 0, arrays = b[22]; a < arrays && at + 3 <= config.size(); ++a) {
            const int nal = b[at] & 0x3F;
            const int n = qFromBigEndian<quint16>(b + at + 1);
            at += 3;
            const QString name = nal == 32   ? QStringLiteral("video parameter set (VPS)")
                                 : nal == 33 ? QStringLiteral("sequence parameter set (SPS)")
                                 : nal == 34 ? QStringLiteral("picture parameter set (PPS)")
                                             : QStringLiteral("parameter set of NAL type %1").arg(nal);
            for (int i = 0; i < n; ++i)
                if (!take(name))
                    return sets;
        }
    }
    return sets;
}

QString ProfileWords(bool avc, int profile)
{
    static const std::map<int, const char *> avcNames = {{66, "Baseline"},   {77, "Main"},     {88, "Extended"},
                                                         {100, "High"},      {110, "High 10"}, {122, "High 4:2:2"},
                                                         {244, "High 4:4:4"}},
                                             hevcNames = {{1, "Main"},
                                                          {2, "Main 10"},
                                                          {3, "Main Still Picture"},
                                                          {4, "Range Extensions"}};
    const auto &names = avc ? avcNames : hevcNames;
    const auto it = names.find(profile);
    return it != names.end() ? QStringLiteral("the %1 profile").arg(QLatin1String(it->second))
                             : QStringLiteral("profile %1").arg(profile);
}

// Which codec parameter differs where the codec and size match.
QString ParameterDifference(const QString &what, FourCC type, const QByteArray &mine, const QByteArray &first)
{
    const bool avc = type == Tag("avcC");
    if (mine.size() > 3 && first.size() > 12) {
        const int profile = avc ? quint8(mine[1]) : quint8(mine[1]) & 0x1F;
        const int firstProfile = avc ? quint8(first[1]) : quint8(first[1]) & 0x1F;
        if (profile != firstProfile)
            return QStringLiteral("has %1 of %2; the first file's is of %3")
                .arg(what, ProfileWords(avc, profile), ProfileWords(avc, firstProfile));
        const int level = avc ? quint8(mine[3]) : mine.size() > 12 ? quint8(mine[12]) : 0;
        const int firstLevel = avc ? quint8(first[3]) : quint8(first[12]);
        if (level != firstLevel)
            return QStringLiteral("has %1 at level %2; the first file's is at level %3")
                .arg(what, DecimalWords(level / (avc ? 10.0 : 30.0)), DecimalWords(firstLevel / (avc ? 10.0 : 30.0)));
    }
    const auto sets = ParameterSets(type, mine), firstSets = ParameterSets(type, first);
    for (std::size_t i = 0; i < std::min(sets.size(), firstSets.size()); ++i)
        if (sets[i] != firstSets[i])
            return QStringLiteral("has %1 whose %2 differs from the first file's").arg(what, sets[i].first);
    if (sets.size() != firstSets.size())
        return QStringLiteral("has %1 with %2 parameter sets; the first file's has %3")
            .arg(what)
            .arg(sets.size())
            .arg(firstSets.size());
    return QStringLiteral("has %1 whose decoder configuration ('%2') differs from the first file's")
        .arg(what, iso::TagText(type));
}

QString SoundConfigDifference(const QString &what, const QByteArray &mine, const QByteArray &first)
{
    // The object type (5 bits) leads the decoder configuration.
    const auto objectType = [](const QByteArray &config) { return config.size() > 2 ? quint8(config[2]) >> 3 : -1; };
    if (objectType(mine) != objectType(first))
        return QStringLiteral("has %1 of object type %2; the first file's is of object type %3")
            .arg(what)
            .arg(objectType(mine))
            .arg(objectType(first));
    return QStringLiteral("has %1 whose decoder configuration (esds) differs from the first file's").arg(what);
}

QString TrackDifference(const Track &track, const Track &first)
{
    const std::vector<Description> mine = Describe(track), theirs = Describe(first);
    const bool picture = track.handler == Tag("vide"), sound = track.handler == Tag("soun");
    if (mine.size() != theirs.size())
        return QStringLiteral("has %1 sample descriptions for its %2 track; the first file has %3")
            .arg(mine.size())
            .arg(KindWords(track))
            .arg(theirs.size());
    for (std::size_t i = 0; i < mine.size(); ++i) {
        const Description &d = mine[i], &f = theirs[i];
        const QString codec = FormatWords(d.format, d);
        const QString what = picture ? QStringLiteral("%1 video").arg(codec)
                             : sound ? QStringLiteral("%1 sound").arg(codec)
                                     : QStringLiteral("%1 %2").arg(KindWords(track), codec);
        const QString firstWhat = picture ? QStringLiteral("%1 video").arg(FormatWords(f.format, f))
                                  : sound ? QStringLiteral("%1 sound").arg(FormatWords(f.format, f))
                                          : QStringLiteral("%1 %2").arg(KindWords(first), FormatWords(f.format, f));
        if (d.format != f.format)
            return QStringLiteral("has %1; the first file has %2").arg(what, firstWhat);
        if (picture && (d.width != f.width || d.height != f.height))
            return QStringLiteral("has %1 %2; the first file has %3 %2").arg(SizeWords(d), what, SizeWords(f));
        if (sound && (d.sampleRate != f.sampleRate || d.channels != f.channels || d.bits != f.bits))
            return QStringLiteral("has %1 sound; the first file has %2 sound").arg(SoundWords(d), SoundWords(f));
        if (track.timescale != first.timescale)
            return QStringLiteral("times its %1 in 1/%2 s; the first file in 1/%3 s")
                .arg(what)
                .arg(track.timescale)
                .arg(first.timescale);
        for (const FourCC config : {Tag("avcC"), Tag("hvcC")}) {
            const QByteArray *a = BoxOf(d, config), *b = BoxOf(f, config);
            if (a && b && *a != *b)
                return ParameterDifference(what, config, *a, *b);
        }
        if (const QByteArray *a = BoxOf(d, Tag("esds")), *b = BoxOf(f, Tag("esds")); a && b && *a != *b)
            return SoundConfigDifference(what, *a, *b);
        for (std::size_t k = 0; k < std::max(d.boxes.size(), f.boxes.size()); ++k) {
            const FourCC type = k < d.boxes.size() ? d.boxes[k].first : f.boxes[k].first;
            if (k >= d.boxes.size() || k >= f.boxes.size() || d.boxes[k] != f.boxes[k])
                return QStringLiteral("has %1 whose sample description differs from the first file's in its '%2' box")
                    .arg(what, iso::TagText(type));
        }
        if (d.fixed != f.fixed || d.depth != f.depth)
            return QStringLiteral("has %1 whose sample description differs from the first file's").arg(what);
    }
    return {};
}

} // namespace

QString KindWords(const Track &track)
{
    const FourCC format = track.Format();
    if (track.handler == Tag("vide"))
        return QStringLiteral("picture");
    if (track.handler == Tag("soun"))
        return QStringLiteral("sound");
    if (track.handler == Tag("tmcd") || format == Tag("tmcd"))
        return QStringLiteral("timecode");
    if (OneOf(format, {"gpmd", "camm"}))
        return QStringLiteral("telemetry");
    if (OneOf(track.handler, {"text", "sbtl", "subt", "clcp"}) || OneOf(format, {"tx3g", "wvtt", "stpp", "c608"}))
        return QStringLiteral("subtitle");
    if (track.handler == Tag("meta"))
        return QStringLiteral("metadata");
    return QStringLiteral("data");
}

QString CodecWords(const Track &track)
{
    const std::vector<Description> d = Describe(track);
    return d.empty() ? QString() : FormatWords(d.front().format, d.front());
}

QString Difference(const Movie &chapter, const Movie &first)
{
    bool sameKinds = chapter.tracks.size() == first.tracks.size();
    for (std::size_t i = 0; sameKinds && i < chapter.tracks.size(); ++i)
        sameKinds = chapter.tracks[i].handler == first.tracks[i].handler &&
                    KindWords(chapter.tracks[i]) == KindWords(first.tracks[i]);
    if (!sameKinds)
        return QStringLiteral("has %1; the first file has %2").arg(TrackListWords(chapter), TrackListWords(first));
    for (std::size_t i = 0; i < chapter.tracks.size(); ++i)
        if (const QString how = TrackDifference(chapter.tracks[i], first.tracks[i]); !how.isEmpty())
            return how;
    return {};
}

QString SpeedChange(const Movie &movie)
{
    for (const Track &t : movie.tracks)
        if (t.edits)
            for (const Edit &e : *t.edits)
                if (e.rate != 0x10000)
                    return QStringLiteral("has an edit list that changes the speed of its %1 track, which a joined "
                                          "file cannot keep")
                        .arg(KindWords(t));
    return {};
}

ClipFacts FactsOf(const Movie &movie)
{
    ClipFacts facts;
    facts.format = movie.quickTime ? QStringLiteral("mov") : QStringLiteral("mp4");
    facts.lengthUs = Rescale(movie.duration, movie.timescale, 1000000);
    QStringList extras;
    for (const Track &t : movie.tracks) {
        const std::vector<Description> d = Describe(t);
        if (t.handler == Tag("vide") && facts.video.isEmpty() && !d.empty()) {
            const qint64 duration = t.samples.Duration();
            const double rate = duration > 0 ? double(t.samples.count) * double(t.timescale) / double(duration) : 0;
            facts.video = QStringLiteral("%1 %2 %3 fps")
                              .arg(FormatWords(d[0].format, d[0]), SizeWords(d[0]),
                                   rate > 0 ? DecimalWords(rate) : QStringLiteral("?"));
        } else if (t.handler == Tag("soun") && facts.audio.isEmpty() && !d.empty()) {
            facts.audio =
                QStringLiteral("%1 %2 kHz").arg(FormatWords(d[0].format, d[0]), DecimalWords(d[0].sampleRate / 1000));
        } else if (!extras.contains(KindWords(t))) {
            extras << KindWords(t);
        }
    }
    facts.extras = extras.join(QStringLiteral(", "));
    return facts;
}

} // namespace app::mp4
