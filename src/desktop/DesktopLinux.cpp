// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop services on Linux.
#include "desktop/Desktop.h"
#include "desktop/DesktopSystem.h"

#include <QUrl>

namespace platform {

QString detail::NoOpenerDetails()
{
    return QStringLiteral("Files and addresses are opened through xdg-open, from the package xdg-utils.");
}

QUrl UrlOfFile(const FileName &path)
{
    return QUrl::fromEncoded("file://" + AbsoluteName(path).Bytes().toPercentEncoding("/"), QUrl::StrictMode);
}

} // namespace platform
