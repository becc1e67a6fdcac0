#include "platform/Desktop.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QFileSystemModel>
#include <QUrl>

namespace platform {
namespace {

// Shows only files that match the current filter, ignoring case, and every folder.
class CaseInsensitiveFilter : public QSortFilterProxyModel {
public:
    QStringList patterns;

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        const auto *fs = qobject_cast<QFileSystemModel *>(sourceModel());
        const QModelIndex index = sourceModel()->index(row, 0, parent);
        if (!fs || fs->isDir(index))
            return true;
        return MatchesFilter(fs->fileName(index), patterns);
    }
};

class QtDialogs final : public Dialogs {
public:
    QStringList Open(QWidget *owner, const OpenDialogRequest &request) override
    {
        QFileDialog dialog(owner);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setFileMode(request.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        if (!request.InitialDir.isEmpty())
            dialog.setDirectory(request.InitialDir);
        QStringList names;
        for (const FileFilter &f : request.Filters)
            names << QStringLiteral("%1 (%2)").arg(f.Description, f.Patterns.join(' '));
        // The dialog's own filter is case-sensitive here; the proxy does the matching.
        auto *proxy = new CaseInsensitiveFilter;
        dialog.setProxyModel(proxy);
        dialog.setNameFilters(names);
        auto apply = [&](const QString &chosen) {
            const auto at = names.indexOf(chosen);
            proxy->patterns = at >= 0 ? request.Filters[static_cast<std::size_t>(at)].Patterns : QStringList{};
            proxy->invalidate();
        };
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, apply);
        if (!names.isEmpty()) {
            dialog.selectNameFilter(names.first());
            apply(names.first());
        }
        if (dialog.exec() != QDialog::Accepted)
            return {};
        QStringList files;
        for (const QString &f : dialog.selectedFiles())
            files << QDir::toNativeSeparators(f);
        return files;
    }

    QString Save(QWidget *owner, const SaveDialogRequest &request) override
    {
        QFileDialog dialog(owner);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(request.DefaultExt);
        if (!request.FileName.isEmpty())
            dialog.selectFile(request.FileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return QDir::toNativeSeparators(dialog.selectedFiles().first());
    }

    QString BrowseFolder(QWidget *owner, const QString &title) override
    {
        return QDir::toNativeSeparators(QFileDialog::getExistingDirectory(
            owner, title, QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog));
    }
};

class QtMessageBoxes final : public MessageBoxes {
public:
    void Show(QWidget *owner, const QString &text, const QString &caption, MsgIcon icon) override
    {
        QMessageBox box(owner);
        box.setWindowTitle(caption);
        box.setText(text);
        box.setStandardButtons(QMessageBox::Ok);
        switch (icon) {
        case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
        case MsgIcon::Stop: box.setIcon(QMessageBox::Critical); break;
        case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
        }
        box.exec();
    }
};

class QtShell final : public Shell {
public:
    void OpenFile(QWidget *, const QString &path) override
    {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    }
    void OpenAddress(QWidget *, const QString &url) override { QDesktopServices::openUrl(QUrl(url)); }
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

} // namespace

Dialogs &CurrentDialogs() { return *current<Dialogs>(); }
MessageBoxes &CurrentMessageBoxes() { return *current<MessageBoxes>(); }
Shell &CurrentShell() { return *current<Shell>(); }

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

bool MatchesFilter(const QString &fileName, const QStringList &patterns)
{
    for (const QString &p : patterns) {
        if (p == QLatin1String("*.*") || p == QLatin1String("*"))
            return true;
        const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(p),
                                    QRegularExpression::CaseInsensitiveOption);
        if (re.match(fileName).hasMatch())
            return true;
    }
    return false;
}

} // namespace platform
