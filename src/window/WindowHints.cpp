// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/WindowHints.h"

#include <QPointer>

#include "core/ClipFacts.h"
#include "framework/TApplication.h"
#include "platform/FileName.h"

namespace app {

using platform::FileName;

WindowHints::WindowHints(JoinSession &session, framework::TListView *list, QList<QWidget *> bars, QWidget *joinNow,
                         const JoinProgressView &progress, QObject *parent)
    : QObject(parent), session_(session), list_(list), bars_(std::move(bars)), joinNow_(joinNow), progress_(progress),
      clips_(new ClipFactsReader(this))
{
    // Each added clip's length and format, read in the background for the hints.
    connect(&session, &JoinSession::inputsInserted, clips_, [this](int at, int count) {
        clips_->Read({session_.Inputs().begin() + at, session_.Inputs().begin() + at + count});
    });
    connect(&session, &JoinSession::inputChanged, clips_, [this](int index) { clips_->Read({session_.Input(index)}); });
    // A join gets the disk and the processor to itself: reading facts of a
    // large folder beside it made Join Now 1.7 times as slow.
    connect(&session, &JoinSession::joinStarted, clips_, [this] { clips_->SetPaused(true); });
    connect(&session, &JoinSession::finished, clips_, [this](JoinSession::Work work) {
        if (work == JoinSession::Work::Join)
            clips_->SetPaused(false);
    });
}

void WindowHints::Show(QString &hint, bool &canShow, framework::THintInfo &info) const
{
    if (info.HintControl == list_) {
        // The whole name of the item under the pointer, which the list may show cut short.
        const int index = list_->ItemAt(info.CursorPos);
        canShow = index >= 0;
        if (canShow) {
            const FileName &name = session_.Input(index);
            hint = name.Display();
            if (const auto facts = clips_->Facts(name))
                hint += QLatin1Char('\n') + facts->Text();
            else
                clips_->ReadFirst(name); // the one pointed at before the rest of a large list
            // Where the files decide how Join Now joins them (MP4 chapters
            // become one movie), or that it cannot, the hint says so.
            const JoinPlan plan = session_.Sketch();
            if (!plan.refusal.isEmpty())
                hint += QLatin1Char('\n') + plan.refusal;
            else if (plan.FilesMakeOneMovie())
                hint += QLatin1Char('\n') + plan.Summary(clips_->TotalLength(session_.Inputs()));
            if (plan.refusal.isEmpty() && !plan.how.isEmpty())
                hint += QLatin1Char('\n') + plan.how;
            info.CursorRect = framework::TRect::FromQRect(list_->ItemRect(index));
        }
    } else if (bars_.contains(info.HintControl)) {
        hint = ProgressHint();
    } else if (info.HintControl == joinNow_) {
        hint = JoinHint();
    }
}

QString WindowHints::JoinHint() const { return session_.Sketch().Summary(clips_->TotalLength(session_.Inputs())); }

QString WindowHints::ProgressHint() const
{
    if (session_.Joining())
        return progress_.Details();
    const qint64 length = clips_->TotalLength(session_.Inputs());
    const QString how = session_.Count() > 0 ? session_.Sketch().how : QString();
    return session_.Sketch().Summary(length) + QLatin1Char('\n') + ListSummary(session_.Count(), session_.TotalSize()) +
           (length > 0 ? QStringLiteral(" \u00b7 ") + LengthText(length) : QString()) +
           (how.isEmpty() ? QString() : QLatin1Char('\n') + how);
}

void WindowHints::AddByteJoinHint(QWidget *anchor, const QString &summary)
{
    clips_->ReadAfresh(session_.Inputs(), [anchor = QPointer<QWidget>(anchor), summary](const auto &facts) {
        const QString hint = ByteJoinHint(facts);
        const framework::THintWindow *notice = framework::Application().Notice();
        if (anchor && !hint.isEmpty() && notice && notice->Caption() == summary)
            framework::Application().ShowNotice(anchor, summary + QLatin1Char('\n') + hint);
    });
}

} // namespace app
