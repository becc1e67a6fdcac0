// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/JoinEngine.h"

#include "core/BlockMover.h"
#include "platform/File.h"

namespace app {

using platform::File;
using platform::FileName;

QString JoinEngine::ShrunkInputMessage(const FileName &input)
{
    return QStringLiteral("Read error: %1 became shorter while it was being joined").arg(input.Display());
}

void JoinEngine::Join(const FileName &output, const std::vector<FileName> &inputs, JoinObserver &observer)
{
    OutputGuard guard(output, inputs);
    observer.JoinStarted(guard.LookAtInputs());
    Write(guard, observer);
}

void JoinEngine::Write(OutputGuard &guard, JoinObserver &observer)
{
    File out = guard.CreateOutput();
    observer.OutputCreated();
    try {
        Copy(guard, out, observer);
    } catch (const JoinStopped &) {
        throw;
    } catch (...) {
        OutputGuard::DropIfReplacing(out);
        throw;
    }
    out.Close();
}

void JoinEngine::Copy(OutputGuard &guard, File &out, JoinObserver &observer)
{
    BlockMover mover(out, kernelCopy_.value_or(true));
    for (int i = 0; i < guard.Count(); ++i) {
        File in = guard.OpenInput(i);
        guard.CheckInput(i, in, &out);
        const qint64 size = in.Size();
        observer.FileStarted(i, size);
        // The piece under way may reach past the last block shown; the
        // output keeps exactly what the person saw joined.
        if (!mover.Copy(in, size, i, guard.Inputs()[std::size_t(i)], observer))
            OutputGuard::Stop(out, [&] { out.Truncate(mover.Told()); });
        in.Close();
        observer.FileFinished(i);
    }
}

} // namespace app
