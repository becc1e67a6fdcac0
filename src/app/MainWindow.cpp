// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: start and close, the movie list's commands, and the
// join's: Join Now, the question that stops it, Save As and Play.
#include "app/MainWindow.h"

#include <QShortcut>
#include <QThread>
#include <algorithm>
#include <iterator>
#include <memory>

#include "app/core/ClipFacts.h"
#include "app/core/FolderScan.h"
#include "app/core/MovieJoin.h"
#include "app/core/NaturalOrder.h"
#include "app/core/PathRules.h"
#include "framework/FileDrops.h"
#include "framework/TApplication.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Folders.h"
#include "platform/desktop/Screens.h"
#include "platform/desktop/WindowSystem.h"

static void initAssets() { Q_INIT_RESOURCE(assets); }

namespace app {

using namespace framework;
using platform::FileName;

namespace {

// The window's side of the settings file.
class WindowSettings final : public SettingsTarget {
public:
    explicit WindowSettings(TForm1 &form) : form_(form) {}
    QRect FrameGeometry() const override { return form_.frameGeometry(); }
    bool PositionKnown() const override { return platform::WindowPositionsKnown(); }
    QList<QRect> Screens() const override { return platform::ScreenGeometries(); }
    void SetTop(int top) override { form_.move(form_.x(), top); }
    void SetLeft(int left) override { form_.move(left, form_.y()); }
    FileName OutputName() const override { return form_.OutputName(); }
    void SetOutputName(const FileName &name) override { form_.SetOutputName(name); }
    FileName OpenPath() const override { return form_.OpenPath; }
    void SetOpenDialogFolder(const FileName &folder) override { form_.OD1.InitialDir = folder; }
    bool JoinAsOneMovie() const override { return form_.JoinAsOneMovie(); }
    void SetJoinAsOneMovie(bool on) override { form_.SetJoinAsOneMovie(on); }

private:
    TForm1 &form_;
};

} // namespace

TForm1::TForm1(const FileName &settingsPath, QWidget *parent) : TForm(parent), settingsPath_(settingsPath)
{
    initAssets();
    setObjectName(QStringLiteral("Form1"));
    CreateComponents();
    WireEvents();
    ShowSession();
    Application().Guard([&] { FormCreate(this); });
}

TForm1::~TForm1() = default;

// ---------------------------------------------------------------------------
// Start and close

void TForm1::FormCreate(QObject *)
{
    setAcceptDrops(true);
    drops_ = new FileDropTarget(this, [this](const std::vector<FileName> &names) { WMDROPFILES(names); });
    drops_->Except(Lv1->DropSite()); // the list puts dropped files where they land
    WindowSettings target(*this);
    try {
        ReadSettings(settingsPath_, target);
    } catch (const platform::EInOutError &e) {
        throw platform::EInOutError(
            e.ErrorCode(),
            QStringLiteral("The settings file %1 cannot be created: %2").arg(settingsPath_.Display(), e.Message()));
    }
}

void TForm1::FormClose(QObject *, bool &accept)
{
    if (!settingsWritten_) {
        try {
            WindowSettings target(*this);
            WriteSettings(settingsPath_, target);
        } catch (const platform::Exception &e) {
            // Where the person cannot mend the cause, keeping the window open
            // for ever would trap them: they choose.
            if (!CloseWithoutSettings(e)) {
                accept = false;
                return;
            }
            settingsWritten_ = true; // given up; not asked again after a join
        } catch (const std::exception &e) {
            // Out of memory or worse: still the person's choice, never a window that cannot close.
            if (!CloseWithoutSettings(platform::Exception(QString::fromLocal8Bit(e.what())))) {
                accept = false;
                return;
            }
            settingsWritten_ = true;
        }
    }
    if (session_.Joining()) {
        // The settings are safe now; the program ends when the join has finished.
        settingsWritten_ = true;
        closeAfterJoin_ = true;
        accept = false;
    } else {
        session_.Stop(); // a scan ends at its next entry
    }
}

bool TForm1::CloseWithoutSettings(const platform::Exception &error)
{
    // A file error names its file as details, which the question names already.
    const bool fileError = dynamic_cast<const platform::EInOutError *>(&error) != nullptr;
    const QString why = fileError || error.Details().isEmpty() ? error.Message() : error.Details();
    platform::Question question;
    question.Caption = Application().Title();
    question.Text = QStringLiteral("Zantrope could not save its settings in %1.").arg(settingsPath_.Display());
    question.Details = TApplication::ErrorBoxText(why) +
                       QStringLiteral("\n\nClose without saving them, or keep the window open to mend this?");
    question.Answers = {QStringLiteral("Close Without Saving"), QStringLiteral("Keep Open")};
    question.DefaultAnswer = 1;
    question.EscapeAnswer = 1;
    question.Icon = platform::MsgIcon::Warning;
    return platform::CurrentMessageBoxes().Ask(this, question) == 0;
}

void TForm1::fb10Click(QObject *) { close(); }

void TForm1::fb11Click(QObject *) { Application().Minimize(); }

void TForm1::Help1Click(QObject *)
{
    // Beside the program; an installed program finds it where the install put it.
    const FileName folder = ProgramFolder();
    FileName page = folder / "readme.html";
#ifdef ZANTROPE_DOC_DIR_FROM_BIN
    if (!platform::IdentityOf(page))
        page = folder / ZANTROPE_DOC_DIR_FROM_BIN "/readme.html";
#endif
    platform::CurrentShell().OpenFile(this, page);
}

void TForm1::Image4Click(QObject *) { platform::CurrentShell().OpenAddress(this, ProductWebPage); }

// ---------------------------------------------------------------------------
// Movie list

void TForm1::ShowHint(QString &hint, bool &canShow, THintInfo &info)
{
    if (info.HintControl == Lv1) {
        // The whole name of the item under the pointer, which the list may show cut short.
        const int index = Lv1->ItemAt(info.CursorPos);
        canShow = index >= 0;
        if (canShow) {
            hint = ItemName(index).Display();
            if (const auto facts = clips_->Facts(ItemName(index)))
                hint += QLatin1Char('\n') + facts->Text();
            info.CursorRect = TRect::FromQRect(Lv1->ItemRect(index));
        }
    } else if (info.HintControl == FpBar1 || info.HintControl == Fpbar2) {
        hint = ProgressHint();
    }
}

void TForm1::ItemEdited(int index, const QString &text)
{
    // Throws when the text could stand for several files; the item keeps its name then.
    session_.Rename(index, platform::NameFromText(text));
}

void TForm1::fb1Click(QObject *)
{
    if (session_.Joining())
        return;
    const std::vector<FileName> files = platform::CurrentDialogs().Open(this, OD1);
    if (files.empty() || !session_.Append(files))
        return;
    OpenPath = files.back().Folder();
    OD1.InitialDir = OpenPath;
    SD1.DefaultExt = QString::fromUtf8(ItemName(0).Extension());
}

FileName TForm1::BrowseFolder()
{
    return platform::CurrentDialogs().BrowseFolder(this, QStringLiteral("Select  File Folder"));
}

void TForm1::fb2Click(QObject *)
{
    if (session_.Joining())
        return;
    const FileName path = getpath(BrowseFolder());
    if (!path.IsEmpty())
        searchnews(path);
}

void TForm1::searchnews(const FileName &path) { session_.Scan({path}); }

void TForm1::AddFromCommandLine(const std::vector<FileName> &names)
{
    // In the order a folder's names are scanned in, whatever order the desktop passes them.
    std::vector<FileName> sorted = names;
    std::sort(sorted.begin(), sorted.end(),
              [](const FileName &a, const FileName &b) { return NaturalLess(a.Bytes(), b.Bytes()); });
    for (FileName &given : sorted)
        given = platform::AbsoluteName(given);
    session_.Scan(sorted); // folders as Add Folder adds them, files as a drop does
}

void TForm1::WMDROPFILES(const std::vector<FileName> &names) { DropFilesAt(session_.Count(), names); }

void TForm1::DropFilesAt(int at, const std::vector<FileName> &names)
{
    std::vector<FileName> accepted;
    std::copy_if(names.begin(), names.end(), std::back_inserter(accepted), [](const FileName &n) { return ism(n); });
    session_.Insert(at, accepted);
}

void TForm1::fb3Click(QObject *)
{
    // Each position keeps its icon; the names change places.
    const int k = Lv1->SelectedIndex();
    if (k > 0 && session_.Exchange(k - 1, k))
        Lv1->SetSelectedIndex(k - 1);
}

void TForm1::fb4Click(QObject *)
{
    const int k = Lv1->SelectedIndex();
    if (k >= 0 && session_.Exchange(k, k + 1))
        Lv1->SetSelectedIndex(k + 1);
}

void TForm1::fb5Click(QObject *)
{
    // The items selected now, and only those: deleting one makes the list
    // select a neighbour, which must not be deleted in turn.
    const QList<int> selected = Lv1->SelectedIndices();
    if (selected.isEmpty() || session_.Joining())
        return;
    for (qsizetype i = selected.size() - 1; i >= 0; --i)
        session_.Remove(selected[i]);
    // The item that took the first deleted one's place, so the next click deletes it.
    Lv1->SetSelectedIndex(std::min(selected.first(), session_.Count() - 1));
}

void TForm1::DeleteAll1Click(QObject *) { session_.Clear(); }

void TForm1::Play1Click(QObject *)
{
    const int k = Lv1->SelectedIndex();
    if (k >= 0)
        platform::CurrentShell().OpenFile(this, session_.Input(k));
}

// ---------------------------------------------------------------------------
// The join

FileName TForm1::OutputName() const { return outputBox_->Name(); }

void TForm1::SetOutputName(const FileName &name) { outputBox_->SetName(name); }

bool TForm1::JoinAsOneMovie() const { return JoinasOneMovie1->Checked(); }

void TForm1::SetJoinAsOneMovie(bool on)
{
    if (session_.Joining())
        return;
    JoinasOneMovie1->SetChecked(on);
    session_.SetJoinFunction(on ? OneMovieJoin() : ByteJoin());
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
    // A typed name that stands for several files stops here. One movie is
    // a program stream: a ".dat" name becomes ".mpg", shown before it is written.
    if (const FileName written = MovieJoin::OutputNameFor(OutputName()); JoinAsOneMovie() && written != OutputName())
        outputBox_->AddChoice(written);
    Application().HideNotice(); // the last join's is stale now
    progress_->Start(n);
    session_.Join();
}

void TForm1::JoinFinished(JoinSession::Outcome outcome, std::exception_ptr error)
{
    if (outcome == JoinSession::Outcome::Done) {
        Application().ShowNotice(fb7, progress_->Summary());
        if (!JoinAsOneMovie())
            AddByteJoinHint(session_.Inputs(), progress_->Summary());
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

void TForm1::AddByteJoinHint(const std::vector<FileName> &inputs, const QString &summary)
{
    auto hint = std::make_shared<QString>();
    QThread *reader = QThread::create([inputs, hint] {
        try {
            *hint = ByteJoinHint(inputs);
        } catch (const std::exception &) {
            // Only advice: no line when the files cannot be read.
        }
    });
    connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    connect(reader, &QThread::finished, this, [this, hint, summary] {
        const THintWindow *notice = Application().Notice();
        if (!hint->isEmpty() && notice && notice->Caption() == summary)
            Application().ShowNotice(fb7, summary + QLatin1Char('\n') + *hint);
    });
    reader->start();
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
    const qint64 length = clips_->TotalLength(session_.Inputs());
    return ListSummary(session_.Count(), total) +
           (length > 0 ? QStringLiteral(" \u00b7 ") + LengthText(length) : QString());
}

void TForm1::ShowSession()
{
    new InputListView(session_, Lv1);
    progress_ = new JoinProgressView(session_, FpBar1, Fpbar2, this);
    JoinSession *s = &session_;
    // Each added clip's length and format, read in the background for the hints.
    clips_ = new ClipFactsReader(this);
    connect(s, &JoinSession::inputsInserted, clips_, [this](int at, int count) {
        clips_->Read({session_.Inputs().begin() + at, session_.Inputs().begin() + at + count});
    });
    connect(s, &JoinSession::inputChanged, clips_, [this](int index) { clips_->Read({session_.Input(index)}); });
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
