// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: start and close, the movie list's commands, and the
// join's: Join Now, the question that stops it, Save As and Play.
#include "window/MainWindow.h"

#include <QShortcut>
#include <algorithm>
#include <iterator>

#include "core/FolderScan.h"
#include "core/NaturalOrder.h"
#include "core/OutputGuard.h"
#include "core/PathRules.h"
#include "framework/FileDrops.h"
#include "framework/TApplication.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Folders.h"

static void initAssets() { Q_INIT_RESOURCE(assets); }

namespace app {

using namespace framework;
using platform::FileName;

namespace {

// What the desktop's opener tells later shows as what fails at once does.
void ShowOpenFailure(const platform::Exception &error) { ErrorBox().Show(error); }

} // namespace

TForm1::TForm1(const FileName &settingsPath, QWidget *parent) : TForm(parent), settings_(settingsPath)
{
    initAssets();
    setObjectName(QStringLiteral("Form1"));
    CreateComponents();
    WireEvents();
    ShowSession();
    Application().Guard([&] { FormCreate(this); });
}

TForm1::~TForm1()
{
    // The output box may still tell of a change while its children go, which
    // happens after the session, a member of this form, has gone.
    outputBox_->Detach();
}

// ---------------------------------------------------------------------------
// Start and close

void TForm1::FormCreate(QObject *)
{
    setAcceptDrops(true);
    drops_ = new FileDropTarget(this, [this](const std::vector<FileName> &names) { WMDROPFILES(names); });
    drops_->Except(Lv1->DropSite()); // the list puts dropped files where they land
    settings_.Read(*this);
}

void TForm1::FormClose(QObject *, bool &accept)
{
    if (!settings_.Write(*this)) {
        accept = false;
    } else if (session_.Joining()) {
        // The settings are safe now; the program ends when the join has finished.
        closeAfterJoin_ = true;
        accept = false;
    } else {
        session_.Stop(); // a scan ends at its next entry
    }
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
    platform::CurrentShell().OpenFile(this, page, ShowOpenFailure);
}

void TForm1::Image4Click(QObject *) { platform::CurrentShell().OpenAddress(this, ProductWebPage, ShowOpenFailure); }

// ---------------------------------------------------------------------------
// Movie list

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
        platform::CurrentShell().OpenFile(this, session_.Input(k), ShowOpenFailure);
}

// ---------------------------------------------------------------------------
// The join

FileName TForm1::OutputName() const { return outputBox_->Name(); }

void TForm1::SetOutputName(const FileName &name) { outputBox_->SetName(name); }

bool TForm1::JoinAsOneMovie() const { return session_.Movie() == MovieChoice::Menu; }

void TForm1::SetJoinAsOneMovie(bool on)
{
    if (session_.Joining())
        return;
    JoinasOneMovie1->SetChecked(on);
    session_.SetMovieChoice(on ? MovieChoice::Menu : MovieChoice::Off);
}

void TForm1::JoinNow(QObject *sender)
{
    Application().Guard([&] { fb7Click(sender); });
}

void TForm1::fb7Click(QObject *)
{
    if (session_.Joining()) {
        // "Join Now" again while it joins: the person may want it to stop.
        stopQuestion_->Ask();
        return;
    }
    const int n = session_.Count();
    if (session_.Scanning())
        return;
    if (n < 2) {
        Application().ShowNotice(fb7, QStringLiteral("Add movies first"));
        return;
    }
    if (Fc1->Text().isEmpty()) {
        platform::CurrentMessageBoxes().Show(this, QStringLiteral("OOOoooh! Should be have a Filename."),
                                             QStringLiteral("Filename Error"), platform::MsgIcon::None, {});
        return;
    }
    // A typed name that stands for several files stops here. The name the
    // join writes (one movie is a program stream: ".dat" becomes ".mpg") is
    // shown before it is written.
    if (const FileName named = OutputName(), written = session_.Sketch().output; written != named)
        outputBox_->AddChoice(written);
    Application().HideNotice(); // the last join's is stale now
    progress_->Start(n);
    session_.Join();
}

void TForm1::JoinFinished(JoinSession::Outcome outcome, std::exception_ptr error, const JoinResult &result)
{
    if (outcome == JoinSession::Outcome::Done) {
        outputBox_->Remember(session_.Output());
        // A join the files chose says which it was, and what it wrote.
        QString notice = progress_->Summary();
        if (result.plan.FilesMakeOneMovie())
            notice += QLatin1Char('\n') + result.plan.Done();
        if (!result.plan.how.isEmpty())
            notice += QLatin1Char('\n') + result.plan.how;
        Application().ShowNotice(fb7, notice);
        if (result.plan.kind == JoinKind::Bytes)
            hints_->AddByteJoinHint(fb7, progress_->Summary());
    } else if (outcome == JoinSession::Outcome::Stopped && result.left == OutputLeft::AsBefore) {
        // Told, since the bars show part of a join whose output is not there.
        const QString name = FileName(result.plan.output.LastPart()).Display();
        Application().ShowNotice(fb7, QStringLiteral("Stopped; %1 was left as it was before the join").arg(name));
    } else if (error) {
        // A stop is no error: a new output keeps what was joined, and the bars
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

void TForm1::ShowSession()
{
    new InputListView(session_, Lv1);
    progress_ = new JoinProgressView(session_, FpBar1, Fpbar2, this);
    stopQuestion_ = new StopQuestion(session_, *progress_, this);
    hints_ = new WindowHints(session_, Lv1, {FpBar1, Fpbar2}, fb7, *progress_, this);
    JoinSession *s = &session_;
    connect(s, &JoinSession::stateChanged, this, [this] { stopKey_->setEnabled(session_.Joining()); });
    connect(s, &JoinSession::finished, this,
            [this](JoinSession::Work work, JoinSession::Outcome outcome, std::exception_ptr error,
                   const JoinResult &result) {
                if (work == JoinSession::Work::Join)
                    JoinFinished(outcome, error, result);
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

void TForm1::fb9Click(QObject *) { platform::CurrentShell().OpenFile(this, OutputName(), ShowOpenFailure); }

} // namespace app
