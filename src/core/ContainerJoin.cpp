// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ContainerJoin.h"

#include "core/MediaLibrary.h"
#include "core/MovieJoin.h"
#include "core/PathRules.h"
#include "core/RecordingPieces.h"

#include <algorithm>

namespace app {

using platform::FileName;

namespace {

QString Shown(const FileName &name) { return QString::fromUtf8(name.LastPart()); }

QString ContainerWords(const FileName &name)
{
    switch (ContainerOf(name)) {
    case Container::Mp4: return QStringLiteral("an MP4 file");
    case Container::Matroska: return QStringLiteral("a Matroska file");
    case Container::TransportStream: return QStringLiteral("an MPEG transport stream");
    case Container::DvdVideo: return QStringLiteral("a DVD program stream");
    case Container::None: break;
    }
    return QStringLiteral("a .%1 file").arg(QString::fromUtf8(name.Extension()).toLower());
}

// What a join of these files does, for the hints and the notice.
QString HowWords(JoinKind kind)
{
    switch (kind) {
    case JoinKind::Matroska:
        return QStringLiteral("Matroska files are joined as one movie: each file's tracks follow the file before");
    case JoinKind::Transport:
        return QStringLiteral("The transport streams run on clocks of their own: they are joined as one movie");
    case JoinKind::ProgramStream:
        return QStringLiteral("The VOBs do not continue each other: they are joined as one DVD program stream");
    case JoinKind::Pieces:
        return QStringLiteral("The pieces continue each other: they are joined byte for byte, as one recording");
    default: break;
    }
    return {};
}

[[noreturn]] void Refuse(const FileName &name, const QString &message)
{
    EMixedFormats error(platform::InOutCode::ReadError, message);
    error.SetDetails(name.Display());
    throw error;
}

pieces::Format PieceFormat(Container container)
{
    return container == Container::DvdVideo ? pieces::Format::ProgramStream : pieces::Format::TransportStream;
}

// Empty when every input continues the one before it as the next packet
// of one recording would; otherwise why not, naming the file.
QString WhyNotPieces(OutputGuard &guard, Container container, JoinObserver &observer)
{
    const pieces::Format format = PieceFormat(container);
    const QString typeWords = ContainerWords(guard.Inputs().front());
    pieces::EndWindow tail;
    for (int i = 0; i < guard.Count(); ++i) {
        if (observer.StopRequested())
            guard.StopBeforeOutput();
        const FileName &name = guard.Inputs()[std::size_t(i)];
        platform::File file = guard.OpenInput(i);
        guard.CheckInput(i, file, nullptr);
        const pieces::EndWindow head = pieces::ReadHead(file, format);
        if (head.clock.empty() && head.times.empty())
            Refuse(name, QStringLiteral("%1 cannot be read as %2").arg(Shown(name), typeWords));
        QString why;
        if (i > 0) {
            why = head.program == tail.program ? pieces::Follows(tail, head)
                                               : QStringLiteral("its program or streams are not those before");
        }
        if (!why.isEmpty())
            return Shown(name) + QStringLiteral(": ") + why;
        tail = pieces::ReadTail(file, format);
    }
    return {};
}

} // namespace

bool SketchContainerJoin(const JoinRequest &request, JoinPlan &plan)
{
    const auto &inputs = request.inputs;
    // MP4 lists are the MP4 join's, but for MP4 mixed with these types.
    const bool ours = std::any_of(inputs.begin(), inputs.end(), [](const FileName &name) {
        return ContainerOf(name) != Container::None && ContainerOf(name) != Container::Mp4;
    });
    if (!ours)
        return false;
    const Container first = ContainerOf(inputs.front());
    plan.chosen = false;
    for (const FileName &name : inputs)
        if (ContainerOf(name) != first) {
            plan.kind = JoinKind::Bytes;
            plan.refusal = QStringLiteral("%1 is %2; the first file is %3")
                               .arg(Shown(name), ContainerWords(name), ContainerWords(inputs.front()));
            return true;
        }
    // By names, the likelier join: recordings on clocks of their own are
    // told apart from pieces of one only by reading them.
    plan.kind = first == Container::Matroska          ? JoinKind::Matroska
                : first == Container::TransportStream ? JoinKind::Transport
                                                      : JoinKind::Pieces;
    plan.how = HowWords(plan.kind);
    return true;
}

FileName ContainerJoinOutput(const JoinRequest &request) { return request.output; }

std::unique_ptr<ReadyJoin> ReadyContainerJoin(JoinPlan &plan, const JoinRequest &request, OutputGuard &&guard,
                                              JoinObserver &observer)
{
    const Container container = ContainerOf(request.inputs.front());
    if (container != Container::Matroska) {
        const QString why = WhyNotPieces(guard, container, observer);
        if (why.isEmpty()) {
            plan.kind = JoinKind::Pieces;
            plan.how = HowWords(plan.kind);
            return ReadyBytes(std::move(guard));
        }
        plan.kind = container == Container::TransportStream ? JoinKind::Transport : JoinKind::ProgramStream;
        plan.how = HowWords(plan.kind) + QStringLiteral(" (") + why + QLatin1Char(')');
    }
    auto join = MediaLibrary().readyMovie(plan, std::move(guard), observer);
    plan.how = plan.how.isEmpty() ? HowWords(plan.kind) : plan.how;
    return join;
}

} // namespace app
