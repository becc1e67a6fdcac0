// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file's name as the file system holds it: bytes, which need not be valid
// text. Names travel as FileName from where they enter (a folder scan, a
// drop, the settings file, the command line) to where they are opened; only
// their readable form is ever shown. "/" is the only separator.
//
// Windows holds names as UTF-16 that need not be valid either (a lone
// surrogate is a legal name there). Its names are kept as WTF-8: UTF-8 that
// also carries lone surrogates. That is lossless both ways, leaves every
// valid name readable as UTF-8, keeps "/" and "\" single bytes that no
// other character contains, and lets the same class, the settings file and
// the shared code serve both systems; the UTF-16 form is made only at the
// Win32 call. There "\" separates as well as "/", and "C:" starts a path.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>
#include <string>
#include <vector>

class QUrl;

namespace platform {

class FileName {
public:
    FileName() = default;
    explicit FileName(QByteArray bytes) : bytes_(std::move(bytes)) {}
    // The UTF-8 bytes of a text the program made itself or a person typed as
    // a new name. Text that shows an existing name goes through NameFromText.
    static FileName FromUtf8(const QString &text) { return FileName(text.toUtf8()); }

    const QByteArray &Bytes() const { return bytes_; }
    bool IsEmpty() const { return bytes_.isEmpty(); }
    // Readable form: bytes that are not UTF-8 show as U+FFFD. On Windows a
    // lone surrogate stays itself, so the text stands for the name exactly.
    QString Display() const;
    // No file name can hold a NUL byte; such a name is refused before any open.
    bool HoldsNul() const { return bytes_.contains('\0'); }

    // Everything up to and including the last separator; empty without one.
    FileName Folder() const;
    // The folder the name lies in, as a name of its own: Folder() without
    // its last separator, unless that separator is a root ("/", "E:\"),
    // where plain "E:" would be drive E's current folder.
    FileName ContainingFolder() const;
    // What follows the last "." after the last "/", without the "."; empty without one.
    QByteArray Extension() const;
    // The part after the last separator.
    QByteArray LastPart() const;
    FileName operator/(const QByteArray &child) const; // "folder/" + child, one separator between
    FileName operator+(const QByteArray &tail) const { return FileName(bytes_ + tail); }

    friend bool operator==(const FileName &, const FileName &) = default;

private:
    // What each system's half says: where the folder part of bytes ends
    // (the last separator, or the drive's ":" of "C:name"), -1 for none;
    // and the separator that goes between a folder and a name in it.
    static qsizetype FolderEnd(const QByteArray &bytes);
    static char SeparatorAfter(const QByteArray &folder);

    QByteArray bytes_;
};

// The name that a text shown to or typed by a person stands for. A text
// without U+FFFD is its UTF-8 bytes. A part of the path that holds U+FFFD may
// show a name that is not UTF-8: it is looked up in its folder and stands for
// the one entry that shows as that text (or for the text's own bytes when no
// entry does). Throws Exception when several entries show as that text, so a
// look-alike is never taken for the file that was meant.
FileName NameFromText(const QString &text);

// The local file a URL addresses, as the bytes its percent-encoding carries;
// none for anything but an absolute address of a file on this machine, and
// none for a name holding an encoded "/" or NUL, which no file name can hold.
std::optional<FileName> NameFromUrl(const QUrl &url);

// The names of the local files among urls, in their order; the others are skipped.
std::vector<FileName> NamesFromUrls(const QList<QUrl> &urls);

// A name as a settings file stores it. On Windows, where the original
// program wrote names in the 8-bit code page, bytes that are not WTF-8 are
// read in that code page; elsewhere the bytes are the name.
FileName NameFromStored(const QByteArray &bytes);

// The user's home folder as the system gives it, without a trailing "/".
FileName HomeFolder();

// name made absolute against the current folder; an absolute name as it is.
FileName AbsoluteName(const FileName &name);

// WTF-8 for UTF-16 units, lone surrogates included.
QByteArray Wtf8FromUtf16(QStringView text);
// The UTF-16 units of WTF-8 bytes; none for bytes that are not WTF-8 (no
// name on Windows is spelt that way) or that hold a NUL.
std::optional<std::u16string> Utf16FromWtf8(const QByteArray &bytes);

#ifdef _WIN32
// The name as a Win32 call takes it; none when it can name no file (see
// Utf16FromWtf8).
std::optional<std::wstring> NativeName(const FileName &name);
// The name a Win32 call gave.
FileName NameFromNative(const wchar_t *name, qsizetype length = -1);
#endif

} // namespace platform
