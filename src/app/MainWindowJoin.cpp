// The main window's join: the output name, the bars, icons and words that
// show the session's join, the question that stops it, Save As and Play.
#include "app/MainWindow.h"

#include <QShortcut>

#include "framework/TApplication.h"
#include "platform/File.h"

namespace app {

using namespace framework;
using platform::FileName;

FileName TForm1::OutputName() const { return outputBox_->Name(); }

void TForm1::SetOutputName(const FileName &name) { outputBox_->SetName(name); }

void TForm1::JoinNow(QObject *sender)
{
    Application().Guard([&] { fb7Click(sender); });
}

void TForm1::fb7Click(QObject *)
{
    if (session_.Joining()) {
        // "Join Now" again while it joins: the person may want it to stop.
        AskToStop();
        return;
    }
    const int n = session_.Count();
    if (n < 2 || session_.Scanning())
        return;
    if (Fc1->Text().isEmpty()) {
        platform::CurrentMessageBoxes().Show(this, QStringLiteral("OOOoooh! Should be have a Filename."),
                                             QStringLiteral("Filename Error"), platform::MsgIcon::None, {});
        return;
    }
    OutputName();               // a typed name that stands for several files stops here
    Application().HideNotice(); // the last join's is stale now
    progress_->Start(n);
    session_.Join();
}

void TForm1::JoinFinished(JoinSession::Outcome outcome, std::exception_ptr error)
{
    if (outcome == JoinSession::Outcome::Done) {
        Application().ShowNotice(fb7, progress_->Summary());
    } else if (error) {
        // A stop is no error: the output keeps what was joined, and the bars
        // and icons show how far it came.
        Application().Guard([&] {
            try {
                std::rethrow_exception(error);
            } catch (const ESameFile &e) {
                platform::CurrentMessageBoxes().Show(this, e.Message(), QStringLiteral("Filename Error"),
                                                     platform::MsgIcon::None, {});
            }
        });
    }
    if (closeAfterJoin_)
        close();
}

void TForm1::AskToStop()
{
    if (session_.CurrentState() != JoinSession::State::Joining || stopAsked_)
        return;
    stopAsked_ = true;
    platform::Question question;
    question.Caption = Application().Title();
    question.Text = QStringLiteral("Stop joining?");
    question.Answers = {QStringLiteral("&Yes"), QStringLiteral("&No")};
    question.DefaultAnswer = 0;
    question.EscapeAnswer = 1;
    // The join waits at its next block until the person has answered.
    session_.Hold();
    const bool stop = platform::CurrentMessageBoxes().Ask(this, question) == 0;
    stopAsked_ = false;
    if (stop)
        session_.Stop();
    else
        session_.Resume();
}

QString TForm1::ProgressHint() const
{
    if (session_.Joining())
        return progress_->Details();
    qint64 total = 0;
    for (const FileName &name : session_.Inputs())
        total += platform::SizeOf(name);
    return ListSummary(session_.Count(), total);
}

void TForm1::ShowSession()
{
    new InputListView(session_, Lv1);
    progress_ = new JoinProgressView(session_, FpBar1, Fpbar2, this);
    JoinSession *s = &session_;
    connect(s, &JoinSession::stateChanged, this, [this] { stopKey_->setEnabled(session_.Joining()); });
    connect(s, &JoinSession::finished, this,
            [this](JoinSession::Work work, JoinSession::Outcome outcome, std::exception_ptr error) {
                if (work == JoinSession::Work::Join)
                    JoinFinished(outcome, error);
            });
}

void TForm1::fb8Click(QObject *)
{
    if (session_.Joining())
        return;
    const FileName name = platform::CurrentDialogs().Save(this, SD1);
    if (name.IsEmpty())
        return;
    SD1.FileName = name;
    outputBox_->AddChoice(name);
}

void TForm1::fb9Click(QObject *) { platform::CurrentShell().OpenFile(this, OutputName()); }

} // namespace app
