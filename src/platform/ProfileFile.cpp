// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProfileFile.h"

#include "platform/File.h"

#include <utility>

namespace platform {
namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");

// The name inside "[...]", when the line is a section header.
std::optional<QString> SectionOf(const QByteArray &text)
{
    const QString line = QString::fromUtf8(text).trimmed();
    if (!line.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = line.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return line.mid(1, close - 1).trimmed();
}

struct KeyLine {
    QString key;
    QByteArray value;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

QByteArray TrimBlanks(const QByteArray &bytes)
{
    qsizetype from = 0, to = bytes.size();
    while (from < to && IsBlank(bytes[from]))
        ++from;
    while (to > from && IsBlank(bytes[to - 1]))
        --to;
    return bytes.mid(from, to - from);
}

// Key and value of a "key=value" line; comments, headers and other text are not keys.
std::optional<KeyLine> KeyOf(const QByteArray &text)
{
    const QByteArray trimmed = TrimBlanks(text);
    if (trimmed.isEmpty() || trimmed.startsWith(';') || trimmed.startsWith('['))
        return std::nullopt;
    const qsizetype eq = text.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    KeyLine result{QString::fromUtf8(TrimBlanks(text.left(eq))), TrimBlanks(text.mid(eq + 1))};
    if (result.key.isEmpty())
        return std::nullopt;
    return result;
}

bool IsBlankLine(const QByteArray &text) { return text.trimmed().isEmpty(); }

bool HasLineBreak(const QString &s) { return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r')); }

QByteArray CutToMax(QByteArray s)
{
    if (s.size() > ProfileFile::MaxValueLength)
        s.truncate(ProfileFile::MaxValueLength);
    return s;
}

QString CutToMax(QString s)
{
    if (s.size() <= ProfileFile::MaxValueLength)
        return s;
    qsizetype n = ProfileFile::MaxValueLength;
    if (s.at(n - 1).isHighSurrogate()) // never keep half a character
        --n;
    s.truncate(n);
    return s;
}

QString Shown(const FileName &name) { return name.Display(); }

} // namespace

ProfileFile::ProfileFile(FileName fileName) : fileName_(std::move(fileName)) { Load(); }

ProfileFile::~ProfileFile()
{
    if (dirty_)
        Flush();
}

void ProfileFile::Load()
{
    if (fileName_.HoldsNul())
        return; // names no file: reads as empty, and the flush reports why
    InputLook look;
    try {
        look = LookAtInput(fileName_, true);
    } catch (const Exception &) {
        // A folder or a device (which may never end) is no profile.
        loadFailed_ = true;
        error_ = QStringLiteral("%1 is not a regular file").arg(Shown(fileName_));
        return;
    }
    if (!look.Identity())
        return; // an absent file reads as empty and is created by the first flush
    if (look.Identity()->size > MaxFileSize) {
        // Reading it whole could take the program's memory; it is no file
        // this program wrote, and it is left as it is.
        loadFailed_ = true;
        error_ = tooLarge_ = QStringLiteral("%1 is larger than %2 KiB; it was not read and is left as it is")
                                 .arg(Shown(fileName_))
                                 .arg(MaxFileSize / 1024);
        return;
    }
    try {
        // The very file whose size was checked.
        File file = File::OpenRead(fileName_, &look);
        char buffer[65536];
        while (original_.size() <= MaxFileSize) {
            const qint64 got = file.Read(buffer, sizeof buffer);
            if (got == 0)
                break;
            original_.append(buffer, got);
        }
    } catch (const Exception &e) {
        loadFailed_ = true;
        error_ = e.Message();
        original_.clear();
        return;
    }

    qsizetype start = 0;
    while (start < original_.size()) {
        const qsizetype nl = original_.indexOf('\n', start);
        if (nl < 0) {
            lines_.append({original_.mid(start), {}});
            break;
        }
        const bool crlf = nl > start && original_.at(nl - 1) == '\r';
        const qsizetype textEnd = crlf ? nl - 1 : nl;
        lines_.append({original_.mid(start, textEnd - start), crlf ? kCrLf : QByteArray("\n")});
        start = nl + 1;
    }
}

std::optional<ProfileFile::Range> ProfileFile::FindSection(const QString &section) const
{
    const QString wanted = section.trimmed();
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const auto name = SectionOf(lines_[i].text);
        if (!name || name->compare(wanted, Qt::CaseInsensitive) != 0)
            continue;
        qsizetype end = i + 1;
        while (end < lines_.size() && !SectionOf(lines_[end].text))
            ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

std::optional<qsizetype> ProfileFile::FindKey(const Range &range, const QString &key) const
{
    const QString wanted = key.trimmed();
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const auto line = KeyOf(lines_[i].text);
        if (line && line->key.compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return std::nullopt;
}

QByteArray ProfileFile::ReadValue(const QString &section, const QString &key, const QByteArray &def) const
{
    if (const auto range = FindSection(section)) {
        if (const auto index = FindKey(*range, key))
            return CutToMax(KeyOf(lines_[*index].text)->value);
    }
    return CutToMax(def);
}

std::optional<QByteArray> ProfileFile::ReadWholeValue(const QString &section, const QString &key) const
{
    if (const auto range = FindSection(section)) {
        if (const auto index = FindKey(*range, key))
            return KeyOf(lines_[*index].text)->value;
    }
    return std::nullopt;
}

QString ProfileFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    if (const auto range = FindSection(section)) {
        if (const auto index = FindKey(*range, key))
            return CutToMax(QString::fromUtf8(KeyOf(lines_[*index].text)->value));
    }
    return CutToMax(def);
}

void ProfileFile::InsertLine(qsizetype at, QByteArray text)
{
    // Only the file's last line can lack a line end; it needs one once something follows.
    if (at > 0 && lines_[at - 1].end.isEmpty())
        lines_[at - 1].end = kCrLf;
    lines_.insert(at, Line{std::move(text), kCrLf});
}

bool ProfileFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    return WriteValue(section, key, value.toUtf8());
}

bool ProfileFile::WriteValue(const QString &section, const QString &key, const QByteArray &value)
{
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    if (sectionName.isEmpty() || sectionName.contains(QLatin1Char(']')) || HasLineBreak(sectionName))
        return false;
    if (keyName.isEmpty() || keyName.contains(QLatin1Char('=')) || HasLineBreak(keyName) ||
        keyName.startsWith(QLatin1Char('[')) || keyName.startsWith(QLatin1Char(';')))
        return false;
    if (value.contains('\n') || value.contains('\r') || value.contains('\0'))
        return false;

    const QByteArray keyValue = keyName.toUtf8() + '=' + value;
    const auto range = FindSection(sectionName);
    if (!range) {
        InsertLine(lines_.size(), '[' + sectionName.toUtf8() + ']');
        InsertLine(lines_.size(), keyValue);
        dirty_ = true;
        return true;
    }
    if (const auto index = FindKey(*range, keyName)) {
        Line &line = lines_[*index];
        if (KeyOf(line.text)->value == value)
            return true; // nothing changes; the line keeps its exact bytes
        // Keep everything up to "=" as it stands, so the key keeps its spelling.
        const qsizetype eq = line.text.indexOf('=');
        line.text = line.text.left(eq + 1) + value;
        line.end = kCrLf;
        dirty_ = true;
        return true;
    }
    // After the section's last non-blank line, so blank lines before the next
    // section stay where they are.
    qsizetype at = range->header + 1;
    for (qsizetype i = range->header + 1; i < range->end; ++i) {
        if (!IsBlankLine(lines_[i].text))
            at = i + 1;
    }
    InsertLine(at, keyValue);
    dirty_ = true;
    return true;
}

QByteArray ProfileFile::Serialize() const
{
    QByteArray bytes;
    for (const Line &line : lines_)
        bytes += line.text + line.end;
    return bytes;
}

bool ProfileFile::Flush()
{
    if (!dirty_)
        return true;
    if (loadFailed_) {
        // Writing now would drop whatever the unreadable file holds.
        error_ = tooLarge_.isEmpty() ? QStringLiteral("%1 could not be read").arg(Shown(fileName_)) : tooLarge_;
        return false;
    }

    try {
        // A new file takes the old one's place whole, so two programs writing
        // at once leave one version or the other, never a mix. Through a link,
        // the link stays and its target is replaced, keeping owner and mode; a
        // file with other names or mounted over another gets the new bytes
        // copied in, one writer at a time, after it has grown to hold them.
        const QByteArray bytes = Serialize();
        File file = File::Create(fileName_);
        try {
            file.WriteAll(bytes.constData(), bytes.size());
        } catch (...) {
            file.Discard(); // half the settings never take the old ones' place (a full disk)
            throw;
        }
        file.Close();
        original_ = bytes;
        dirty_ = false;
        error_.clear();
        return true;
    } catch (const EInOutError &e) {
        error_ = e.Details().isEmpty() ? e.Message() : QStringLiteral("%1: %2").arg(e.Message(), e.Details());
    } catch (const Exception &e) {
        error_ = e.Message();
    }
    return false;
}

} // namespace platform
