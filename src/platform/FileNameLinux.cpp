// SPDX-License-Identifier: GPL-3.0-or-later
// Names on POSIX systems: bytes, as the kernel takes them.
#include "platform/FileName.h"

#include "platform/Exceptions.h"

#include <QStringList>
#include <QUrl>
#include <dirent.h>
#include <pwd.h>
#include <unistd.h>

namespace platform {

namespace {

// The entries of folder whose readable form is text.
QList<QByteArray> EntriesShownAs(const QByteArray &folder, const QString &text)
{
    QList<QByteArray> found;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return found;
    while (const dirent *d = ::readdir(dir)) {
        const QByteArray name(d->d_name);
        if (QString::fromUtf8(name) == text)
            found << name;
    }
    ::closedir(dir);
    return found;
}

} // namespace

QString FileName::Display() const { return QString::fromUtf8(bytes_); }

qsizetype FileName::FolderEnd(const QByteArray &bytes) { return bytes.lastIndexOf('/'); }

char FileName::SeparatorAfter(const QByteArray &) { return '/'; }

FileName NameFromText(const QString &text)
{
    if (!text.contains(QChar::ReplacementCharacter))
        return FileName::FromUtf8(text);
    const QStringList parts = text.split(QLatin1Char('/'));
    QByteArray bytes;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            bytes += '/';
        const QString &part = parts[i];
        if (!part.contains(QChar::ReplacementCharacter)) {
            bytes += part.toUtf8();
            continue;
        }
        const QList<QByteArray> found = EntriesShownAs(bytes.isEmpty() ? QByteArray(".") : bytes, part);
        if (found.size() > 1)
            throw Exception(QStringLiteral("Several files are shown as \"%1\": their names are not valid "
                                           "text, and Zantrope cannot tell which one is meant. Add the "
                                           "file with Add Folder or drop it onto the window instead")
                                .arg(text));
        bytes += found.isEmpty() ? part.toUtf8() : found.first();
    }
    return FileName(bytes);
}

std::optional<FileName> NameFromUrl(const QUrl &url)
{
    if (!url.isLocalFile())
        return std::nullopt;
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    // The encoded path keeps bytes that are not UTF-8 as %XX; decoding them
    // gives the name exactly as the sender had it.
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    // "file:a.mpg" would be taken relative to wherever the program runs.
    if (!encoded.startsWith('/'))
        return std::nullopt;
    // "%2F" is a "/" inside one part of the name, which no file can have;
    // decoded, it would address another folder.
    if (encoded.contains("%2F") || encoded.contains("%2f") || encoded.contains("%00"))
        return std::nullopt;
    return FileName(QByteArray::fromPercentEncoding(encoded));
}

FileName NameFromStored(const QByteArray &bytes) { return FileName(bytes); }

FileName HomeFolder()
{
    QByteArray home = qgetenv("HOME");
    if (home.isEmpty()) {
        if (const passwd *pw = ::getpwuid(::getuid()))
            home = pw->pw_dir;
    }
    while (home.size() > 1 && home.endsWith('/'))
        home.chop(1);
    return FileName(home);
}

FileName AbsoluteName(const FileName &name)
{
    if (name.Bytes().startsWith('/'))
        return name;
    QByteArray cwd(4096, Qt::Uninitialized);
    if (!::getcwd(cwd.data(), size_t(cwd.size())))
        return name;
    cwd.truncate(qsizetype(qstrlen(cwd.constData())));
    return FileName(cwd) / name.Bytes();
}

} // namespace platform
