#pragma once
// The join: copies every input, byte for byte and in order, into one output
// file, telling an observer (the main window, a test, the benchmark) about
// each step so it can move its progress bars and keep the window responsive.
#include "platform/Exceptions.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace app {

class JoinObserver {
public:
    virtual ~JoinObserver() = default;
    // Caption at that position, read when its turn comes. The engine also
    // reads every name once before it creates the output, to refuse a join
    // whose output is one of its inputs.
    virtual QString InputName(int index) = 0;
    virtual void OutputCreated() {}                     // output created/truncated; the window resets all icons now
    virtual void FileStarted(int /*index*/, qint64 /*size*/) {} // input opened; size measured once
    virtual void BlockCopied(int /*index*/, qint64 /*got*/) {} // after each write of `got` bytes
    virtual void FileFinished(int /*index*/) {}          // input closed, file complete
    virtual void PumpEvents() {}                        // called after each read and after each write
};

class JoinEngine {
public:
    static constexpr int BlockSize = 4097;
    // The bytes move between the files in pieces of this size; the blocks
    // above are handed out from them.
    static constexpr qint64 PieceSize = 1024 * 1024;
    // Code of the error raised when an input ends before the size measured
    // when it was opened (it shrank while being copied).
    static constexpr int ShrunkInputCode = 100;
    // Code of the refusal to join a file into itself.
    static constexpr int SameFileCode = 5;

    // Copies inputs 0..count-1 (names from the observer) into output, in order.
    // Throws platform::EInOutError at the first failure; the output is then closed and keeps
    // exactly the bytes written so far; the open input is closed.
    void Join(const QString &output, int count, JoinObserver &observer);

    // Whether the system may copy the bytes between the files itself (where it
    // can); off, they always pass through the program's buffer.
    bool KernelCopy() const { return kernelCopy_; }
    void SetKernelCopy(bool value) { kernelCopy_ = value; }
    // Index of the first input that is the same file as output (by file identity, not spelling), or -1.
    static int FindInputSameAsOutput(const QString &output, const QStringList &inputs);

    // The messages of the two errors the engine raises itself; each names the file.
    static QString ShrunkInputMessage(const QString &input);
    static QString SameFileMessage(const QString &input);

private:
    bool kernelCopy_ = true;
};

} // namespace app
