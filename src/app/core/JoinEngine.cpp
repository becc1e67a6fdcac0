#include "app/JoinEngine.h"

#include "platform/File.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace app {

using platform::EInOutError;
using platform::File;

namespace {

// Moves the bytes of the join in large pieces and hands them to the loop in
// blocks of up to 4097 bytes. Reading and writing 4097 bytes at a time made
// the system work on two partial pages per call and left the join at a third
// of a plain copy's speed. Where the system can copy between the two files
// itself, the bytes never pass through the program; elsewhere they go through
// one buffer, read and written in large pieces. The blocks, their order, the
// events between them and their progress reports are the same either way.
class BlockMover {
public:
    BlockMover(File &out, bool kernelCopy) : out_(out), kernelCopy_(kernelCopy)
    {
        if (!kernelCopy_)
            data_.reset(new char[Piece]);
    }

    void StartInput(File *in, qint64 size)
    {
        in_ = in;
        due_ = size;
    }

    // Makes the next block of at most max bytes ready and returns its size;
    // 0 when the input ended before its measured size.
    qint64 Read(qint64 max)
    {
        if (ready_ == 0 && kernelCopy_) {
            const qint64 got = File::CopyRange(*in_, out_, std::min(Piece, due_));
            if (got < 0) {
                kernelCopy_ = false;
                data_.reset(new char[Piece]);
            } else {
                ready_ = got;
                due_ -= got;
            }
        }
        if (!kernelCopy_ && consumed_ == filled_) {
            if (filled_ == Piece) {
                Flush();
                start_ = consumed_ = filled_ = 0;
            }
            const qint64 got = in_->Read(data_.get() + filled_, std::min(Piece - filled_, due_));
            filled_ += got;
            due_ -= got;
            ready_ = got;
        }
        return std::min(max, ready_);
    }

    // The block just read belongs to the output now.
    void Write(qint64 n)
    {
        ready_ -= n;
        if (!kernelCopy_)
            consumed_ += n;
    }

    // Everything written so far is in the output file.
    void Flush()
    {
        if (consumed_ > start_)
            out_.WriteAll(data_.get() + start_, consumed_ - start_);
        start_ = consumed_;
    }

private:
    static constexpr qint64 Piece = JoinEngine::PieceSize;
    File &out_;
    File *in_ = nullptr;
    bool kernelCopy_;
    std::unique_ptr<char[]> data_;
    qint64 due_ = 0, ready_ = 0;
    qint64 start_ = 0, consumed_ = 0, filled_ = 0;
};

} // namespace

QString JoinEngine::ShrunkInputMessage(const QString &input)
{
    return QStringLiteral("Read error: %1 became shorter while it was being joined").arg(input);
}

QString JoinEngine::SameFileMessage(const QString &input)
{
    return QStringLiteral("The output file is the input %1; it was left untouched").arg(input);
}

int JoinEngine::FindInputSameAsOutput(const QString &output, const QStringList &inputs)
{
    const auto outputId = platform::IdentityOf(output);
    if (!outputId)
        return -1; // an output that does not exist yet cannot be any input
    for (int i = 0; i < inputs.size(); ++i) {
        if (platform::IdentityOf(inputs[i]) == outputId)
            return i;
    }
    return -1;
}

void JoinEngine::Join(const QString &output, int count, JoinObserver &observer)
{
    // Creating the output truncates it; if it is one of the inputs, that input
    // would be lost before it is read. Refuse before touching anything.
    QStringList names;
    names.reserve(count);
    for (int i = 0; i < count; ++i)
        names << observer.InputName(i);
    if (const int same = FindInputSameAsOutput(output, names); same >= 0)
        throw EInOutError(SameFileCode, SameFileMessage(names[same]));

    File out = File::Create(output);
    const platform::FileId outputId = out.Identity();
    observer.OutputCreated();

    BlockMover mover(out, kernelCopy_);
    try {
        for (int i = 0; i < count; ++i) {
            const QString name = observer.InputName(i);
            File in = File::OpenRead(name);
            // The list may have changed since the check above (names are read when
            // their turn comes); never copy the output into itself.
            if (in.Identity() == outputId)
                throw EInOutError(SameFileCode, SameFileMessage(name));
            const qint64 size = in.Size();
            observer.FileStarted(i, size);

            mover.StartInput(&in, size);
            qint64 remaining = size;
            while (remaining > 0) {
                // Never more than measured: a file that grows meanwhile is copied
                // at the size its progress bar was given.
                const qint64 got = mover.Read(BlockSize);
                if (got == 0)
                    throw EInOutError(ShrunkInputCode, ShrunkInputMessage(name));
                observer.PumpEvents();
                remaining -= got;
                mover.Write(got);
                observer.PumpEvents();
                observer.BlockCopied(i, got);
            }
            in.Close();
            // A file counts as joined only when all of its bytes are in the output.
            mover.Flush();
            observer.FileFinished(i);
        }
    } catch (...) {
        // The blocks copied before the failure stay in the output.
        try {
            mover.Flush();
        } catch (const platform::Exception &) {
        }
        throw;
    }
    out.Close();
}

} // namespace app
