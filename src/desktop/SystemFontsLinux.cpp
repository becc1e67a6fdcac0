// SPDX-License-Identifier: GPL-3.0-or-later
// The window's faces on Linux: Wine's, and free substitutes.
#include "desktop/SystemFonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace platform {

void InstallSystemFonts(const QString &wineFonts)
{
    struct Face {
        QString family;
        QStringList files;
    };
    // Wine's faces carry the names the window asks for, so loading them is enough.
    const Face wine[] = {
        {QStringLiteral("MS Sans Serif"), {QStringLiteral("ms_sans_serif.ttf")}},
        {QStringLiteral("Tahoma"), {QStringLiteral("tahoma.ttf"), QStringLiteral("tahomabd.ttf")}},
    };
    ForgetScalableFaces();
    const QStringList known = QFontDatabase::families();
    for (const Face &face : wine) {
        if (known.contains(face.family, Qt::CaseInsensitive))
            continue;
        for (const QString &file : face.files)
            QFontDatabase::addApplicationFont(wineFonts + QLatin1Char('/') + file);
    }
    // Substitutes are only tried when the named face is not installed.
    // DejaVu Sans shares Verdana's wide, open design (fonts-dejavu-core).
    QFont::insertSubstitution(QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"));
    // A Song (Ming) face for the menu (fonts-arphic-uming).
    QFont::insertSubstitution(QString::fromUtf8("\u5b8b\u4f53"), QStringLiteral("AR PL UMing CN"));
}

} // namespace platform
