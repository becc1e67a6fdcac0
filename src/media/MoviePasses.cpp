// SPDX-License-Identifier: GPL-3.0-or-later
// "Join as One Movie" of MPEG files in two passes over the inputs the output
// guard looked at: the plan reads each input's streams once, compares them
// with the first input's and picks the writer, before anything is written;
// the write copies every packet where the movie timeline places it. Both
// read each input from the file looked at, kept open between them where
// descriptors allow, and an input whose streams differ in the second pass
// from the first is refused.
#include "media/Media.h"

#include "core/MovieJoin.h"
#include "core/MovieTimeline.h"
#include "core/PathRules.h"
#include "core/RecordingPieces.h"
#include "media/MovieFormats.h"
#include "media/MovieOutput.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace app::media {

using platform::EInOutError;
using platform::File;
using platform::FileName;

namespace {

QString Shown(const FileName &name) { return QString::fromUtf8(name.LastPart()); }

[[noreturn]] void Refuse(const FileName &name, const QString &message)
{
    EMixedFormats error(platform::InOutCode::ReadError, message);
    error.SetDetails(name.Display());
    throw error;
}

struct PacketDeleter {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;

Packet NewPacket()
{
    Packet p(av_packet_alloc());
    if (!p)
        throw std::bad_alloc();
    return p;
}

// The length of the ID3v2 tag at the start of file; refused when the tag
// claims more than the file holds.
qint64 TagBytes(File &file, const FileName &name)
{
    QByteArray head(10, '\0');
    file.Seek(0);
    head.truncate(int(file.Read(head.data(), head.size())));
    const qint64 tag = mpa::Id3v2Length(head);
    if (tag > file.Size())
        Refuse(name,
               QStringLiteral("%1 begins with a tag of %2 bytes, more than the file holds").arg(Shown(name)).arg(tag));
    return tag;
}

// Enough of a header frame for its Xing header and LAME tag, whatever its bitrate.
constexpr int HeaderFrameBytes = 512;

// The LAME tag of an MP3 input: in the header frame right after its ID3v2
// tag, where players look for it.
std::optional<mpa::LameTag> LameTagOf(File &file, qint64 tagBytes)
{
    QByteArray frame(HeaderFrameBytes, '\0');
    file.Seek(tagBytes);
    frame.truncate(int(file.Read(frame.data(), frame.size())));
    return mpa::ReadLameTag(reinterpret_cast<const uint8_t *>(frame.constData()), int(frame.size()));
}

// Each stream the join copies, as the timeline takes it: for output stream
// k, the input's stream map[k] (none where map[k] is -1). Opus in Matroska
// is read with its codec delay (priming) before 0, but written as stored,
// the delay in the track's header: the stored times are that much later.
std::vector<InputStream> StreamsOf(const Reader &reader, const std::vector<int> &map,
                                   const std::vector<Rational> &outputBases)
{
    std::vector<InputStream> streams;
    for (std::size_t k = 0; k < map.size(); ++k) {
        if (map[k] < 0) {
            streams.push_back({outputBases[k]});
            continue;
        }
        const AVStream *st = reader.Context()->streams[reader.Picked()[std::size_t(map[k])]];
        InputStream in{{st->time_base.num, st->time_base.den},
                       st->start_time == AV_NOPTS_VALUE ? NoTime : st->start_time};
        const AVCodecParameters *par = st->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->initial_padding > 0 && par->sample_rate > 0 &&
            in.start != NoTime && in.start < 0)
            in.lateTicks = Rescale(par->initial_padding, {1, par->sample_rate}, in.base);
        streams.push_back(in);
    }
    return streams;
}

// The format an input of this type must be read as, and its words; empty
// for the types whose format follows the first input.
std::pair<QString, QString> ExpectedFormat(const FileName &name)
{
    switch (ContainerOf(name)) {
    case Container::Matroska: return {QStringLiteral("matroska,webm"), QStringLiteral("a Matroska file")};
    case Container::TransportStream: return {QStringLiteral("mpegts"), QStringLiteral("an MPEG transport stream")};
    case Container::DvdVideo: return {QStringLiteral("mpeg"), QStringLiteral("a DVD program stream")};
    case Container::Mp4:
    case Container::None: break;
    }
    return {};
}

qint64 ContainerStartUs(const Reader &reader)
{
    const qint64 start = reader.Context()->start_time;
    return start == AV_NOPTS_VALUE ? NoTime : start;
}

class MovieJob final : public ReadyJoin {
public:
    explicit MovieJob(OutputGuard &&guard) : guard_(std::move(guard)), inputs_(std::size_t(guard_.Count())) {}

