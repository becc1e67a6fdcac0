// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/SessionViews.h"

#include <QPointer>
#include <algorithm>

#include "desktop/Desktop.h"
#include "framework/TApplication.h"
#include "platform/Exceptions.h"

namespace app {

using framework::TListItem;
using platform::FileName;

namespace {

// How often the title follows a running join.
constexpr qint64 WordsIntervalMs = 250;

} // namespace

InputListView::InputListView(JoinSession &session, framework::TListView *list)
    : QObject(list), session_(session), list_(list)
{
    JoinSession *s = &session;
    connect(s, &JoinSession::inputsInserted, this, [this](int at, int count) {
        QList<TListItem> items;
        items.reserve(count);
        for (int i = at; i < at + count; ++i)
            items.push_back({session_.Input(i).Display(), 0, {}});
        list_->InsertItems(at, items);
    });
    connect(s, &JoinSession::inputRemoved, this, [this](int index) { list_->Delete(index); });
    connect(s, &JoinSession::inputChanged, this,
            [this](int index) { list_->SetItemCaption(index, session_.Input(index).Display()); });
    connect(s, &JoinSession::inputsMoved, this, [this](const QList<int> &rows, int at) { list_->MoveItems(rows, at); });
    connect(s, &JoinSession::inputsCleared, this, [this] { list_->Clear(); });
    connect(s, &JoinSession::stateChanged, this, [this](JoinSession::State state) {
        list_->SetReadOnly(session_.Joining());
        // The last join's ticks go as the next starts, even one that fails before writing.
        if (state == JoinSession::State::Joining)
            list_->SetAllImageIndexes(0);
    });
    connect(s, &JoinSession::fileFinished, this, [this](int index) { list_->SetItemImageIndex(index, 1); });
    // Dragged items move in the session, and the list follows it.
    list_->OnMoveItems = [this](const QList<int> &rows, int at) { session_.Move(rows, at); };
}

OutputNameBox::OutputNameBox(JoinSession &session, flat::TFlatComboBox *box)
    : QObject(box), session_(session), box_(box)
{
    box_->OnChange = [this](QObject *) { Edited(); };
}

FileName OutputNameBox::Name() const
{
    if (problem_)
        std::rethrow_exception(problem_);
    return session_.Output();
}

void OutputNameBox::SetName(const FileName &name)
{
    session_.SetOutput(name);
    problem_ = nullptr;
    box_->SetText(name.Display());
}

void OutputNameBox::AddChoice(const FileName &name)
{
    Remember(name);
    SetName(name);
}

void OutputNameBox::Remember(const FileName &name)
{
    if (name.IsEmpty())
        return;
    // The list changes under the shown text, which must keep standing for
    // the same name.
    const FileName shown = session_.Output();
    const std::exception_ptr problem = problem_;
    if (const auto old = std::find(choices_.begin(), choices_.end(), name); old != choices_.end()) {
        box_->DeleteItem(int(old - choices_.begin()));
        choices_.erase(old);
    }
    box_->AddItem(name.Display());
    choices_.push_back(name);
    if (choices_.size() > MaxRecentOutputs) {
        box_->DeleteItem(0);
        choices_.erase(choices_.begin());
    }
    session_.SetOutput(shown);
    problem_ = problem;
}

void OutputNameBox::SetRecent(const std::vector<FileName> &names)
{
    for (const FileName &name : names)
        Remember(name);
}

void OutputNameBox::Detach() { box_->OnChange = nullptr; }

void OutputNameBox::Edited()
{
    problem_ = nullptr;
    const int chosen = box_->ItemIndex();
    if (chosen >= 0 && std::size_t(chosen) < choices_.size() && box_->Text() == box_->Items().value(chosen)) {
        session_.SetOutput(choices_[std::size_t(chosen)]);
        return;
    }
    try {
        session_.SetOutput(platform::NameFromText(box_->Text()));
    } catch (const platform::Exception &) {
        // Told when the name is used, not at every key.
        problem_ = std::current_exception();
        session_.SetOutput({});
    }
}

JoinProgressView::JoinProgressView(JoinSession &session, flat::TFlatProgressBar *files, flat::TFlatProgressBar *bytes,
                                   QWidget *window)
    : QObject(window), files_(files), bytes_(bytes), window_(window)
{
    JoinSession *s = &session;
    connect(s, &JoinSession::joinStarted, this, [this](int files, qint64 total) {
        progress_.Start(files, total, clock_.elapsed());
        ShowWords(true);
        ShowOnTaskbar(platform::TaskbarProgress::Normal);
    });
    connect(s, &JoinSession::fileStarted, this, [this](int index, qint64 size) {
        fileBytes_ = 0;
        bytes_->SetMin(0);
        bytes_->SetMax(size);
        progress_.FileStarted(index);
    });
    connect(s, &JoinSession::bytesCopied, this, [this](int, qint64 bytes) {
        fileBytes_ += bytes;
        bytes_->SetPosition(fileBytes_);
        progress_.Copied(bytes);
        ShowWords(false);
        ShowOnTaskbar(taskbarState_);
    });
    connect(s, &JoinSession::fileFinished, this, [this](int index) {
        bytes_->SetPosition(0);
        files_->SetPosition(index + 1);
    });
    connect(s, &JoinSession::finished, this, [this](JoinSession::Work work, JoinSession::Outcome outcome) {
        window_->setWindowTitle(framework::Application().Title());
        if (outcome == JoinSession::Outcome::Done)
            files_->SetPosition(0);
        if (work == JoinSession::Work::Join)
            ShowOnTaskbar(outcome == JoinSession::Outcome::Failed ? platform::TaskbarProgress::Error
                                                                  : platform::TaskbarProgress::None);
    });
}

void JoinProgressView::SetPaused(bool paused)
{
    if (paused)
        progress_.Held(clock_.elapsed());
    else
        progress_.Resumed(clock_.elapsed());
    ShowOnTaskbar(paused ? platform::TaskbarProgress::Paused : platform::TaskbarProgress::Normal);
}

// Only changes reach the taskbar: a few a second would be a call each.
void JoinProgressView::ShowOnTaskbar(platform::TaskbarProgress state)
{
    const int percent = state == platform::TaskbarProgress::None ? 0 : progress_.Percent();
    if (state == taskbarState_ && percent == taskbarPercent_)
        return;
    taskbarState_ = state;
    taskbarPercent_ = percent;
    platform::CurrentTaskbar().ShowProgress(window_, state, percent);
}

void JoinProgressView::Start(int files)
{
    files_->SetMax(files);
    bytes_->SetPosition(0); // the last join's file, maybe a failed one's
    clock_.start();
    progress_.Start(files, 0, 0);
}

void JoinProgressView::ShowWords(bool now)
{
    const qint64 ms = clock_.elapsed();
    if (!now && ms - wordsShownMs_ < WordsIntervalMs)
        return;
    wordsShownMs_ = ms;
    window_->setWindowTitle(progress_.Title(framework::Application().Title(), ms));
}

StopQuestion::StopQuestion(JoinSession &session, JoinProgressView &progress, QWidget *window)
    : QObject(window), session_(session), progress_(progress), window_(window)
{}

void StopQuestion::Ask()
{
    if (session_.CurrentState() != JoinSession::State::Joining || open_)
        return;
    open_ = true;
    platform::Question question;
    question.Caption = framework::Application().Title();
    question.Text = QStringLiteral("Stop joining?");
    question.Answers = {QStringLiteral("&Yes"), QStringLiteral("&No")};
    question.DefaultAnswer = 0;
    question.EscapeAnswer = 1;
    session_.Hold();
    progress_.SetPaused(true);
    platform::CurrentMessageBoxes().Pose(window_, question, [self = QPointer<StopQuestion>(this)](int answer) {
        if (!self)
            return; // the window is gone, and its session stopped with it
        self->open_ = false;
        if (answer == 0) {
            self->session_.Stop();
        } else {
            self->progress_.SetPaused(false);
            self->session_.Resume();
        }
    });
}

} // namespace app
