// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/Desktop.h"
#include "desktop/DesktopSystem.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "platform/Exceptions.h"
#include "platform/File.h"

namespace platform {
namespace {

// The names in the dialog's file-name box, in their order: one name, or
// several in quotes.
QStringList NamesInBox(const QString &text)
{
    if (!text.contains(QLatin1Char('"')))
        return text.isEmpty() ? QStringList() : QStringList{text};
    QStringList names;
    for (qsizetype open = text.indexOf(QLatin1Char('"')); open >= 0;) {
        const qsizetype close = text.indexOf(QLatin1Char('"'), open + 1);
        if (close < 0)
            break;
        if (close > open + 1)
            names << text.mid(open + 1, close - open - 1);
        open = text.indexOf(QLatin1Char('"'), close + 1);
    }
    return names;
}

// What the person chose. The dialog itself reports the files selected in its
// view whenever there are any, and so drops typed names that the current
// filter hides; the names in the box are what was chosen, in typed order.
QStringList ChosenFiles(const QFileDialog &dialog)
{
    const auto *box = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    const QStringList typed = box ? NamesInBox(box->text()) : QStringList();
    if (typed.isEmpty())
        return dialog.selectedFiles();
    const QDir folder = dialog.directory();
    QStringList files;
    for (const QString &name : typed)
        files << (QDir::isAbsolutePath(name) ? name : folder.absoluteFilePath(name));
    return files;
}

// Qt's dialogs give names with "/", which Windows writes "\\".
FileName NameFromDialog(const QString &text) { return NameFromText(QDir::toNativeSeparators(text)); }

class QtDialogs final : public Dialogs {
public:
    std::vector<FileName> Open(QWidget *owner, const OpenDialogRequest &request) override
    {
        QFileDialog dialog(owner);
        dialog.setOptions(detail::FileDialogOptions() | QFileDialog::HideNameFilterDetails);
        dialog.setFileMode(request.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        if (!request.InitialDir.IsEmpty())
            dialog.setDirectory(request.InitialDir.Display());
        QStringList filters;
        for (const FileFilter &f : request.Filters)
            filters << QStringLiteral("%1 (%2)").arg(f.Description, detail::DialogPatterns(f.Patterns).join(' '));
        dialog.setNameFilters(filters);
        if (dialog.exec() != QDialog::Accepted)
            return {};
        std::vector<FileName> files;
        for (const QString &f : ChosenFiles(dialog))
            files.push_back(NameFromDialog(f));
        return files;
    }

    FileName Save(QWidget *owner, const SaveDialogRequest &request) override
    {
        QFileDialog dialog(owner);
        dialog.setOptions(detail::FileDialogOptions() | QFileDialog::DontConfirmOverwrite);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(request.DefaultExt);
        if (!request.FileName.IsEmpty())
            dialog.selectFile(request.FileName.Display());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return NameFromDialog(dialog.selectedFiles().first());
    }

    FileName BrowseFolder(QWidget *owner, const QString &title) override
    {
        const QString folder = QFileDialog::getExistingDirectory(
            owner, title, QString(), QFileDialog::ShowDirsOnly | detail::FileDialogOptions());
        return folder.isEmpty() ? FileName() : NameFromDialog(folder);
    }
};

// Every icon a box may show; the compiler warns about a new one until it is mapped here.
static QMessageBox::Icon BoxIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None: return QMessageBox::NoIcon;
    case MsgIcon::Stop: return QMessageBox::Critical;
    case MsgIcon::Warning: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

class QtMessageBoxes final : public MessageBoxes {
public:
    void Show(QWidget *owner, const QString &text, const QString &caption, MsgIcon icon,
              const QString &details) override
    {
        QMessageBox box(owner);
        box.setWindowTitle(caption);
        box.setText(text);
        box.setInformativeText(details);
        box.setStandardButtons(QMessageBox::Ok);
        box.setIcon(BoxIcon(icon));
        box.exec();
    }

    int Ask(QWidget *owner, const Question &question) override
    {
        QMessageBox box(owner);
        const QList<QAbstractButton *> buttons = Prepare(box, question);
        box.exec();
        return Answer(box, buttons, question);
    }

