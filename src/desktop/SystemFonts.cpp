// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/SystemFonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>
#include <QStringList>

namespace platform {

namespace {
QHash<QString, QString> &scalableFaces();
}

void InstallSystemFonts(const QString &wineFonts)
{
#ifdef _WIN32
    // Windows has the faces the window names ("MS Sans Serif", "Verdana",
    // the Song face), and its own substitutes for those it lacks.
    Q_UNUSED(wineFonts);
    scalableFaces().clear();
#else
    struct Face {
        QString family;
        QStringList files;
    };
    // Wine's faces carry the names the window asks for, so loading them is enough.
    const Face wine[] = {
        {QStringLiteral("MS Sans Serif"), {QStringLiteral("ms_sans_serif.ttf")}},
        {QStringLiteral("Tahoma"), {QStringLiteral("tahoma.ttf"), QStringLiteral("tahomabd.ttf")}},
    };
    scalableFaces().clear();
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
#endif
}

namespace {
QHash<QString, QString> &scalableFaces()
{
    static QHash<QString, QString> faces;
    return faces;
}
} // namespace

QString ScalableFace(const QString &family)
{
    QHash<QString, QString> &known = scalableFaces();
    if (const auto it = known.constFind(family); it != known.constEnd())
        return *it;
    QString face = family;
    // What a face resolves to, substitutes included.
    if (!QFontDatabase::isSmoothlyScalable(QFontInfo(QFont(family)).family())) {
        // Tahoma (fonts-wine) is the outline face of the same design;
        // DejaVu Sans where it is missing.
        for (const QString &standIn : {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")}) {
            if (QFontDatabase::isSmoothlyScalable(standIn)) {
                face = standIn;
                break;
            }
        }
    }
    known.insert(family, face);
    return face;
}

} // namespace platform
