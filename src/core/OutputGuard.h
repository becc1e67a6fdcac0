// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The output guard: every rule that keeps a join from destroying one of its
// inputs, or the file its output's name held before. Every join (the byte
// join, the movie joins and any join to come) looks at its inputs, makes
// its output and opens its inputs through one guard; no join keeps a rule
// of its own.
//
// Inputs and output are "the same file" when they have one identity; when
// they are one file seen through another view (platform::SameFile: inode,
// size and time under another device number, as through FUSE or overlay
// mounts); or when they are one entry spelt in another case on a file
// system that ignores case (platform::SameEntryIgnoringCase). A link into
// /proc/self/fd leads to whatever the program has open under that number,
// the output's new file included. The rules are checked at three points:
// 1. LookAtInputs, before anything is created: every input is found,
//    readable and a regular file, and none is the output as it is now.
// 2. CreateOutput: on the new output before anything of the old file is cut
//    or replaced (File::Create's check), no input is the new file or the
//    file it replaces.
// 3. OpenInput: each input as it is opened for reading is the very file
//    looked at, and neither the output's new file nor its old one.
//
// A join that ends early (stopped or failed) never destroys a file that
// existed before: a new file that was to replace an existing one is
// dropped, and the old one stays whole. A new output keeps exactly what was
// written (its prefix); so does one that is written in place (a file with
// other names, another owner, a mount point), whose old bytes went when it
// was created.
#include "core/JoinObserver.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/FileName.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace app {

// The refusal to join into an output that is one of the inputs.
class ESameFile : public platform::EInOutError {
public:
    using EInOutError::EInOutError;
};

class OutputGuard {
public:
    // The refusal to join a file into itself (InOutCode::AccessDenied), and
    // an input that is no longer the file looked at (InOutCode::ReadError):
    // renamed over or replaced while the join ran.
    static QString SameFileMessage(const platform::FileName &input);
    static QString ReplacedInputMessage(const platform::FileName &input);

    OutputGuard(platform::FileName output, std::vector<platform::FileName> inputs);

    const platform::FileName &Output() const { return output_; }
    const std::vector<platform::FileName> &Inputs() const { return inputs_; }
    int Count() const { return int(inputs_.size()); }

    // Point 1: opens every input once, in order, and checks it; as many as
    // the system's descriptors allow stay open until OpenInput takes them.
    // Throws, naming the first input that fails (platform::EInOutError, or
    // ESameFile). Returns the inputs' sizes added up.
    qint64 LookAtInputs();
    // Input index as looked at: its identity and size.
    const platform::FileId &Looked(int index) const { return looks_[std::size_t(index)]; }

    // Point 2: the output, created by File::Create with this guard's check.
    platform::File CreateOutput();

    // Point 3: input index opened for reading: the file kept open since
    // the look, or the name opened again; CheckInput tells whether it may be read.
    platform::File OpenInput(int index);
    // Whether the look kept input index open, as descriptors allow: a join
    // that reads it twice may keep it open between the two.
    bool KeepsOpen(int index) const { return std::size_t(index) < kept_.size(); }
    // Refuses input (from OpenInput) when it is output's new file or the
    // file that one replaces (output is then dropped), and when it is no
    // longer the file looked at. Without output, only the latter.
    void CheckInput(int index, const platform::File &input, platform::File *output) const;

    // For a join stopped or failed after CreateOutput: drops output when it
    // was to replace an existing file, which stays whole, and says so (true);
    // false for an output that keeps what was written.
    static bool DropIfReplacing(platform::File &output) noexcept;
    // Ends a join stopped after CreateOutput: as DropIfReplacing, except that
    // an output that keeps what was written gets keepPrefix (which cuts it to
    // what the person saw joined, or ends its stream) and is closed under its
    // name. Throws JoinStopped saying which.
    [[noreturn]] static void Stop(platform::File &output, const std::function<void()> &keepPrefix);
    // Ends a join stopped before CreateOutput: the output's name holds what it held.
    [[noreturn]] void StopBeforeOutput() const;

private:
    // Whether writing to output (of identity outputId) could destroy input i.
    bool Endangers(const std::optional<platform::FileId> &outputId, int index) const;
    [[noreturn]] void RefuseSameFile(int index) const;

    platform::FileName output_;
    std::vector<platform::FileName> inputs_;
    std::vector<platform::FileId> looks_;
    std::vector<platform::File> kept_; // the inputs looked at and kept open, by index; closed ones beyond
    bool outputExisted_ = false;
    bool spellingsMayDiffer_ = true;                  // on the output's file system, asked once at each point
    std::optional<platform::FileId> made_, replaced_; // the output's new file and the one it replaces
};

} // namespace app
