// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The byte join: copies every input, byte for byte and in order, into one
// output file, telling an observer (the join session, a test) about each
// step and asking it after each block whether to stop.
#include "core/JoinObserver.h"
#include "core/OutputGuard.h"
#include "platform/Exceptions.h"
#include "platform/FileName.h"

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace app {

class JoinEngine {
public:
    static constexpr int BlockSize = 4097;
    // The bytes move between the files in pieces of 1 MiB, whole pages that
    // the system writes fastest; the blocks are counted out of them, so no
    // block is split where a piece ends.
    static constexpr qint64 Piece = qint64(1) << 20;

    // Copies the inputs into output, in order: looks at the inputs through
    // an OutputGuard (JoinStarted once it has), then Write.
    void Join(const platform::FileName &output, const std::vector<platform::FileName> &inputs, JoinObserver &observer);

    // Creates the guard's output and copies into it each input the guard
    // has looked at. Throws platform::EInOutError at the first failure, and
    // JoinStopped when the observer asks to stop; either way the guard's
    // rule for an early end holds: an existing file stays whole, a new
    // output holds exactly the blocks reported so far (a failure may leave
    // the beginning of the next one too, never a byte twice).
    void Write(OutputGuard &guard, JoinObserver &observer);

    // Whether the system copies the bytes between the files itself (where it
    // can) or they pass through the program's buffer; unless set, the system.
    void SetKernelCopy(bool value) { kernelCopy_ = value; }

    // The message of the error the engine raises itself (InOutCode::ReadError)
    // when an input ends before the size it had when opened; it names the file.
    static QString ShrunkInputMessage(const platform::FileName &input);

private:
    void Copy(OutputGuard &guard, platform::File &out, JoinObserver &observer);

    std::optional<bool> kernelCopy_;
};

} // namespace app
