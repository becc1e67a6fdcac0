// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Mp4Join.h"

#include "core/BlockMover.h"
#include "core/Mp4Describe.h"
#include "core/Mp4Index.h"
#include "core/PathRules.h"
#include "platform/File.h"

#include <algorithm>
#include <optional>

namespace app {

using namespace mp4;
using platform::EInOutError;
using platform::File;
using platform::FileName;

namespace {

// An input's media data as it goes into the output: each of its 'mdat'
// bodies, and where that body starts in the joined media data.
struct Placed {
    Range range;
    qint64 at = 0;
};

struct Input {
    Movie movie;
    std::vector<Placed> media;
    qint64 bytes = 0;                // of media data
    std::optional<File> file;        // kept open from the reading to the copy, where the guard kept it
    std::vector<SampleTable> tables; // chunk offsets in the joined media data
};

// The sample tables of an input with its chunks' offsets in the joined
// media data. A track that the joined file takes only from the first chapter
// (a timecode) is left as it is in the later ones.
std::vector<SampleTable> PlacedTables(const Input &input, const FileName &name, bool first)
{
    std::vector<SampleTable> tables;
    for (const Track &track : input.movie.tracks) {
        tables.push_back(track.samples);
        if (!first && SeamOf(track) == Seam::Once)
            continue;
        for (Chunk &chunk : tables.back().chunks) {
            const auto in = std::find_if(input.media.begin(), input.media.end(), [&](const Placed &p) {
                return chunk.offset >= p.range.offset && chunk.bytes <= p.range.End() - chunk.offset;
            });
            if (in == input.media.end())
                throw Refusal(name, QStringLiteral("has %1 samples outside its media data: the file is cut short "
                                                   "or broken")
                                        .arg(KindWords(track)));
            chunk.offset = in->at + chunk.offset - in->range.offset;
        }
    }
    return tables;
}

// The chapters as the index takes them. With copied, only what lies whole
// within that many bytes of the joined media data: the chapters copied, and
// of the one being copied the chunks that were.
std::vector<IndexChapter> Chapters(const std::vector<Input> &inputs, std::optional<qint64> copied)
{
    std::vector<IndexChapter> chapters;
    for (const Input &input : inputs) {
        const bool whole = !copied || std::all_of(input.media.begin(), input.media.end(),
                                                  [&](const Placed &p) { return p.at + p.range.size <= *copied; });
        if (whole) {
            chapters.push_back({&input.movie, input.tables});
            continue;
        }
        IndexChapter cut{&input.movie, {}};
        bool any = false;
        for (const SampleTable &table : input.tables) {
            std::size_t kept = 0;
            while (kept < table.chunks.size() && table.chunks[kept].offset + table.chunks[kept].bytes <= *copied)
                ++kept;
            cut.tables.push_back(table.FirstChunks(kept));
            any = any || cut.tables.back().count > 0;
        }
        if (any || chapters.empty())
            chapters.push_back(std::move(cut));
        break;
    }
    return chapters;
}

// The output's layout: what comes before the media data, and its index.
struct Layout {
    QByteArray head;  // 'ftyp' and top-level tags
    QByteArray index; // 'moov'
    qint64 mediaHeader = 8;
    bool wide = false;
    qint64 MediaStart() const { return head.size() + index.size() + 8 + mediaHeader; }
};

// The box that marks room left over: 8 bytes follow the index, so that an
// index written again shorter can always be padded to its old place.
QByteArray Room(qint64 size)
{
    QByteArray room = iso::Header(Tag("free"), size);
    room.resize(size, '\0');
    return room;
}

// The media data's header, of the size it was planned with.
QByteArray MediaHeader(qint64 headerSize, qint64 bodySize)
{
    iso::Writer header;
    if (headerSize == 16) {
        header.U32(1);
        header.U32(Tag("mdat"));
        header.U64(quint64(headerSize + bodySize));
    } else {
        header.U32(quint32(headerSize + bodySize));
        header.U32(Tag("mdat"));
    }
    return header.Data();
}

Layout LayOutOutput(const std::vector<Input> &inputs, qint64 media)
{
    Layout layout;
    const Movie &first = inputs.front().movie;
    layout.head = first.ftyp;
    for (const QByteArray &tag : first.tags)
        layout.head += tag;
    layout.mediaHeader = iso::HeaderSize(media);
    const std::vector<IndexChapter> chapters = Chapters(inputs, std::nullopt);
    // 32-bit chunk offsets while the whole output stays below 4 GiB; the
    // index's size depends on that choice only, not on where the media is.
    const qint64 narrow = media <= 0xFFFFFFFFLL ? JoinedIndex(chapters, 0, false).size() : -1;
    layout.wide = narrow < 0 || layout.head.size() + narrow + 8 + layout.mediaHeader + media > 0xFFFFFFFFLL;
    layout.index = JoinedIndex(chapters, 0, layout.wide);
    layout.index = JoinedIndex(chapters, layout.MediaStart(), layout.wide);
    return layout;
}

// Writes the index again for what was copied (copied bytes of media data),
// pads it to its old place and gives the media data its new size.
void Finish(File &out, const std::vector<Input> &inputs, const Layout &layout, qint64 copied)
{
    const QByteArray index = JoinedIndex(Chapters(inputs, copied), layout.MediaStart(), layout.wide);
    const qint64 room = layout.index.size() + 8 - index.size();
    if (room < 8)
        return; // fewer samples never take more room
    out.Truncate(layout.MediaStart() + copied);
    out.Seek(layout.head.size());
    const QByteArray rest = index + Room(room) + MediaHeader(layout.mediaHeader, copied);
    out.WriteAll(rest.constData(), rest.size());
}

} // namespace

bool Mp4Join::Sketch(const JoinRequest &request, JoinPlan &plan)
{
    const auto &inputs = request.inputs;
    if (std::none_of(inputs.begin(), inputs.end(), [](const FileName &n) { return IsMp4Type(n); }))
        return false;
    plan.kind = JoinKind::Mp4Boxes;
    plan.chosen = false;
    // Joined byte for byte they would play as the first chapter alone, and
    // one index cannot describe another container's bytes.
    const auto other = std::find_if(inputs.begin(), inputs.end(), [](const FileName &n) { return !IsMp4Type(n); });
    if (other != inputs.end())
        plan.refusal = QStringLiteral("%1 is not an MP4 or QuickTime file; MP4 chapters join only with MP4 "
                                      "chapters")
                           .arg(QString::fromUtf8(other->LastPart()));
    return true;
}

FileName Mp4Join::OutputNameFor(const JoinRequest &request)
{
    const FileName &output = request.output;
    const auto &inputs = request.inputs;
    const auto mp4 = std::find_if(inputs.begin(), inputs.end(), [](const FileName &n) { return IsMp4Type(n); });
    if (mp4 == inputs.end() || IsMp4Type(output) || !ism(output))
        return output;
    QByteArray bytes = output.Bytes();
    bytes.chop(output.Extension().size());
    return FileName(bytes + mp4->Extension().toLower());
}

namespace {

// A join read, checked and laid out; the output not yet touched.
class ReadyMp4 final : public ReadyJoin {
public:
    ReadyMp4(OutputGuard &&guard, JoinObserver &observer) : guard_(std::move(guard)) { Read(&observer); }
    // For Mp4Join::Head: every input read through guard, nothing else asked.
    explicit ReadyMp4(OutputGuard &&guard) : guard_(std::move(guard)) { Read(nullptr); }

