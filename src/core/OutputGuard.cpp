// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/OutputGuard.h"

#include <algorithm>

namespace app {

using platform::EInOutError;
using platform::File;
using platform::FileId;
using platform::FileName;

QString OutputGuard::SameFileMessage(const FileName &input)
{
    return QStringLiteral("The output file is the input %1; it was left untouched").arg(input.Display());
}

QString OutputGuard::ReplacedInputMessage(const FileName &input)
{
    return QStringLiteral("Read error: %1 was replaced by another file while it was being joined").arg(input.Display());
}

OutputGuard::OutputGuard(FileName output, std::vector<FileName> inputs)
    : output_(std::move(output)), inputs_(std::move(inputs))
{}

bool OutputGuard::Endangers(const std::optional<FileId> &outputId, int index) const
{
    return outputId && (platform::SameFile(looks_[std::size_t(index)], *outputId) ||
                        (spellingsMayDiffer_ && platform::SameEntryIgnoringCase(output_, inputs_[std::size_t(index)])));
}

void OutputGuard::RefuseSameFile(int index) const
{
    throw ESameFile(platform::InOutCode::AccessDenied, SameFileMessage(inputs_[std::size_t(index)]));
}

qint64 OutputGuard::LookAtInputs()
{
    const std::optional<FileId> outputId = platform::IdentityOf(output_);
    outputExisted_ = outputId.has_value();
    spellingsMayDiffer_ = platform::SpellingsMayDiffer(output_);
    // Opening is the one test of "readable"; a look that keeps the file
    // open makes it the one joined, whatever is renamed over its name.
    const int count = Count(), handles = platform::InputHandleBudget();
    looks_.clear();
    kept_.clear();
    looks_.reserve(std::size_t(count));
    kept_.reserve(std::size_t(std::min(count, handles)));
    platform::ReserveHandles(std::min(count, handles) + 8); // and the output's few
    qint64 total = 0;
    for (int i = 0; i < count; ++i) {
        File input = File::OpenRead(inputs_[std::size_t(i)]);
        looks_.push_back(input.Identity());
        total += looks_.back().size;
        if (Endangers(outputId, i))
            RefuseSameFile(i);
        if (i < handles)
            kept_.push_back(std::move(input));
    }
    return total;
}

File OutputGuard::CreateOutput()
{
    return File::Create(output_, [this](const File &out) {
        spellingsMayDiffer_ = platform::SpellingsMayDiffer(output_);
        made_ = out.Identity();
        replaced_ = out.ReplacedIdentity();
        for (int i = 0; i < Count(); ++i)
            if (Endangers(made_, i) || Endangers(replaced_, i))
                RefuseSameFile(i);
    });
}

File OutputGuard::OpenInput(int index)
{
    const auto at = std::size_t(index);
    return at < kept_.size() && kept_[at].IsOpen() ? std::move(kept_[at]) : File::OpenRead(inputs_[at]);
}

void OutputGuard::CheckInput(int index, const File &input, File *output) const
{
    // A name opened again may lead anywhere now: through /proc/self/fd, to
    // the output's own new file.
    const FileId id = input.Identity();
    if (output) {
        const FileId made = made_ ? *made_ : output->Identity();
        if (platform::SameFile(id, made) || (replaced_ && platform::SameFile(id, *replaced_))) {
            output->Discard();
            RefuseSameFile(index);
        }
    }
    const FileName &name = inputs_[std::size_t(index)];
    if (!(id == looks_[std::size_t(index)])) {
        EInOutError error(platform::InOutCode::ReadError, ReplacedInputMessage(name));
        error.SetDetails(name.Display());
        throw error;
    }
}

bool OutputGuard::DropIfReplacing(File &output) noexcept
{
    if (!output.ReplacedIdentity() || !output.IsOpen())
        return false;
    output.Discard();
    return true;
}

void OutputGuard::Stop(File &output, const std::function<void()> &keepPrefix)
{
    if (DropIfReplacing(output))
        throw JoinStopped{OutputLeft::AsBefore};
    keepPrefix();
    output.Close();
    throw JoinStopped{OutputLeft::Prefix};
}

void OutputGuard::StopBeforeOutput() const
{
    throw JoinStopped{outputExisted_ ? OutputLeft::AsBefore : OutputLeft::Nothing};
}

} // namespace app
