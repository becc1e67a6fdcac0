// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Profile (INI) strings kept in a small text file.
//
// Lookups ignore the case of section and key names. Everything the service does
// not write stays as it was, byte for byte: unknown sections and keys, comments,
// blank lines, their order, the spelling of names and their line ends. Lines it
// writes end in CR LF; both CR LF and LF are read.
//
// Values are 8-bit text: ReadValue and WriteValue keep their bytes exactly
// (file names need not be UTF-8); ReadString and WriteString see them as UTF-8.
//
// Writes go to a copy in memory; the file is written when Flush() runs or the
// object is released, as a new file that takes the old one's place whole (see
// File::Create): a link stays a link and the file keeps its owner and mode; a
// file that grants no write permission is left alone, also for root. A failed
// write leaves the old content.
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

#include "platform/FileName.h"

namespace platform {

class ProfileFile {
public:
    // Values are read with room for this many characters; longer ones are cut.
    static constexpr int MaxValueLength = 2047;
    // A larger file is not read (it reads as unreadable) and never written.
    static constexpr qint64 MaxFileSize = qint64(1) << 20;

    explicit ProfileFile(FileName fileName);
    // Flushes pending writes. A failure here cannot be reported: call Flush()
    // first where the caller must know.
    ~ProfileFile();
    ProfileFile(const ProfileFile &) = delete;
    ProfileFile &operator=(const ProfileFile &) = delete;

    const platform::FileName &Name() const { return fileName_; }

    // The value of key in section; def when the section or the key is absent.
    // A key present with an empty value reads as the empty text.
    QByteArray ReadValue(const QString &section, const QString &key, const QByteArray &def) const;
    QString ReadString(const QString &section, const QString &key, const QString &def) const;
    // The value of key in section, however long; none when absent. For names,
    // which a cut would turn into the name of another file.
    std::optional<QByteArray> ReadWholeValue(const QString &section, const QString &key) const;

    // Sets key in section, adding the key at the end of its section or the
    // section at the end of the file where missing. Returns false, changing
    // nothing, when the names or the value cannot be stored in a line
    // (line breaks, "=" in a key, "]" in a section name, empty names).
    bool WriteValue(const QString &section, const QString &key, const QByteArray &value);
    bool WriteString(const QString &section, const QString &key, const QString &value);

    // Stores pending writes in the file. Returns false when the file cannot be
    // written (ErrorString() says why); the file on disk is then unchanged and
    // the writes stay pending, so a later Flush() tries again.
    bool Flush();
    bool IsDirty() const { return dirty_; }
    const QString &ErrorString() const { return error_; }

private:
    struct Line {
        QByteArray text; // without its line end
        QByteArray end;  // "\r\n", "\n", or empty for a last line without one
    };
    struct Range {
        qsizetype header; // index of the section's header line
        qsizetype end;    // index of the next section's header, or the line count
    };

    void Load();
    std::optional<Range> FindSection(const QString &section) const;
    std::optional<qsizetype> FindKey(const Range &range, const QString &key) const;
    void InsertLine(qsizetype at, QByteArray text);
    QByteArray Serialize() const;

    platform::FileName fileName_;
    QList<Line> lines_;
    QByteArray original_;
    bool loadFailed_ = false; // the file exists but could not be read
    QString tooLarge_;        // why it was not read: its size
    bool dirty_ = false;
    QString error_;
};

} // namespace platform