    void Write(JoinObserver &observer) override;
    QByteArray Head() const
    {
        return layout_.head + layout_.index + Room(8) + MediaHeader(layout_.mediaHeader, media_);
    }

private:
    // Every index is read, and every chapter compared with the first, before
    // the output is touched; observer, given one, may stop it between inputs.
    void Read(JoinObserver *observer);
    void Copy(File &out, JoinObserver &observer);

    OutputGuard guard_;
    std::vector<Input> inputs_;
    qint64 media_ = 0; // bytes of media data in all
    Layout layout_;
};

void ReadyMp4::Read(JoinObserver *observer)
{
    const std::vector<FileName> &names = guard_.Inputs();
    if (names.empty())
        throw EInOutError(platform::InOutCode::ReadError, QStringLiteral("There is no file to join"));
    inputs_.resize(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (observer && observer->StopRequested())
            guard_.StopBeforeOutput();
        Input &input = inputs_[i];
        File file = guard_.OpenInput(int(i));
        guard_.CheckInput(int(i), file, nullptr);
        input.movie = ReadMovie(file, names[i]);
        QString how = SpeedChange(input.movie);
        try {
            if (how.isEmpty() && i > 0)
                how = Difference(input.movie, inputs_.front().movie);
        } catch (const iso::BadBox &bad) {
            throw Refusal(names[i], QStringLiteral("cannot be read as MP4: %1").arg(bad.Message()));
        }
        if (!how.isEmpty())
            throw Refusal(names[i], how);
        for (const Range &range : input.movie.mediaData) {
            input.media.push_back({range, media_});
            media_ += range.size;
            input.bytes += range.size;
        }
        input.tables = PlacedTables(input, names[i], i == 0);
        // The copy reads the very file read here, kept open where the guard
        // kept it; the others are opened again then and checked once more.
        if (guard_.KeepsOpen(int(i)))
            input.file = std::move(file);
    }
    try {
        layout_ = LayOutOutput(inputs_, media_);
    } catch (const iso::BadBox &bad) {
        throw Refusal(names.back(), QStringLiteral("cannot be joined to the files before it: %1").arg(bad.Message()));
    }
}

void ReadyMp4::Write(JoinObserver &observer)
{
    File out = guard_.CreateOutput();
    observer.OutputCreated();
    try {
        Copy(out, observer);
    } catch (const JoinStopped &) {
        throw;
    } catch (...) {
        // An output that replaces another is dropped; a new one keeps a
        // movie of what was copied, where that can still be written.
        if (out.IsOpen() && !OutputGuard::DropIfReplacing(out)) {
            try {
                const qint64 written = out.Size() - layout_.MediaStart();
                if (written >= 0)
                    Finish(out, inputs_, layout_, written);
            } catch (const platform::Exception &) {
            }
        }
        throw;
    }
    out.Close();
}

void ReadyMp4::Copy(File &out, JoinObserver &observer)
{
    const QByteArray head = Head();
    out.WriteAll(head.constData(), head.size());
    BlockMover mover(out, true);
    for (int i = 0; i < guard_.Count(); ++i) {
        Input &input = inputs_[std::size_t(i)];
        File in = input.file ? std::move(*input.file) : guard_.OpenInput(i);
        input.file.reset();
        guard_.CheckInput(i, in, &out);
        // The bars count each input whole, as the look measured it: its media
        // data as it is copied, then its index, read before, as one block.
        const qint64 size = guard_.Looked(i).size;
        observer.FileStarted(i, size);
        const FileName &name = guard_.Inputs()[std::size_t(i)];
        for (const Placed &placed : input.media) {
            in.Seek(placed.range.offset);
            if (!mover.Copy(in, placed.range.size, i, name, observer))
                OutputGuard::Stop(out, [&] { Finish(out, inputs_, layout_, mover.Told()); });
        }
        if (size > input.bytes)
            observer.BlockCopied(i, size - input.bytes);
        in.Close();
        observer.FileFinished(i);
    }
}

} // namespace

std::unique_ptr<ReadyJoin> Mp4Join::Ready(JoinPlan &, const JoinRequest &, OutputGuard &&guard, JoinObserver &observer)
{
    return std::make_unique<ReadyMp4>(std::move(guard), observer);
}

QByteArray Mp4Join::Head(const JoinRequest &request)
{
    OutputGuard guard(OutputNameFor(request), request.inputs);
    guard.LookAtInputs();
    return ReadyMp4(std::move(guard)).Head();
}

} // namespace app
