// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The join: copies every input, byte for byte and in order, into one output
// file, telling an observer (the join session, a test) about each step and
// asking it after each block whether to stop.
#include "core/JoinObserver.h"
#include "platform/Exceptions.h"
#include "platform/FileName.h"

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace app {

// The refusal to join into an output that is one of the inputs.
class ESameFile : public platform::EInOutError {
public:
    using EInOutError::EInOutError;
};

class JoinEngine {
public:
    static constexpr int BlockSize = 4097;
    // The bytes move between the files in pieces of 1 MiB, whole pages that
    // the system writes fastest; the blocks are counted out of them, so no
    // block is split where a piece ends.
    static constexpr qint64 Piece = qint64(1) << 20;
    // Code of the error raised when an input ends before the size measured
    // when it was opened (it shrank while being copied).
    static constexpr int ShrunkInputCode = 100;
    // Code of the refusal to join a file into itself.
    static constexpr int SameFileCode = 5;

    // Copies the inputs into output, in order. Before the output is touched,
    // every input is checked: one that is the output itself (ESameFile), or
    // that is no regular file (a pipe, a socket, a device), refuses the join.
    // Throws platform::EInOutError at the first failure; the output then holds
    // exactly the blocks reported so far and perhaps the beginning of the
    // next, never a byte twice; the open input is closed.
    void Join(const platform::FileName &output, const std::vector<platform::FileName> &inputs, JoinObserver &observer);

    // Whether the system copies the bytes between the files itself (where it
    // can) or they pass through the program's buffer. Unless set, the join
    // asks the output's file system (platform::File::KernelCopyPays).
    void SetKernelCopy(bool value) { kernelCopy_ = value; }

    // Index of the first input that is the same file as output (by file identity, not spelling), or -1.
    static int FindInputSameAsOutput(const platform::FileName &output, const std::vector<platform::FileName> &inputs);

    // The messages of the two errors the engine raises itself; each names the file.
    static QString ShrunkInputMessage(const platform::FileName &input);
    static QString SameFileMessage(const platform::FileName &input);

private:
    std::optional<bool> kernelCopy_;
};

} // namespace app
