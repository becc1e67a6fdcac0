#include "app/JoinEngine.h"

#include "platform/File.h"

#include <algorithm>
#include <array>

namespace app {

using platform::EInOutError;
using platform::File;

QString JoinEngine::ShrunkInputMessage(const QString &input)
{
    return QStringLiteral("Read error: %1 became shorter while it was being joined").arg(input);
}

QString JoinEngine::SameFileMessage(const QString &input)
{
    return QStringLiteral("The output file is the input %1; it was left untouched").arg(input);
}

int JoinEngine::FindInputSameAsOutput(const QString &output, const QStringList &inputs)
{
    const auto outputId = platform::IdentityOf(output);
    if (!outputId)
        return -1; // an output that does not exist yet cannot be any input
    for (int i = 0; i < inputs.size(); ++i) {
        if (platform::IdentityOf(inputs[i]) == outputId)
            return i;
    }
    return -1;
}

void JoinEngine::Join(const QString &output, int count, JoinObserver &observer)
{
    // Creating the output truncates it; if it is one of the inputs, that input
    // would be lost before it is read. Refuse before touching anything.
    QStringList names;
    names.reserve(count);
    for (int i = 0; i < count; ++i)
        names << observer.InputName(i);
    if (const int same = FindInputSameAsOutput(output, names); same >= 0)
        throw EInOutError(SameFileCode, SameFileMessage(names[same]));

    File out = File::Create(output);
    const platform::FileId outputId = out.Identity();
    observer.OutputCreated();

    std::array<char, BlockSize> buffer;
    for (int i = 0; i < count; ++i) {
        const QString name = observer.InputName(i);
        File in = File::OpenRead(name);
        // The list may have changed since the check above (names are read when
        // their turn comes); never copy the output into itself.
        if (in.Identity() == outputId)
            throw EInOutError(SameFileCode, SameFileMessage(name));
        const qint64 size = in.Size();
        observer.FileStarted(i, size);

        qint64 remaining = size;
        while (remaining > 0) {
            // Never more than measured: a file that grows meanwhile is copied
            // at the size its progress bar was given.
            const qint64 got = in.Read(buffer.data(), std::min<qint64>(BlockSize, remaining));
            if (got == 0)
                throw EInOutError(ShrunkInputCode, ShrunkInputMessage(name));
            observer.PumpEvents();
            remaining -= got;
            out.WriteAll(buffer.data(), got);
            observer.PumpEvents();
            observer.BlockCopied(i, got);
        }
        in.Close();
        observer.FileFinished(i);
    }
    out.Close();
}

} // namespace app
