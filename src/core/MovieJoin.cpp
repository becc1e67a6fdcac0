// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/MovieJoin.h"

#include "core/MediaLibrary.h"

namespace app {

using platform::FileName;

FileName MovieJoin::OutputNameFor(const FileName &output)
{
    if (output.Extension().toLower() != "dat")
        return output;
    QByteArray bytes = output.Bytes();
    bytes.chop(3);
    return FileName(bytes + "mpg");
}

void MovieJoin::ThrowWithChoice(const platform::EInOutError &refusal, MovieChoice choice)
{
    if (choice == MovieChoice::Off || refusal.ErrorCode() != platform::InOutCode::ReadError)
        throw;
    const QString how = choice == MovieChoice::Menu
                            ? QStringLiteral("\"Join as One Movie\" is checked in the list's menu; uncheck it to join "
                                             "the files byte for byte.")
                            : QStringLiteral("--movie asks for one movie; without it the files are joined byte for "
                                             "byte.");
    const QString message = refusal.Message() + QStringLiteral(". ") + how;
    if (dynamic_cast<const EMixedFormats *>(&refusal)) {
        EMixedFormats amended(refusal.ErrorCode(), message);
        amended.SetDetails(refusal.Details());
        throw amended;
    }
    platform::EInOutError amended(refusal.ErrorCode(), message);
    amended.SetDetails(refusal.Details());
    throw amended;
}

std::unique_ptr<ReadyJoin> MovieJoin::Ready(JoinPlan &plan, const JoinRequest &request, OutputGuard &&guard,
                                            JoinObserver &observer)
{
    try {
        return MediaLibrary().readyMovie(plan, std::move(guard), observer);
    } catch (const platform::EInOutError &e) {
        ThrowWithChoice(e, request.movie);
    }
}

} // namespace app
