// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Mp4Join.h"

#include "core/BlockMover.h"
#include "core/MovieJoin.h"
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
    std::optional<File> file;        // kept open from the reading to the copy, where descriptors allow
    platform::FileId identity;       // as read
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

// Counts the bytes told, for the output's end after a stop or an error.
class Told final : public JoinObserver {
public:
    explicit Told(JoinObserver &to) : to_(to) {}
    void JoinStarted(qint64 total) override { to_.JoinStarted(total); }
    void OutputCreated() override { to_.OutputCreated(); }
    void FileStarted(int index, qint64 size) override { to_.FileStarted(index, size); }
    void BlockCopied(int index, qint64 got) override
    {
        bytes += got;
        to_.BlockCopied(index, got);
    }
    void FileFinished(int index) override { to_.FileFinished(index); }
    bool StopRequested() override { return to_.StopRequested(); }
    qint64 bytes = 0;

private:
    JoinObserver &to_;
};

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

bool IsMp4List(const std::vector<FileName> &inputs)
{
    return std::any_of(inputs.begin(), inputs.end(), [](const FileName &n) { return IsMp4Type(n); });
}

FileName Mp4OutputNameFor(const FileName &output, const std::vector<FileName> &inputs)
{
    const auto mp4 = std::find_if(inputs.begin(), inputs.end(), [](const FileName &n) { return IsMp4Type(n); });
    if (mp4 == inputs.end() || IsMp4Type(output) || !ism(output))
        return output;
    QByteArray bytes = output.Bytes();
    bytes.chop(output.Extension().size());
    return FileName(bytes + mp4->Extension().toLower());
}

namespace {

// A join read, checked and laid out; nothing written yet.
struct Plan {
    FileName output;
    std::vector<platform::InputLook> looks;
    std::vector<Input> inputs;
    qint64 media = 0; // bytes of media data in all
    Layout layout;
    QByteArray Head() const { return layout.head + layout.index + Room(8) + MediaHeader(layout.mediaHeader, media); }
};

// Every index is read, and every chapter compared with the first, before
// the output is touched; observer, given one, may stop it between inputs.
Plan MakePlan(const FileName &requested, const std::vector<FileName> &names, JoinObserver *observer)
{
    if (names.empty())
        throw EInOutError(MovieJoin::MediaErrorCode, QStringLiteral("There is no file to join"));
    Plan plan;
    plan.output = Mp4OutputNameFor(requested, names);
    plan.looks = JoinEngine::LookAtInputs(names, nullptr);
    const int handles = platform::InputHandleBudget();
    plan.inputs.resize(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (observer && observer->StopRequested())
            throw JoinStopped();
        Input &input = plan.inputs[i];
        File file = File::OpenRead(names[i], &plan.looks[i]);
        input.identity = file.Identity();
        input.movie = ReadMovie(file, names[i]);
        QString how = SpeedChange(input.movie);
        try {
            if (how.isEmpty() && i > 0)
                how = Difference(input.movie, plan.inputs.front().movie);
        } catch (const iso::BadBox &bad) {
            throw Refusal(names[i], QStringLiteral("cannot be read as MP4: %1").arg(bad.Message()));
        }
        if (!how.isEmpty())
            throw Refusal(names[i], how);
        for (const Range &range : input.movie.mediaData) {
            input.media.push_back({range, plan.media});
            plan.media += range.size;
            input.bytes += range.size;
        }
        input.tables = PlacedTables(input, names[i], i == 0);
        // Kept open for the copy while descriptors last; the others are
        // opened again then, and checked to be the same files.
        if (int(i) < handles)
            input.file = std::move(file);
    }
    try {
        plan.layout = LayOutOutput(plan.inputs, plan.media);
    } catch (const iso::BadBox &bad) {
        throw Refusal(names.back(), QStringLiteral("cannot be joined to the files before it: %1").arg(bad.Message()));
    }
    return plan;
}

} // namespace

QByteArray Mp4JoinHead(const FileName &output, const std::vector<FileName> &inputs)
{
    return MakePlan(output, inputs, nullptr).Head();
}

FileName JoinMp4(const FileName &requested, const std::vector<FileName> &names, JoinObserver &caller)
{
    Plan plan = MakePlan(requested, names, &caller);
    const FileName &output = plan.output;
    std::vector<Input> &inputs = plan.inputs;
    const Layout &layout = plan.layout;
    caller.JoinStarted(plan.media);

    File out = File::Create(
        output, [&](const File &made) { JoinEngine::RefuseEndangeredInputs(output, made, names, plan.looks); });
    caller.OutputCreated();
    const QByteArray head = plan.Head();
    out.WriteAll(head.constData(), head.size());

    const platform::FileId outputId = out.Identity();
    Told observer(caller);
    BlockMover mover(out, out.KernelCopyPays());
    bool stopped = false;
    try {
        for (std::size_t i = 0; i < names.size(); ++i) {
            Input &input = inputs[i];
            if (!input.file) {
                // Opened again: it must still be the file whose index was read.
                input.file = File::OpenRead(names[i]);
                const platform::FileId now = input.file->Identity();
                if (!platform::SameFile(now, input.identity) || now.size != input.identity.size ||
                    now.modifiedNs != input.identity.modifiedNs)
                    throw Refusal(names[i], QStringLiteral("changed while it was being joined"));
            }
            JoinEngine::RefuseOutputAsInput(out, outputId, *input.file, names[i]);
            observer.FileStarted(int(i), input.bytes);
            for (std::size_t m = 0; m < input.media.size() && !stopped; ++m) {
                input.file->Seek(input.media[m].range.offset);
                stopped = !mover.Copy(*input.file, input.media[m].range.size, int(i), names[i], observer);
            }
            if (stopped)
                break;
            input.file->Close();
            input.file.reset();
            observer.FileFinished(int(i));
        }
    } catch (const ESameFile &) {
        throw; // the output is discarded
    } catch (const EInOutError &) {
        // The output keeps a movie of what was copied, when it can be written.
        try {
            Finish(out, inputs, layout, observer.bytes);
        } catch (const platform::Exception &) {
        }
        throw;
    }
    if (stopped)
        Finish(out, inputs, layout, observer.bytes);
    out.Close();
    if (stopped)
        throw JoinStopped();
    return output;
}

} // namespace app