    void Pose(QWidget *owner, const Question &question, std::function<void(int)> answered) override
    {
        auto *box = new QMessageBox(owner);
        box->setAttribute(Qt::WA_DeleteOnClose);
        // Modal to the whole program, as the boxes that wait are: modal to
        // its window only (as open() would make it), a click on the window
        // took the keyboard from the box under openbox, and Esc and Return
        // did nothing.
        box->setWindowModality(Qt::ApplicationModal);
        const QList<QAbstractButton *> buttons = Prepare(*box, question);
        QObject::connect(box, &QMessageBox::finished, box, [box, buttons, question, answered = std::move(answered)] {
            answered(Answer(*box, buttons, question));
        });
        box->show();
    }

private:
    // The box's texts and buttons, one per answer in order.
    static QList<QAbstractButton *> Prepare(QMessageBox &box, const Question &question)
    {
        box.setWindowTitle(question.Caption);
        box.setText(question.Text);
        box.setInformativeText(question.Details);
        box.setIcon(BoxIcon(question.Icon));
        QList<QAbstractButton *> buttons;
        for (const QString &answer : question.Answers)
            buttons << box.addButton(answer, QMessageBox::AcceptRole);
        if (question.DefaultAnswer >= 0 && question.DefaultAnswer < buttons.size())
            box.setDefaultButton(qobject_cast<QPushButton *>(buttons[question.DefaultAnswer]));
        if (question.EscapeAnswer >= 0 && question.EscapeAnswer < buttons.size())
            box.setEscapeButton(buttons[question.EscapeAnswer]);
        return buttons;
    }

    static int Answer(const QMessageBox &box, const QList<QAbstractButton *> &buttons, const Question &question)
    {
        const qsizetype chosen = buttons.indexOf(box.clickedButton());
        return chosen >= 0 ? int(chosen) : question.EscapeAnswer;
    }
};

// No opener at all, or one that found no program: the message names what
// would not open.
Exception NotOpened(const QString &what, const QString &reason)
{
    Exception error(QStringLiteral("No program was found to open %1").arg(what));
    error.SetDetails(reason);
    return error;
}

void Open(const QUrl &url, const QString &what, const OpenFailed &failed)
{
    if (!detail::StartOpener(url, [what, failed](const QString &reason) {
            if (failed)
                failed(NotOpened(what, reason));
        }))
        throw NotOpened(what, detail::NoOpenerDetails());
}

class QtShell final : public Shell {
public:
    void OpenFile(QWidget *, const FileName &path, const OpenFailed &failed) override
    {
        // The opener would fail on its own, out of sight.
        if (IsMissing(path)) {
            EInOutError missing(2);
            missing.SetDetails(path.Display());
            throw missing;
        }
        Open(UrlOfFile(path), path.Display(), failed);
    }
    void OpenAddress(QWidget *, const QString &url, const OpenFailed &failed) override { Open(QUrl(url), url, failed); }
};

template <class Service>
Service *&current();

template <>
Dialogs *&current<Dialogs>()
{
    static QtDialogs real;
    static Dialogs *p = &real;
    return p;
}
template <>
MessageBoxes *&current<MessageBoxes>()
{
    static QtMessageBoxes real;
    static MessageBoxes *p = &real;
    return p;
}
template <>
Shell *&current<Shell>()
{
    static QtShell real;
    static Shell *p = &real;
    return p;
}

template <>
Taskbar *&current<Taskbar>()
{
    static Taskbar *p = &detail::SystemTaskbar();
    return p;
}

} // namespace

Dialogs &CurrentDialogs() { return *current<Dialogs>(); }
MessageBoxes &CurrentMessageBoxes() { return *current<MessageBoxes>(); }
Shell &CurrentShell() { return *current<Shell>(); }
Taskbar &CurrentTaskbar() { return *current<Taskbar>(); }

template <class Service>
Override<Service>::Override(Service &standIn) : previous_(current<Service>())
{
    current<Service>() = &standIn;
}

template <class Service>
Override<Service>::~Override()
{
    current<Service>() = previous_;
}

template class Override<Dialogs>;
template class Override<MessageBoxes>;
template class Override<Shell>;
template class Override<Taskbar>;

QStringList CaseInsensitivePatterns(const QStringList &patterns)
{
    QStringList result;
    for (const QString &p : patterns) {
        if (p == QLatin1String("*.*")) {
            result << QStringLiteral("*");
            continue;
        }
        QString out;
        for (const QChar c : p) {
            if (c.isLetter() && c.toLower() != c.toUpper())
                out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
            else
                out += c;
        }
        result << out;
    }
    return result;
}

} // namespace platform
