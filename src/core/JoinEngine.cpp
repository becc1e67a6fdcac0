// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/JoinEngine.h"

#include "core/BlockMover.h"
#include "platform/File.h"

#include <optional>

namespace app {

using platform::File;
using platform::FileName;

QString JoinEngine::ShrunkInputMessage(const FileName &input)
{
    return QStringLiteral("Read error: %1 became shorter while it was being joined").arg(input.Display());
}

QString JoinEngine::SameFileMessage(const FileName &input)
{
    return QStringLiteral("The output file is the input %1; it was left untouched").arg(input.Display());
}

namespace {

// Whether writing output could destroy input: the same file under any name
// or view, the output's new file itself, or one entry spelt in another case.
bool Endangers(const FileName &output, const std::optional<platform::FileId> &outputId, const FileName &input,
               const std::optional<platform::FileId> &inputId)
{
    if (inputId && outputId && platform::SameFile(*inputId, *outputId))
        return true;
    return inputId && outputId && platform::SameEntryIgnoringCase(output, input);
}

} // namespace

int JoinEngine::FindInputSameAsOutput(const FileName &output, const std::vector<FileName> &inputs)
{
    const auto outputId = platform::IdentityOf(output);
    if (!outputId)
        return -1; // an output that does not exist yet cannot be any input
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (Endangers(output, outputId, inputs[i], platform::IdentityOf(inputs[i])))
            return int(i);
    }
    return -1;
}

std::vector<platform::InputLook> JoinEngine::LookAtInputs(const std::vector<FileName> &names, qint64 *total)
{
    // An input that is a pipe or a device could stall the join for ever:
    // refuse it before touching anything. Each input is looked at once, and
    // as many looks as descriptors allow keep the file they saw, which is
    // then the one joined, whatever is renamed over its name meanwhile.
    const int handles = platform::InputHandleBudget();
    std::vector<platform::InputLook> looks;
    looks.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        looks.push_back(platform::LookAtInput(names[i], int(i) < handles));
        if (total)
            *total += looks.back().Identity() ? looks.back().Identity()->size : 0;
    }
    return looks;
}

void JoinEngine::RefuseEndangeredInputs(const FileName &output, const File &out, const std::vector<FileName> &names,
                                        const std::vector<platform::InputLook> &looks)
{
    const platform::FileId made = out.Identity();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto &look = looks[i].Identity();
        if (Endangers(output, made, names[i], look) || Endangers(output, out.ReplacedIdentity(), names[i], look))
            throw ESameFile(SameFileCode, SameFileMessage(names[i]));
    }
}

void JoinEngine::RefuseOutputAsInput(File &out, const platform::FileId &outputId, const File &in, const FileName &name)
{
    const platform::FileId id = in.Identity();
    if (platform::SameFile(id, outputId) ||
        (out.ReplacedIdentity() && platform::SameFile(id, *out.ReplacedIdentity()))) {
        out.Discard();
        throw ESameFile(SameFileCode, SameFileMessage(name));
    }
}

void JoinEngine::Join(const FileName &output, const std::vector<FileName> &names, JoinObserver &observer)
{
    qint64 total = 0;
    std::vector<platform::InputLook> looks = LookAtInputs(names, &total);
    observer.JoinStarted(total);

    // Creating the output replaces it; if it is one of the inputs, that input
    // would be lost. The check runs on the opened output, before anything of
    // the old file is cut or replaced.
    File out = File::Create(output, [&](const File &made) { RefuseEndangeredInputs(output, made, names, looks); });
    observer.OutputCreated();

    // The output's identity stays what it is; looked up once, not per input.
    const platform::FileId outputId = out.Identity();
    BlockMover mover(out, kernelCopy_.value_or(out.KernelCopyPays()));
    for (int i = 0; i < int(names.size()); ++i) {
        const FileName &name = names[std::size_t(i)];
        File in = File::OpenRead(name, &looks[std::size_t(i)]);
        // A file opened by name may have been swapped since the look; never
        // copy the output, old or new, into itself.
        RefuseOutputAsInput(out, outputId, in, name);
        const qint64 size = in.Size();
        observer.FileStarted(i, size);
        if (!mover.Copy(in, size, i, name, observer))
            throw JoinStopped();
        in.Close();
        observer.FileFinished(i);
    }
    out.Close();
}

} // namespace app
