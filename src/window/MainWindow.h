// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: its controls and the settings. It shows the join session
// (the movie list, the output name, the scan and the join) and forwards the
// person's commands to it.
#include <exception>
#include <vector>

#include "core/JoinSession.h"
#include "core/Settings.h"
#include "desktop/Desktop.h"
#include "flat/TFlatButtonUnit.h"
#include "flat/TFlatComboBoxUnit.h"
#include "flat/TFlatHintUnit.h"
#include "flat/TFlatProgressBarUnit.h"
#include "flat/TFlatTitlebarUnit.h"
#include "framework/Controls.h"
#include "framework/Menus.h"
#include "framework/TListView.h"
#include "platform/FileName.h"
#include "window/SessionViews.h"
#include "window/WindowHints.h"
#include "window/WindowSettings.h"
#include "xpmenu/XPMenu.h"

class QShortcut;

namespace framework {
class FileDropTarget;
}

namespace app {

// The address the "e" icon of the banner opens.
inline const QString ProductWebPage = QStringLiteral("https://www.zantrope.net/");

class TForm1 : public framework::TForm {
    Q_OBJECT
public:
    // settingsPath: where "misuc.dat" lives (beside the executable by default).
    explicit TForm1(const platform::FileName &settingsPath = SettingsPath(), QWidget *parent = nullptr);
    ~TForm1() override;

    // Components, in creation order.
    flat::TFlatTitlebar *FlatTitlebar1 = nullptr;
    flat::TFlatButton *fb10 = nullptr, *fb11 = nullptr;
    framework::TPanel *Panel1 = nullptr;
    framework::TImage *Ima1 = nullptr, *Image1 = nullptr, *Image4 = nullptr;
    framework::TPanel *Panel2 = nullptr;
    flat::TFlatProgressBar *FpBar1 = nullptr, *Fpbar2 = nullptr;
    flat::TFlatButton *fb1 = nullptr, *fb2 = nullptr, *fb3 = nullptr, *fb4 = nullptr, *fb5 = nullptr, *fb6 = nullptr,
                      *fb7 = nullptr, *fb9 = nullptr;
    framework::TPanel *Panel3 = nullptr, *Panel4 = nullptr;
    flat::TFlatComboBox *Fc1 = nullptr;
    flat::TFlatButton *fb8 = nullptr;
    framework::TListView *Lv1 = nullptr;

    framework::TPopupMenu *Pop1 = nullptr;
    flat::TFlatHint *FlatHint1 = nullptr;
    xpmenu::TXPMenu *XPMenu1 = nullptr;
    framework::TMenuItem *AddMovie1 = nullptr, *AddFileFolder1 = nullptr, *N1 = nullptr, *Moveup1 = nullptr,
                         *Movedown1 = nullptr, *N2 = nullptr, *DelFile1 = nullptr, *DeleteAll1 = nullptr, *N3 = nullptr,
                         *About1 = nullptr, *Help1 = nullptr, *MergeMovieNow1 = nullptr, *JoinasOneMovie1 = nullptr,
                         *Play1 = nullptr, *estplay1 = nullptr;

    // The open dialog OD1 and the save dialog SD1: what they open with next time.
    platform::OpenDialogRequest OD1;
    platform::SaveDialogRequest SD1;

    // Folder of the last file added through the open dialog in this run, with a trailing "/".
    platform::FileName OpenPath;

    // Handlers.
    void FormCreate(QObject *sender);
    void FormClose(QObject *sender, bool &accept);
    void WMDROPFILES(const std::vector<platform::FileName> &names);
    void fb1Click(QObject *sender);
    void fb2Click(QObject *sender);
    void fb3Click(QObject *sender);
    void fb4Click(QObject *sender);
    void fb5Click(QObject *sender);
    void DeleteAll1Click(QObject *sender);
    void Play1Click(QObject *sender);
    void fb7Click(QObject *sender);
    void fb8Click(QObject *sender);
    void fb9Click(QObject *sender);
    void fb10Click(QObject *sender);
    void fb11Click(QObject *sender);
    void Help1Click(QObject *sender);
    void Image4Click(QObject *sender);

    // The names given on the command line, in their order: files are added
    // as a drop adds them, folders as Add Folder does.
    void AddFromCommandLine(const std::vector<platform::FileName> &names);

    // Helpers.
    platform::FileName BrowseFolder();
    void searchnews(const platform::FileName &path);

    // The list, the output name, the scan and the join.
    JoinSession &Session() { return session_; }
    // The file an item stands for: the bytes it was added with.
    const platform::FileName &ItemName(int index) const { return session_.Input(index); }
    // The file the output box names: a name the program put there keeps its
    // bytes; typed text stands for what it names. Throws when the typed text
    // could stand for several files.
    platform::FileName OutputName() const;
    void SetOutputName(const platform::FileName &name);
    // The output box's list: the recent outputs, oldest first.
    const std::vector<platform::FileName> &RecentOutputs() const { return outputBox_->Recent(); }
    void SetRecentOutputs(const std::vector<platform::FileName> &names) { outputBox_->SetRecent(names); }
    // "Join as One Movie": the menu item's check mark and the session's kind of join.
    bool JoinAsOneMovie() const;
    void SetJoinAsOneMovie(bool on);

    bool Joining() const { return session_.Joining(); }
    bool Scanning() const { return session_.Scanning(); }

    // The progress bars' hint: the running join in words, or the list at rest.
    QString ProgressHint() const { return hints_->ProgressHint(); }

private:
    void CreateComponents();
    void WireEvents();
    // The list view and the bars follow the session.
    void ShowSession();
    void JoinNow(QObject *sender);
    void JoinFinished(JoinSession::Outcome outcome, std::exception_ptr error, const JoinResult &result);
    void ItemEdited(int index, const QString &text);
    void DropFilesAt(int at, const std::vector<platform::FileName> &names);

    WindowSettingsFile settings_;
    framework::FileDropTarget *drops_ = nullptr;
    QShortcut *stopKey_ = nullptr; // Escape, while a join runs
    JoinSession session_;
    OutputNameBox *outputBox_ = nullptr;
    JoinProgressView *progress_ = nullptr;
    StopQuestion *stopQuestion_ = nullptr;
    WindowHints *hints_ = nullptr;
    bool closeAfterJoin_ = false;
};

} // namespace app
