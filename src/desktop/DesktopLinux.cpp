// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop services on Linux.
#include "desktop/Desktop.h"
#include "desktop/DesktopSystem.h"

#include <QUrl>

namespace platform {

QFileDialog::Options detail::FileDialogOptions() { return QFileDialog::DontUseNativeDialog; }

QStringList detail::DialogPatterns(const QStringList &patterns) { return CaseInsensitivePatterns(patterns); }

QString detail::NoOpenerDetails()
{
    return QStringLiteral("Files and addresses are opened through xdg-open, from the package xdg-utils.");
}

// Qt gives no way to the launchers' progress on Linux desktops: the
// window's title tells how far a join is (JoinProgressView).
Taskbar &detail::SystemTaskbar()
{
    class NoProgress final : public Taskbar {
    public:
        void ShowProgress(QWidget *, TaskbarProgress, int) override {}
    };
    static NoProgress taskbar;
    return taskbar;
}

QUrl UrlOfFile(const FileName &path)
{
    return QUrl::fromEncoded("file://" + AbsoluteName(path).Bytes().toPercentEncoding("/"), QUrl::StrictMode);
}

} // namespace platform
