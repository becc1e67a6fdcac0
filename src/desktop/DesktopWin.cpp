// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop services on Windows.
#include "desktop/Desktop.h"
#include "desktop/DesktopSystem.h"

#include <QDesktopServices>
#include <QUrl>
#include <QWidget>
#include <windows.h>
// After windows.h, which it needs.
#include <shobjidl.h>

namespace platform {

QFileDialog::Options detail::FileDialogOptions() { return {}; }

// The file system ignores case. "*.*" means every file to Windows people
// and to Explorer's dialog, but hides names without a dot in Qt's own.
QStringList detail::DialogPatterns(const QStringList &patterns)
{
    QStringList result = patterns;
    for (QString &pattern : result)
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
    return result;
}

// The shell (ShellExecute) answers at once whether a program took the file;
// nothing is told later.
bool detail::StartOpener(const QUrl &url, std::function<void(const QString &reason)>)
{
    return QDesktopServices::openUrl(url);
}

QString detail::NoOpenerDetails()
{
    return QStringLiteral("Windows has no program associated with this kind of file or address.");
}

namespace {

// The taskbar's progress through ITaskbarList3, made on first use on the
// thread of the windows. Without it (no COM on the thread, or Wine's
// taskbar, which lacks it) nothing shows.
class WindowsTaskbar final : public Taskbar {
public:
    void ShowProgress(QWidget *window, TaskbarProgress state, int percent) override
    {
        ITaskbarList3 *list = List();
        if (!list || !window)
            return;
        const HWND button = reinterpret_cast<HWND>(window->window()->winId());
        list->SetProgressState(button, Flag(state));
        if (state != TaskbarProgress::None)
            list->SetProgressValue(button, ULONGLONG(qBound(0, percent, 100)), 100);
    }

private:
    static TBPFLAG Flag(TaskbarProgress state)
    {
        switch (state) {
        case TaskbarProgress::None: return TBPF_NOPROGRESS;
        case TaskbarProgress::Normal: return TBPF_NORMAL;
        case TaskbarProgress::Paused: return TBPF_PAUSED;
        case TaskbarProgress::Error: return TBPF_ERROR;
        }
        return TBPF_NOPROGRESS;
    }

    ITaskbarList3 *List()
    {
        if (tried_)
            return list_;
        tried_ = true;
        void *made = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, &made))) {
            list_ = static_cast<ITaskbarList3 *>(made);
            if (FAILED(list_->HrInit())) {
                list_->Release();
                list_ = nullptr;
            }
        }
        return list_;
    }

    bool tried_ = false;
    ITaskbarList3 *list_ = nullptr; // lives as long as the program
};

} // namespace

Taskbar &detail::SystemTaskbar()
{
    static WindowsTaskbar taskbar;
    return taskbar;
}

QUrl UrlOfFile(const FileName &path)
{
    // "C:\a b.mpg" is file:///C:/a%20b.mpg; a share's "\\host\share\x" is file://host/share/x.
    QByteArray name = AbsoluteName(path).Bytes();
    name.replace('\\', '/');
    const QByteArray scheme = name.startsWith("//") ? "file:" : "file:///";
    return QUrl::fromEncoded(scheme + name.toPercentEncoding("/:"), QUrl::StrictMode);
}

} // namespace platform
