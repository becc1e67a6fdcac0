// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a person or the desktop does for the program: dialogs, message boxes,
// opening files with their associated programs. Each service is an interface
// with a real implementation; tests install stand-ins through Override.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "platform/FileName.h"

class QUrl;
class QWidget;

namespace platform {

class Exception;

struct FileFilter {
    QString Description;
    QStringList Patterns; // "*.mpg"; matched regardless of case
};

struct OpenDialogRequest {
    std::vector<FileFilter> Filters;
    platform::FileName InitialDir; // empty: the desktop's default folder
    bool MultiSelect = false;
};

struct SaveDialogRequest {
    platform::FileName FileName; // proposed name, possibly with a folder
    QString DefaultExt;          // appended when the typed name has none
};

// The dialogs show names as text; what they return are the names that text
// stands for (NameFromText), so a look-alike is never returned for a file.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Chosen files in the dialog's order; empty when cancelled.
    virtual std::vector<FileName> Open(QWidget *owner, const OpenDialogRequest &request) = 0;
    // Chosen full name; empty when cancelled.
    virtual FileName Save(QWidget *owner, const SaveDialogRequest &request) = 0;
    // Chosen folder's path; empty when cancelled.
    virtual FileName BrowseFolder(QWidget *owner, const QString &title) = 0;
};

enum class MsgIcon { None, Stop, Warning, Information, Question };

// A question with a few answers, one button each.
struct Question {
    QString Text;
    QString Caption;
    QString Details;       // shown beneath the text; may be empty
    QStringList Answers;   // button captions, in order
    int DefaultAnswer = 0; // what Enter gives
    int EscapeAnswer = 0;  // what Escape and closing the box give
    MsgIcon Icon = MsgIcon::Question;
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // OK-only box; details, when not empty, stand beneath the text.
    virtual void Show(QWidget *owner, const QString &text, const QString &caption, MsgIcon icon,
                      const QString &details) = 0;
    // The index of the answer chosen.
    virtual int Ask(QWidget *owner, const Question &question) = 0;
    // Shows the question and returns at once; answered gets the index of the
    // answer once the person has chosen. The box keeps its owner from other
    // input meanwhile, without a loop of its own. Stand-ins that answer at
    // once get this from Ask.
    virtual void Pose(QWidget *owner, const Question &question, std::function<void(int)> answered)
    {
        answered(Ask(owner, question));
    }
};

// Told, on the GUI thread, when the desktop's opener says after the call
// has returned that it could not open what it was given.
using OpenFailed = std::function<void(const Exception &error)>;

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a file with its associated program. Throws platform::EInOutError
    // (2, the file as details) when it does not exist, and platform::Exception
    // when no opener is installed; failed hears when the opener finds no
    // program for it later. So the command says why nothing opens; what the
    // program does with the file is not reported.
    virtual void OpenFile(QWidget *owner, const FileName &path, const OpenFailed &failed) = 0;
    // Opens an address in the default browser, failing as OpenFile does.
    virtual void OpenAddress(QWidget *owner, const QString &url, const OpenFailed &failed) = 0;
};

// How far a long task is, shown on the window's button in the taskbar.
enum class TaskbarProgress { None, Normal, Paused, Error };

class Taskbar {
public:
    virtual ~Taskbar() = default;
    // Shows state and, but for None, percent (0 to 100) on window's button.
    // Windows has it (ITaskbarList3); where the taskbar cannot show it (Wine,
    // Linux), nothing shows and nothing fails.
    virtual void ShowProgress(QWidget *window, TaskbarProgress state, int percent) = 0;
};

Dialogs &CurrentDialogs();
MessageBoxes &CurrentMessageBoxes();
Shell &CurrentShell();
Taskbar &CurrentTaskbar();

// Installs a stand-in for the life of this object.
template <class Service>
class Override {
public:
    explicit Override(Service &standIn);
    ~Override();
    Override(const Override &) = delete;
    Override &operator=(const Override &) = delete;

private:
    Service *previous_;
};

extern template class Override<Dialogs>;
extern template class Override<MessageBoxes>;
extern template class Override<Shell>;
extern template class Override<Taskbar>;

// The dialog's own patterns for a filter's patterns: each letter matches
// either case ("*.mpg" becomes "*.[mM][pP][gG]"), and "*.*" is every file.
QStringList CaseInsensitivePatterns(const QStringList &patterns);

// The file: URL of path, made absolute against the current folder, carrying
// its bytes exactly (percent-encoded where they are not plain text).
QUrl UrlOfFile(const FileName &path);

} // namespace platform
