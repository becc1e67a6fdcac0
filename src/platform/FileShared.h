// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the POSIX and the Windows halves of File say alike. Only the platform
// layer's own sources include it.
#include "platform/Exceptions.h"
#include "platform/FileName.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QString>

namespace platform::detail {

// The name as an error shows it; a NUL shows as "\0".
inline QString Shown(const FileName &name) { return name.Display().replace(QChar(0), QStringLiteral("\\0")); }

// No file name can hold a NUL byte; such a name is refused before any open.
inline void RefuseNul(const FileName &path)
{
    if (path.HoldsNul())
        throw EInOutError(
            InOutCode::InvalidFilename,
            QStringLiteral("Invalid filename: no file name can hold a NUL character (%1)").arg(Shown(path)));
}

// A pipe, socket, device or console met where a file was wanted; kind says which.
[[noreturn]] inline void ThrowNotAFile(const FileName &path, const QString &kind, bool output)
{
    const QString what = output ? QStringLiteral("the join can only be written into a file")
                                : QStringLiteral("only files can be joined");
    throw EInOutError(InOutCode::AccessDenied,
                      QStringLiteral("File access denied: %1 is %2, and %3").arg(Shown(path), kind, what));
}

// A hidden name for a new file in its folder, holding the process id so that
// one left behind by a killed run can be told from one still being written.
inline QByteArray TempName()
{
    return ".zantrope-" + QByteArray::number(QCoreApplication::applicationPid()) + '-' +
           QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".part";
}

// The process id a temporary name of this program holds, or 0.
inline qint64 PidOfTempName(const QByteArray &name)
{
    if (!name.startsWith(".zantrope-") || !name.endsWith(".part"))
        return 0;
    const qsizetype dash = name.indexOf('-', 10);
    bool ok = false;
    const qint64 pid = dash < 0 ? 0 : name.mid(10, dash - 10).toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

} // namespace platform::detail
