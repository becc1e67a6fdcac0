// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's join: the output name, the join with its progress bars,
// icons and words, the question that stops it, Save As and Play.
#include "app/MainWindow.h"

#include <QShortcut>

#include "framework/TApplication.h"
#include "platform/File.h"

namespace app {

using namespace framework;
using platform::FileName;

namespace {

// How often the title and the bars' hint follow a running join.
constexpr qint64 WordsIntervalMs = 250;

} // namespace

FileName TForm1::OutputName() const
{
    const QString text = Fc1->Text();
    for (auto it = outputNames_.rbegin(); it != outputNames_.rend(); ++it)
        if (it->Display() == text)
            return *it;
    return platform::NameFromText(text);
}

void TForm1::SetOutputName(const FileName &name)
{
    outputNames_.push_back(name);
    Fc1->SetText(name.Display());
}

void TForm1::JoinNow(QObject *sender)
{
    Application().Guard([&] { fb7Click(sender); });
    if (closeAfterJoin_ && !joining_)
        close();
}

void TForm1::fb7Click(QObject *)
{
    if (joining_) {
        // "Join Now" again while it joins: the person may want it to stop.
        AskToStop();
        return;
    }
    const int n = Lv1->Count();
    if (n < 2)
        return;
    if (Fc1->Text().isEmpty()) {
        platform::CurrentMessageBoxes().Show(this, QStringLiteral("OOOoooh! Should be have a Filename."),
                                             QStringLiteral("Filename Error"), platform::MsgIcon::None, {});
        return;
    }
    const FileName output = OutputName();
    FpBar1->SetMax(n);
    joining_ = true;
    stopRequested_ = false;
    Lv1->SetReadOnly(true);
    stopKey_->setEnabled(true);
    struct EndJoin {
        TForm1 *form;
        ~EndJoin()
        {
            form->joining_ = false;
            form->Lv1->SetReadOnly(false);
            form->stopKey_->setEnabled(false);
            form->setWindowTitle(Application().Title());
        }
    } endJoin{this};
    joinFiles_ = n;
    Application().HideNotice(); // the last join's is stale now
    joinClock_.start();
    progress_.Start(n, 0, 0);
    std::vector<FileName> inputs;
    inputs.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i)
        inputs.push_back(ItemName(i));
    pump_ = EventPump(); // the window gets its turn at the first block of every join
    try {
        JoinEngine().Join(output, inputs, *this);
    } catch (const ESameFile &e) {
        platform::CurrentMessageBoxes().Show(this, e.Message(), QStringLiteral("Filename Error"),
                                             platform::MsgIcon::None, {});
        return;
    } catch (const JoinStopped &) {
        return; // the output keeps what was joined; bars and icons show how far it came
    }
    FpBar1->SetPosition(0);
    Application().ShowNotice(fb7, progress_.Summary(joinClock_.elapsed()));
}

void TForm1::AskToStop()
{
    if (!joining_ || stopAsked_ || stopRequested_)
        return;
    stopAsked_ = true;
    platform::Question question;
    question.Caption = Application().Title();
    question.Text = QStringLiteral("Stop joining?");
    question.Answers = {QStringLiteral("&Yes"), QStringLiteral("&No")};
    question.DefaultAnswer = 0;
    question.EscapeAnswer = 1;
    // The box runs inside the join's turn of the window, so the join waits for the answer.
    const bool stop = platform::CurrentMessageBoxes().Ask(this, question) == 0;
    stopAsked_ = false;
    stopRequested_ = stop;
}

void TForm1::ShowJoinWords(bool now)
{
    const qint64 ms = joinClock_.elapsed();
    if (!now && ms - wordsShownMs_ < WordsIntervalMs)
        return;
    wordsShownMs_ = ms;
    setWindowTitle(progress_.Title(Application().Title(), ms));
}

QString TForm1::ProgressHint() const
{
    if (joining_)
        return progress_.Details(joinClock_.elapsed());
    qint64 total = 0;
    for (int i = 0; i < Lv1->Count(); ++i)
        total += platform::SizeOf(ItemName(i));
    return ListSummary(Lv1->Count(), total);
}

void TForm1::JoinStarted(qint64 totalBytes)
{
    progress_.Start(joinFiles_, totalBytes, joinClock_.elapsed());
    ShowJoinWords(true);
}

void TForm1::OutputCreated()
{
    for (int i = 0; i < Lv1->Count(); ++i)
        Lv1->SetItemImageIndex(i, 0);
}

void TForm1::FileStarted(int index, qint64 size)
{
    Fpbar2->SetMin(0);
    Fpbar2->SetMax(size);
    progress_.FileStarted(index);
}

void TForm1::BlockCopied(int, qint64 got)
{
    Fpbar2->SetPosition(Fpbar2->Position() + got);
    progress_.Copied(got);
    ShowJoinWords(false);
}

void TForm1::FileFinished(int index)
{
    Fpbar2->SetPosition(0);
    FpBar1->SetPosition(index + 1);
    Lv1->SetItemImageIndex(index, 1);
}

bool TForm1::StopRequested()
{
    pump_.Pump();
    return stopRequested_;
}

void TForm1::fb8Click(QObject *)
{
    if (joining_)
        return;
    const FileName name = platform::CurrentDialogs().Save(this, SD1);
    if (name.IsEmpty())
        return;
    SD1.FileName = name;
    SetOutputName(name);
    Fc1->AddItem(name.Display());
}

void TForm1::fb9Click(QObject *) { platform::CurrentShell().OpenFile(this, OutputName()); }

} // namespace app
