// The main window's join: the output name, the bars, icons and words that
// show the session's join, the question that stops it, Save As and Play.
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
    if (outputProblem_)
        std::rethrow_exception(outputProblem_);
    return session_.Output();
}

void TForm1::SetOutputName(const FileName &name)
{
    session_.SetOutput(name);
    outputProblem_ = nullptr;
    Fc1->SetText(name.Display());
}

void TForm1::OutputEdited()
{
    outputProblem_ = nullptr;
    const int chosen = Fc1->ItemIndex();
    if (chosen >= 0 && std::size_t(chosen) < outputItems_.size() && Fc1->Text() == Fc1->Items().value(chosen)) {
        session_.SetOutput(outputItems_[std::size_t(chosen)]);
        return;
    }
    try {
        session_.SetOutput(platform::NameFromText(Fc1->Text()));
    } catch (const platform::Exception &) {
        // Told when the name is used, not at every key.
        outputProblem_ = std::current_exception();
        session_.SetOutput({});
    }
}

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
    OutputName(); // a typed name that stands for several files stops here
    FpBar1->SetMax(n);
    Application().HideNotice(); // the last join's is stale now
    joinClock_.start();
    progress_.Start(n, 0, 0);
    session_.Join();
}

void TForm1::JoinFinished(JoinSession::Outcome outcome, std::exception_ptr error)
{
    setWindowTitle(Application().Title());
    if (outcome == JoinSession::Outcome::Done) {
        FpBar1->SetPosition(0);
        Application().ShowNotice(fb7, progress_.Summary(joinClock_.elapsed()));
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
    if (session_.Joining())
        return progress_.Details(joinClock_.elapsed());
    qint64 total = 0;
    for (const FileName &name : session_.Inputs())
        total += platform::SizeOf(name);
    return ListSummary(session_.Count(), total);
}

void TForm1::ShowSession()
{
    auto items = [this](int at, int count) {
        QList<TListItem> list;
        list.reserve(count);
        for (int i = at; i < at + count; ++i)
            list.push_back({session_.Input(i).Display(), 0, {}});
        return list;
    };
    JoinSession *s = &session_;
    connect(s, &JoinSession::inputsInserted, this, [=, this](int at, int n) { Lv1->InsertItems(at, items(at, n)); });
    connect(s, &JoinSession::inputRemoved, this, [this](int index) { Lv1->Delete(index); });
    connect(s, &JoinSession::inputChanged, this,
            [this](int index) { Lv1->SetItemCaption(index, session_.Input(index).Display()); });
    connect(s, &JoinSession::inputsMoved, this, [this](const QList<int> &rows, int at) { Lv1->MoveItems(rows, at); });
    connect(s, &JoinSession::inputsCleared, this, [this] { Lv1->Clear(); });
    connect(s, &JoinSession::stateChanged, this, [this] {
        Lv1->SetReadOnly(session_.Joining());
        stopKey_->setEnabled(session_.Joining());
    });

    connect(s, &JoinSession::joinStarted, this, [this](int files, qint64 total) {
        progress_.Start(files, total, joinClock_.elapsed());
        ShowJoinWords(true);
    });
    connect(s, &JoinSession::outputCreated, this, [this] {
        for (int i = 0; i < Lv1->Count(); ++i)
            Lv1->SetItemImageIndex(i, 0);
    });
    connect(s, &JoinSession::fileStarted, this, [this](int index, qint64 size) {
        fileBytes_ = 0;
        Fpbar2->SetMin(0);
        Fpbar2->SetMax(size);
        progress_.FileStarted(index);
    });
    connect(s, &JoinSession::bytesCopied, this, [this](int, qint64 bytes) {
        fileBytes_ += bytes;
        Fpbar2->SetPosition(fileBytes_);
        progress_.Copied(bytes);
        ShowJoinWords(false);
    });
    connect(s, &JoinSession::fileFinished, this, [this](int index) {
        Fpbar2->SetPosition(0);
        FpBar1->SetPosition(index + 1);
        Lv1->SetItemImageIndex(index, 1);
    });
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
    SetOutputName(name);
    Fc1->AddItem(name.Display());
    outputItems_.push_back(name);
}

void TForm1::fb9Click(QObject *) { platform::CurrentShell().OpenFile(this, OutputName()); }

} // namespace app
