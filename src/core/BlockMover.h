// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The fastest way this program has to copy bytes from one file into another,
// shared by every join that copies an input's bytes as they are (the byte
// join, the MP4 join's media data): they move in large pieces and are told
// to the join's observer in blocks, each block already in the output when
// it is told.
#include "core/JoinObserver.h"
#include "platform/File.h"
#include "platform/FileName.h"

#include <memory>
#include <new>

namespace app {

class BlockMover {
public:
    // Where the system copies between the two files itself (kernelCopy), the
    // bytes never pass through the program; otherwise, and from the first
    // piece the system cannot copy on, they go through one page-aligned
    // buffer. The system's copy was the faster on ext4 and tmpfs at every
    // size from 4 KiB files to 3 x 256 MiB, and it shares blocks where the
    // file system can (btrfs, XFS) or copies on the server (NFS, SMB).
    BlockMover(platform::File &out, bool kernelCopy) : out_(out), kernelCopy_(kernelCopy) {}

    // Copies size bytes of in, from its position on, to the output's
    // position, in blocks of at most JoinEngine::BlockSize bytes: each is told
    // with observer.BlockCopied(index, bytes), after which StopRequested is
    // asked. Returns false when it asked to stop; the piece under way may
    // then reach past the last block told (Told() says where that ended). An
    // input that ends early is the error JoinEngine::ShrunkInputMessage names
    // (called name).
    bool Copy(platform::File &in, qint64 size, int index, const platform::FileName &name, JoinObserver &observer);

    // The bytes told so far, over every Copy.
    qint64 Told() const { return told_; }

private:
    // The next block of at most max bytes, already written; its size, or 0
    // when the input ended before its measured size.
    qint64 Next(qint64 max);
    // Up to n bytes from the input into the output; 0 at the input's end.
    qint64 Move(qint64 n);

    platform::File &out_;
    platform::File *in_ = nullptr;
    bool kernelCopy_;
    // On a page boundary: the system copies a buffer that starts mid-page
    // into the output's pages at two thirds of the speed (measured on ext4).
    static constexpr std::size_t BufferAlignment = 4096;
    struct AlignedDelete {
        void operator()(char *p) const { ::operator delete[](p, std::align_val_t(BufferAlignment)); }
    };
    std::unique_ptr<char[], AlignedDelete> buffer_;
    qint64 due_ = 0;   // bytes of the input not yet moved
    qint64 ready_ = 0; // bytes moved but not yet handed out as blocks
    qint64 told_ = 0;
};

} // namespace app