    // The first pass: every input read as media and compared with the first.
    void Plan(JoinObserver &observer)
    {
        for (int i = 0; i < guard_.Count(); ++i) {
            if (observer.StopRequested())
                guard_.StopBeforeOutput();
            Look(i, observer);
        }
    }
    JoinKind Kind() const
    {
        if (muxer_ == "mp3" || muxer_ == "mp2")
            return JoinKind::Mp3;
        if (muxer_ == "matroska" || muxer_ == "webm")
            return JoinKind::Matroska;
        return muxer_ == "mpegts" ? JoinKind::Transport : JoinKind::ProgramStream;
    }

    // The second pass.
    void Write(JoinObserver &observer) override
    {
        MovieOutput output(guard_.CreateOutput(), guard_.Output(), muxer_);
        observer.OutputCreated();
        try {
            for (int i = 0; i < guard_.Count(); ++i)
                WriteInput(i, output, observer);
            output.Finish(); // the last bytes are written here
        } catch (const JoinStopped &) {
            throw;
        } catch (...) {
            if (!OutputGuard::DropIfReplacing(output.File()))
                output.RecountAfterFailure();
            throw;
        }
    }

private:
    struct Input {
        File file;            // as the guard opened it; closed between the passes where it keeps no descriptor
        Layout layout;        // what the first pass found
        std::vector<int> map; // for each output stream, the layout's stream that continues it, or -1
    };

    const FileName &Name(int i) const { return guard_.Inputs()[std::size_t(i)]; }
    File &Opened(int i)
    {
        File &file = inputs_[std::size_t(i)].file;
        if (!file.IsOpen())
            file = guard_.OpenInput(i);
        return file;
    }

    void Look(int i, JoinObserver &observer);
    void FindFirstFrame(Reader &reader, JoinObserver &observer);
    void WriteInput(int i, MovieOutput &output, JoinObserver &observer);
    void CopyPackets(int i, Reader &reader, MovieOutput &output, JoinObserver &observer);

