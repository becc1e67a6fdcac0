// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every join tells while it runs (the join session, the command line
// and the tests listen), and how it is stopped.
#include <QtGlobal>

namespace app {

// What the output's name holds after a join that ended early.
enum class OutputLeft {
    Prefix,   // exactly the part joined: the output did not exist before
    AsBefore, // the file it held before the join, whole: the new part was dropped
    Nothing,  // nothing: the join ended before it made an output that did not exist
};

// Thrown out of a join when the observer asks to stop.
struct JoinStopped {
    OutputLeft left = OutputLeft::Prefix;
};

class JoinObserver {
public:
    virtual ~JoinObserver() = default;
    virtual void JoinStarted(qint64 /*totalBytes*/) {} // inputs looked at; their sizes as measured then
    virtual void OutputCreated() {}                    // output created (it replaces the old file once complete)
    virtual void FileStarted(int /*index*/, qint64 /*size*/) {} // input opened; size measured once
    virtual void BlockCopied(int /*index*/, qint64 /*got*/) {}  // the block's bytes are in the output now
    virtual void FileFinished(int /*index*/) {}                 // input closed, file complete
    // Asked after each block, and while a join reads its inputs before it
    // writes; true ends the join with JoinStopped.
    virtual bool StopRequested() { return false; }
};

} // namespace app
