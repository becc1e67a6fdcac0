// SPDX-License-Identifier: GPL-3.0-or-later
// Names on Windows: WTF-8 here, UTF-16 at the Win32 call (see FileName.h).
#include "platform/FileName.h"

#include <QUrl>
#include <windows.h>

namespace platform {

QString FileName::Display() const
{
    if (const auto units = Utf16FromWtf8(bytes_))
        return QString::fromUtf16(units->data(), qsizetype(units->size()));
    return QString::fromUtf8(bytes_);
}

// "\" separates as well as "/"; "C:name" lies in drive C's current folder.
qsizetype FileName::FolderEnd(const QByteArray &bytes)
{
    for (qsizetype i = bytes.size() - 1; i >= 0; --i)
        if (bytes[i] == '/' || bytes[i] == '\\')
            return i;
    if (bytes.size() >= 2 && bytes[1] == ':' && QChar::isLetter(char16_t(uchar(bytes[0]))) && uchar(bytes[0]) < 0x80)
        return 1;
    return -1;
}

// A name Windows gave ("C:\Users\me") goes on in its own style; one from
// Qt's dialogs ("C:/Users/me") in that.
char FileName::SeparatorAfter(const QByteArray &folder)
{
    return folder.contains('\\') && !folder.contains('/') ? '\\' : '/';
}

std::optional<std::wstring> NativeName(const FileName &name)
{
    const auto units = Utf16FromWtf8(name.Bytes());
    if (!units)
        return std::nullopt;
    return std::wstring(units->begin(), units->end());
}

FileName NameFromNative(const wchar_t *name, qsizetype length)
{
    if (length < 0)
        length = qsizetype(wcslen(name));
    return FileName(Wtf8FromUtf16(QStringView(reinterpret_cast<const char16_t *>(name), length)));
}

// The dialogs and the window hold the UTF-16 that Windows gave, lone
// surrogates included, so the text is the name itself: no look-alike can
// stand in for it, and nothing need be looked up.
FileName NameFromText(const QString &text) { return FileName(Wtf8FromUtf16(text)); }

std::optional<FileName> NameFromUrl(const QUrl &url)
{
    if (!url.isLocalFile())
        return std::nullopt;
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    if (!encoded.startsWith('/'))
        return std::nullopt;
    // An encoded separator or NUL inside a part of the name would address
    // another folder, or no file at all.
    for (const char *refused : {"%2F", "%2f", "%5C", "%5c", "%00"})
        if (encoded.contains(refused))
            return std::nullopt;
    QByteArray bytes = QByteArray::fromPercentEncoding(encoded);
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        bytes = "//" + host.toUtf8() + bytes; // a share: \\server\share\...
    else if (bytes.size() >= 3 && bytes[2] == ':')
        bytes.remove(0, 1); // "/C:/a.mpg"
    // The address's separators, as Windows writes them; no part of a name
    // holds either.
    bytes.replace('/', '\\');
    if (!Utf16FromWtf8(bytes))
        return std::nullopt;
    return FileName(bytes);
}

FileName NameFromStored(const QByteArray &bytes)
{
    if (bytes.isEmpty() || Utf16FromWtf8(bytes))
        return FileName(bytes);
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.constData(), int(bytes.size()), nullptr, 0);
    std::wstring wide(size_t(qMax(n, 0)), L'\0');
    if (n <= 0 || MultiByteToWideChar(CP_ACP, 0, bytes.constData(), int(bytes.size()), wide.data(), n) != n)
        return FileName(bytes); // opening it reports the name as invalid
    return NameFromNative(wide.c_str(), n);
}

FileName HomeFolder()
{
    const auto variable = [](const wchar_t *name) {
        wchar_t value[32768];
        const DWORD n = GetEnvironmentVariableW(name, value, DWORD(std::size(value)));
        return n > 0 && n < std::size(value) ? NameFromNative(value, n) : FileName();
    };
    QByteArray home = variable(L"USERPROFILE").Bytes();
    if (home.isEmpty())
        home = variable(L"HOMEDRIVE").Bytes() + variable(L"HOMEPATH").Bytes();
    // "C:\" keeps its separator: without it, "C:" means the drive's current folder.
    while (home.size() > 3 && (home.endsWith('\\') || home.endsWith('/')))
        home.chop(1);
    return FileName(home);
}

FileName AbsoluteName(const FileName &name)
{
    const QByteArray &b = name.Bytes();
    const auto separator = [](char c) { return c == '/' || c == '\\'; };
    const bool unc = b.size() >= 2 && separator(b[0]) && separator(b[1]);
    const bool drive = b.size() >= 3 && b[1] == ':' && separator(b[2]);
    if (unc || drive)
        return name;
    // "\a.mpg" lies on the current drive and "C:a.mpg" in drive C's current
    // folder: the system knows both.
    const auto native = NativeName(name);
    if (!native || native->empty())
        return name;
    std::wstring full(MAX_PATH, L'\0');
    DWORD n = GetFullPathNameW(native->c_str(), DWORD(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = GetFullPathNameW(native->c_str(), DWORD(full.size()), full.data(), nullptr);
    }
    return n == 0 || n >= full.size() ? name : NameFromNative(full.c_str(), n);
}

} // namespace platform