    OutputGuard guard_;
    std::vector<Input> inputs_;
    QByteArray muxer_;
    qint64 tagBytes_ = 0;                        // MP3 and MP2: the first input's ID3v2 tag, copied
    std::optional<mpa::FrameHeader> firstFrame_; // MP3: the model of the length header frame
    std::optional<mpa::LameTag> lameTag_;        // MP3: the first input's, with its encoder delay
    int endPadding_ = 0;                         // MP3: the last input's padding
    qint64 muxRate_ = 0;                         // program streams: the first input's
    std::optional<MovieTimeline> timeline_;
    std::vector<Rational> outputBases_;
};

void MovieJob::Look(int i, JoinObserver &observer)
{
    const FileName &name = Name(i);
    Input &input = inputs_[std::size_t(i)];
    input.file = guard_.OpenInput(i);
    guard_.CheckInput(i, input.file, nullptr);
    try {
        Reader reader(input.file, name, true, [&observer] { return observer.StopRequested(); });
        input.layout = LayoutOf(reader);
        if (const auto [format, words] = ExpectedFormat(name); !format.isEmpty() && input.layout.format != format)
            Refuse(name, QStringLiteral("%1 cannot be read as %2").arg(Shown(name), words));
        if (i == 0) {
            muxer_ = MuxerFor(input.layout, guard_.Output());
            if (muxer_.isEmpty())
                Refuse(name, QStringLiteral("%1 is %2, which cannot be joined as one movie")
                                 .arg(Shown(name), KindWords(input.layout.format)));
        } else if (const QString how = Difference(input.layout, inputs_[0].layout); !how.isEmpty()) {
            Refuse(name, Shown(name) + QLatin1Char(' ') + how);
        }
        input.map = MapByKind(input.layout.shapes, inputs_[0].layout.shapes);
        if (muxer_ == "mp3" && !firstFrame_)
            FindFirstFrame(reader, observer);
    } catch (const Reader::Stopped &) {
        guard_.StopBeforeOutput();
    }
    const bool first = i == 0, last = i == guard_.Count() - 1;
    if (first && (muxer_ == "mp3" || muxer_ == "mp2"))
        tagBytes_ = TagBytes(input.file, name);
    if (muxer_ == "mp3" && (first || last)) {
        const auto lame = LameTagOf(input.file, first ? tagBytes_ : TagBytes(input.file, name));
        if (first)
            lameTag_ = lame;
        if (last)
            endPadding_ = lame ? lame->padding : 0; // without a tag, the last frame is played whole
    }
    if (first && input.layout.format == QLatin1String("mpeg"))
        muxRate_ = pieces::ReadHead(input.file, pieces::Format::ProgramStream).muxRate;
    if (!guard_.KeepsOpen(i))
        input.file = File(); // opened again for the second pass
}

void MovieJob::FindFirstFrame(Reader &reader, JoinObserver &observer)
{
    const Packet packet = NewPacket();
    while (!firstFrame_ && reader.Next(packet.get())) {
        firstFrame_ = SoundFrame(packet.get());
        av_packet_unref(packet.get());
        if (observer.StopRequested())
            guard_.StopBeforeOutput();
    }
}

void MovieJob::WriteInput(int i, MovieOutput &output, JoinObserver &observer)
{
    const FileName &name = Name(i);
    File &file = Opened(i);
    guard_.CheckInput(i, file, &output.File());
    Reader reader(file, name, true);
    if (!(LayoutOf(reader) == inputs_[std::size_t(i)].layout)) {
        EInOutError error(platform::InOutCode::ReadError,
                          QStringLiteral("Read error: %1 changed while it was being joined").arg(name.Display()));
        error.SetDetails(name.Display());
        throw error;
    }
    if (i == 0) {
        output.Start(reader, {&file, tagBytes_, firstFrame_, lameTag_, endPadding_, muxRate_});
        for (unsigned k = 0; k < output.Context()->nb_streams; ++k)
            outputBases_.push_back(
                {output.Context()->streams[k]->time_base.num, output.Context()->streams[k]->time_base.den});
        timeline_.emplace(outputBases_);
    }
    timeline_->StartInput(StreamsOf(reader, inputs_[std::size_t(i)].map, outputBases_), ContainerStartUs(reader));
    observer.FileStarted(i, reader.Size());
    CopyPackets(i, reader, output, observer);
    observer.FileFinished(i);
    timeline_->EndInput();
    if (!guard_.KeepsOpen(i))
        inputs_[std::size_t(i)].file = File();
}

void MovieJob::CopyPackets(int i, Reader &reader, MovieOutput &output, JoinObserver &observer)
{
    const qint64 size = reader.Size();
    qint64 reported = 0;
    const auto report = [&](qint64 now) {
        now = std::min(now, size);
        if (now <= reported)
            return;
        observer.BlockCopied(i, now - reported);
        reported = now;
        // What was written so far ends as a stream of its own.
        if (observer.StopRequested())
            OutputGuard::Stop(output.File(), [&] { output.EndStream(); });
    };
    std::vector<int> outIndex(reader.Context()->nb_streams, -1);
    const std::vector<int> &map = inputs_[std::size_t(i)].map;
    for (std::size_t k = 0; k < map.size(); ++k)
        if (map[k] >= 0)
            outIndex[std::size_t(reader.Picked()[std::size_t(map[k])])] = int(k);
    const Packet packet = NewPacket();
    while (reader.Next(packet.get())) {
        const int index = packet->stream_index;
        const int k = index >= 0 && index < int(outIndex.size()) ? outIndex[std::size_t(index)] : -1;
        if (k < 0 || (muxer_ == "mp3" && !SoundFrame(packet.get()))) {
            av_packet_unref(packet.get());
            continue;
        }
        const PacketTimes placed = timeline_->Place(k, {packet->pts, packet->dts, packet->duration}).times;
        packet->pts = placed.pts;
        packet->dts = placed.dts;
        packet->duration = placed.duration;
        packet->stream_index = k;
        packet->pos = -1;
        output.Write(packet.get());
        report(reader.Consumed());
    }
    report(size);
}

} // namespace

std::unique_ptr<ReadyJoin> ReadyMovie(JoinPlan &plan, OutputGuard &&guard, JoinObserver &observer)
{
    if (guard.Count() == 0)
        throw EInOutError(platform::InOutCode::ReadError, QStringLiteral("There is no file to join"));
    auto job = std::make_unique<MovieJob>(std::move(guard));
    job->Plan(observer);
    plan.kind = job->Kind();
    return job;
}

} // namespace app::media
