// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/BlockMover.h"

#include "core/JoinEngine.h"

#include <algorithm>

namespace app {

using platform::EInOutError;
using platform::File;

// Reading and writing 4097 bytes at a time made the system work on two
// partial pages per call and left the join at a third of a plain copy's
// speed, so the bytes move in pieces of JoinEngine::Piece and are counted out
// in blocks afterwards. A piece is in the output before any of its blocks is
// handed out, so the progress shown never runs ahead of the output, and the
// blocks, their order and the events between them are the same on both paths.
bool BlockMover::Copy(File &in, qint64 size, int index, const platform::FileName &name, JoinObserver &observer)
{
    in_ = &in;
    due_ = size;
    ready_ = 0;
    qint64 remaining = size;
    while (remaining > 0) {
        // Never more than measured: a file that grows meanwhile is copied at
        // the size its progress bar was given.
        const qint64 got = Next(JoinEngine::BlockSize);
        if (got == 0)
            throw EInOutError(platform::InOutCode::ReadError, JoinEngine::ShrunkInputMessage(name));
        remaining -= got;
        told_ += got;
        observer.BlockCopied(index, got);
        if (observer.StopRequested())
            return false;
    }
    return true;
}

qint64 BlockMover::Next(qint64 max)
{
    const qint64 wanted = std::min(max, ready_ + due_);
    while (ready_ < wanted) {
        const qint64 moved = Move(std::min(JoinEngine::Piece, due_));
        if (moved == 0)
            break;
        ready_ += moved;
        due_ -= moved;
    }
    const qint64 block = std::min(max, ready_);
    ready_ -= block;
    return block;
}

qint64 BlockMover::Move(qint64 n)
{
    if (kernelCopy_) {
        const qint64 got = File::CopyRange(*in_, out_, n);
        if (got > 0)
            return got;
        // Not between these files: through the buffer from now on. Nothing
        // copied before the measured end proves no end either, as some file
        // systems copy nothing where a read still gives bytes: the read decides.
        kernelCopy_ = false;
    }
    if (!buffer_)
        buffer_.reset(static_cast<char *>(::operator new[](JoinEngine::Piece, std::align_val_t(BufferAlignment))));
    const qint64 got = in_->Read(buffer_.get(), n);
    out_.WriteAll(buffer_.get(), got);
    return got;
}

} // namespace app
