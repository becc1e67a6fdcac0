// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/Opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

// The shell (ShellExecute) answers at once whether a program took the file;
// nothing is told later.
bool StartOpener(const QUrl &url, std::function<void(const QString &reason)>) { return QDesktopServices::openUrl(url); }

QString OpenerAdvice()
{
    return QStringLiteral("Windows has no program associated with this kind of file or address.");
}

} // namespace platform
