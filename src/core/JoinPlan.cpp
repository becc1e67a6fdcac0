// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/JoinPlan.h"

#include "core/ClipFacts.h"
#include "core/ContainerJoin.h"
#include "core/JoinEngine.h"
#include "core/MovieJoin.h"
#include "core/Mp4Join.h"

namespace app {

using platform::FileName;

QString KindWords(JoinKind kind)
{
    switch (kind) {
    case JoinKind::Bytes:
    case JoinKind::Pieces: return QStringLiteral("Join byte for byte");
    case JoinKind::ProgramStream:
    case JoinKind::Mp3:
    case JoinKind::Transport: return QStringLiteral("Join as one movie");
    case JoinKind::Mp4Boxes:
    case JoinKind::Matroska: return QStringLiteral("Join as one movie, every track kept");
    }
    Q_UNREACHABLE();
}

bool IsOneMovie(JoinKind kind) { return kind != JoinKind::Bytes && kind != JoinKind::Pieces; }

QString JoinPlan::Summary(qint64 lengthUs) const
{
    if (!OneMovie())
        return QStringLiteral("%1: %2 file%3").arg(KindWords(kind)).arg(clips).arg(clips == 1 ? "" : "s");
    QString text = QStringLiteral("%1: %2 clip%3").arg(KindWords(kind)).arg(clips).arg(clips == 1 ? "" : "s");
    if (lengthUs > 0)
        text += QStringLiteral(", ") + LengthText(lengthUs);
    return text;
}

QString JoinPlan::Done() const
{
    QString words = KindWords(kind);
    words.insert(4, QLatin1String("ed")); // "Join ..." told as done: "Joined ..."
    return words + QStringLiteral(": ") + FileName(output.LastPart()).Display();
}

namespace {

// The byte join: every request it is asked about.
class ByteJoin final : public ReadyJoin {
public:
    explicit ByteJoin(OutputGuard &&guard) : guard_(std::move(guard)) {}
    void Write(JoinObserver &observer) override { JoinEngine().Write(guard_, observer); }

private:
    OutputGuard guard_;
};

bool SketchBytes(const JoinRequest &, JoinPlan &plan)
{
    plan.kind = JoinKind::Bytes;
    return true;
}

FileName SameName(const JoinRequest &request) { return request.output; }

std::unique_ptr<ReadyJoin> ReadyByteJoin(JoinPlan &, const JoinRequest &, OutputGuard &&guard, JoinObserver &)
{
    return ReadyBytes(std::move(guard));
}

// The MPEG movie joins, when the person asks for one movie. The first
// input's name tells MP3 from program streams until its bytes are read.
bool SketchMpegMovie(const JoinRequest &request, JoinPlan &plan)
{
    if (request.movie == MovieChoice::Off)
        return false;
    const QString first = request.inputs.empty() ? QString() : QString::fromUtf8(request.inputs.front().Extension());
    const bool audio = first.compare(QLatin1String("mp3"), Qt::CaseInsensitive) == 0 ||
                       first.compare(QLatin1String("mp2"), Qt::CaseInsensitive) == 0 ||
                       first.compare(QLatin1String("mp1"), Qt::CaseInsensitive) == 0;
    plan.kind = audio ? JoinKind::Mp3 : JoinKind::ProgramStream;
    plan.chosen = true;
    return true;
}

FileName MpegMovieOutput(const JoinRequest &request) { return MovieJoin::OutputNameFor(request.output); }

const JoinMethod &MethodFor(const JoinRequest &request, JoinPlan &plan)
{
    for (const JoinMethod &method : JoinMethods())
        if (method.sketch(request, plan))
            return method;
    Q_UNREACHABLE();
}

} // namespace

std::unique_ptr<ReadyJoin> ReadyBytes(OutputGuard &&guard) { return std::make_unique<ByteJoin>(std::move(guard)); }

const std::vector<JoinMethod> &JoinMethods()
{
    static const std::vector<JoinMethod> methods = {
        {&SketchContainerJoin, &ContainerJoinOutput, &ReadyContainerJoin},
        {&Mp4Join::Sketch, &Mp4Join::OutputNameFor, &Mp4Join::Ready},
        {&SketchMpegMovie, &MpegMovieOutput, &MovieJoin::Ready},
        {&SketchBytes, &SameName, &ReadyByteJoin},
    };
    return methods;
}

JoinPlan SketchJoin(const JoinRequest &request)
{
    JoinPlan plan;
    plan.clips = int(request.inputs.size());
    plan.output = MethodFor(request, plan).outputName(request);
    return plan;
}

PlannedJoin PlanJoin(const JoinRequest &request, JoinObserver &observer)
{
    PlannedJoin planned;
    JoinPlan &plan = planned.plan;
    plan.clips = int(request.inputs.size());
    const JoinMethod &method = MethodFor(request, plan);
    plan.output = method.outputName(request);
    if (!plan.refusal.isEmpty())
        throw platform::EInOutError(platform::InOutCode::ReadError, plan.refusal);
    OutputGuard guard(plan.output, request.inputs);
    observer.JoinStarted(guard.LookAtInputs());
    planned.join = method.ready(plan, request, std::move(guard), observer);
    return planned;
}

JoinPlan RunJoin(const JoinRequest &request, JoinObserver &observer)
{
    PlannedJoin planned = PlanJoin(request, observer);
    planned.join->Write(observer);
    return planned.plan;
}

} // namespace app
