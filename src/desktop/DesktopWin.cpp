// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop services on Windows.
#include "desktop/Desktop.h"
#include "desktop/DesktopSystem.h"

#include <QUrl>

namespace platform {

QString detail::NoOpenerDetails()
{
    return QStringLiteral("Windows has no program associated with this kind of file or address.");
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
