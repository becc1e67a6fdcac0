// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/SystemFonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>
#include <QStringList>

namespace platform {

namespace {
QHash<QString, QString> &scalableFaces()
{
    static QHash<QString, QString> faces;
    return faces;
}
} // namespace

void ForgetScalableFaces() { scalableFaces().clear(); }

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
