// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"

#include <algorithm>
#include <iterator>

#include "app/core/FolderScan.h"
#include "app/core/NaturalOrder.h"
#include "app/core/PathRules.h"
#include "framework/FileDrops.h"
#include "framework/TApplication.h"
#include "platform/Exceptions.h"
#include "platform/Folders.h"
#include "platform/desktop/Screens.h"

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
    QList<QRect> Screens() const override { return platform::ScreenGeometries(); }
    void SetTop(int top) override { form_.move(form_.x(), top); }
    void SetLeft(int left) override { form_.move(left, form_.y()); }
    FileName OutputName() const override { return form_.OutputName(); }
    void SetOutputName(const FileName &name) override { form_.SetOutputName(name); }
    FileName OpenPath() const override { return form_.OpenPath; }
    void SetOpenDialogFolder(const FileName &folder) override { form_.OD1.InitialDir = folder; }

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
    if (joining_) {
        // The settings are safe now; the program ends when the join has finished.
        settingsWritten_ = true;
        closeAfterJoin_ = true;
        accept = false;
    } else if (scanning_ > 0) {
        stopScans_ = true; // the window closes now; the scan ends at its next entry
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

FileName TForm1::ItemName(int index) const
{
    const QVariant data = Lv1->ItemData(index);
    if (data.isValid())
        return FileName(data.toByteArray());
    return platform::NameFromText(Lv1->ItemCaption(index));
}

void TForm1::InsertNames(int at, const std::vector<FileName> &names)
{
    QList<TListItem> items;
    items.reserve(qsizetype(names.size()));
    for (const FileName &name : names)
        items.push_back({name.Display(), 0, name.Bytes()});
    Lv1->InsertItems(at, items);
}

void TForm1::ShowHint(QString &hint, bool &canShow, THintInfo &info)
{
    if (info.HintControl == Lv1) {
        // The whole name of the item under the pointer, which the list may show cut short.
        const int index = Lv1->ItemAt(info.CursorPos);
        canShow = index >= 0;
        if (canShow) {
            hint = ItemName(index).Display();
            info.CursorRect = TRect::FromQRect(Lv1->ItemRect(index));
        }
    } else if (info.HintControl == FpBar1 || info.HintControl == Fpbar2) {
        hint = ProgressHint();
    }
}

void TForm1::ItemEdited(int index, const QString &text)
{
    if (joining_)
        return;
    // Throws when the text could stand for several files; the item keeps its name then.
    const FileName name = platform::NameFromText(text);
    Lv1->SetItemCaption(index, name.Display());
    Lv1->SetItemData(index, name.Bytes());
}

void TForm1::fb1Click(QObject *)
{
    if (joining_)
        return;
    const std::vector<FileName> files = platform::CurrentDialogs().Open(this, OD1);
    if (files.empty())
        return;
    InsertNames(Lv1->Count(), files);
    OpenPath = ItemName(Lv1->Count() - 1).Folder();
    OD1.InitialDir = OpenPath;
    SD1.DefaultExt = QString::fromUtf8(ItemName(0).Extension());
}

FileName TForm1::BrowseFolder()
{
    return platform::CurrentDialogs().BrowseFolder(this, QStringLiteral("Select  File Folder"));
}

void TForm1::fb2Click(QObject *)
{
    if (joining_)
        return;
    const FileName path = getpath(BrowseFolder());
    if (!path.IsEmpty())
        searchnews(path);
}

void TForm1::searchnews(const FileName &path)
{
    ++scanning_;
    struct EndScan {
        TForm1 *form;
        ~EndScan()
        {
            if (--form->scanning_ == 0)
                form->stopScans_ = false;
        }
    } endScan{this};
    // Found files join the list each time the window gets its turn: one
    // insertion per batch costs the list far less than one per file.
    std::vector<FileName> found;
    ScanFolder(
        path, [&](const FileName &file) { found.push_back(file); },
        [&] {
            if (pump_.Due()) {
                InsertNames(Lv1->Count(), found);
                found.clear();
                pump_.PumpNow();
            }
            return !stopScans_;
        });
    if (!stopScans_)
        InsertNames(Lv1->Count(), found);
}

void TForm1::AddFromCommandLine(const std::vector<FileName> &names)
{
    // In the order a folder's names are scanned in, whatever order the desktop passes them.
    std::vector<FileName> sorted = names;
    std::sort(sorted.begin(), sorted.end(),
              [](const FileName &a, const FileName &b) { return NaturalLess(a.Bytes(), b.Bytes()); });
    for (const FileName &given : sorted) {
        const FileName name = platform::AbsoluteName(given);
        if (platform::IsFolder(name))
            searchnews(getpath(name));
        else
            WMDROPFILES({name});
    }
}

void TForm1::WMDROPFILES(const std::vector<FileName> &names) { DropFilesAt(Lv1->Count(), names); }

void TForm1::DropFilesAt(int at, const std::vector<FileName> &names)
{
    if (joining_)
        return;
    std::vector<FileName> accepted;
    std::copy_if(names.begin(), names.end(), std::back_inserter(accepted), [](const FileName &n) { return ism(n); });
    InsertNames(at, accepted);
}

// Exchanges the names of two items; each position keeps its icon.
static void ExchangeNames(TListView *list, int a, int b)
{
    const QString caption = list->ItemCaption(a);
    const QVariant data = list->ItemData(a);
    list->SetItemCaption(a, list->ItemCaption(b));
    list->SetItemData(a, list->ItemData(b));
    list->SetItemCaption(b, caption);
    list->SetItemData(b, data);
}

void TForm1::fb3Click(QObject *)
{
    if (joining_ || Lv1->Count() < 2)
        return;
    const int k = Lv1->SelectedIndex();
    if (k <= 0)
        return;
    ExchangeNames(Lv1, k - 1, k);
    Lv1->SetSelectedIndex(k - 1);
}

void TForm1::fb4Click(QObject *)
{
    if (joining_ || Lv1->Count() < 2)
        return;
    const int k = Lv1->SelectedIndex();
    if (k < 0 || k == Lv1->Count() - 1)
        return;
    ExchangeNames(Lv1, k, k + 1);
    Lv1->SetSelectedIndex(k + 1);
}

void TForm1::fb5Click(QObject *)
{
    if (joining_)
        return;
    // The items selected now, and only those: deleting one makes the list
    // select a neighbour, which must not be deleted in turn.
    const QList<int> selected = Lv1->SelectedIndices();
    if (selected.isEmpty())
        return;
    for (qsizetype i = selected.size() - 1; i >= 0; --i)
        Lv1->Delete(selected[i]);
    // The item that took the first deleted one's place, so the next click deletes it.
    Lv1->SetSelectedIndex(std::min(selected.first(), Lv1->Count() - 1));
}

void TForm1::DeleteAll1Click(QObject *)
{
    if (joining_)
        return;
    Lv1->Clear();
}

void TForm1::Play1Click(QObject *)
{
    const int k = Lv1->SelectedIndex();
    if (k >= 0)
        platform::CurrentShell().OpenFile(this, ItemName(k));
}

} // namespace app
