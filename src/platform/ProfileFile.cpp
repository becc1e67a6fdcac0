#include "platform/ProfileFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <utility>

namespace platform {
namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");

// The name inside "[...]", when the line is a section header.
std::optional<QString> SectionOf(const QByteArray &text)
{
    const QString line = QString::fromLocal8Bit(text).trimmed();
    if (!line.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = line.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return line.mid(1, close - 1).trimmed();
}

struct KeyLine {
    QString key;
    QString value;
};

// Key and value of a "key=value" line; comments, headers and other text are not keys.
std::optional<KeyLine> KeyOf(const QByteArray &text)
{
    const QString line = QString::fromLocal8Bit(text);
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return std::nullopt;
    KeyLine result{line.left(eq).trimmed(), line.mid(eq + 1).trimmed()};
    if (result.key.isEmpty())
        return std::nullopt;
    return result;
}

bool IsBlankLine(const QByteArray &text)
{
    return text.trimmed().isEmpty();
}

bool HasLineBreak(const QString &s)
{
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
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

} // namespace

ProfileFile::ProfileFile(QString fileName) : fileName_(std::move(fileName))
{
    Load();
}

ProfileFile::~ProfileFile()
{
    if (dirty_)
        Flush();
}

void ProfileFile::Load()
{
    const QFileInfo info(fileName_);
    if (!info.exists())
        return; // an absent file reads as empty and is created by the first flush
    if (!info.isFile()) {
        // A folder or a device (which may never end) is no profile.
        loadFailed_ = true;
        error_ = QStringLiteral("%1 is not a regular file").arg(fileName_);
        return;
    }
    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly)) {
        loadFailed_ = true;
        error_ = file.errorString();
        return;
    }
    original_ = file.readAll();
    if (file.error() != QFile::NoError) {
        loadFailed_ = true;
        error_ = file.errorString();
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

QString ProfileFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    if (const auto range = FindSection(section)) {
        if (const auto index = FindKey(*range, key))
            return CutToMax(KeyOf(lines_[*index].text)->value);
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
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    if (sectionName.isEmpty() || sectionName.contains(QLatin1Char(']')) || HasLineBreak(sectionName))
        return false;
    if (keyName.isEmpty() || keyName.contains(QLatin1Char('=')) || HasLineBreak(keyName)
        || keyName.startsWith(QLatin1Char('[')) || keyName.startsWith(QLatin1Char(';')))
        return false;
    if (HasLineBreak(value))
        return false;

    const QByteArray keyValue = keyName.toLocal8Bit() + '=' + value.toLocal8Bit();
    const auto range = FindSection(sectionName);
    if (!range) {
        InsertLine(lines_.size(), '[' + sectionName.toLocal8Bit() + ']');
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
        line.text = line.text.left(eq + 1) + value.toLocal8Bit();
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
        error_ = QStringLiteral("%1 could not be read").arg(fileName_);
        return false;
    }

    // Through a link, the link stays and its target is replaced.
    QString target = fileName_;
    const QFileInfo info(fileName_);
    if (info.isSymLink()) {
        const QString canonical = info.canonicalFilePath();
        target = canonical.isEmpty() ? info.symLinkTarget() : canonical;
    }

    const QByteArray bytes = Serialize();
    const QFileInfo targetInfo(target);
    bool ok = false;
    if (targetInfo.exists() && !targetInfo.isFile()) {
        error_ = QStringLiteral("%1 is not a regular file").arg(target);
    } else {
        ok = WriteAtomically(target, bytes);
    }
    if (!ok)
        return false;
    original_ = bytes;
    dirty_ = false;
    error_.clear();
    return true;
}

bool ProfileFile::WriteAtomically(const QString &target, const QByteArray &bytes)
{
    QSaveFile save(target);
    if (!save.open(QIODevice::WriteOnly)) {
        error_ = save.errorString();
        // The folder may refuse a temporary while the file itself is writable.
        return QFileInfo::exists(target) && WriteInPlace(target, bytes);
    }
    if (save.write(bytes) != bytes.size() || !save.commit()) {
        error_ = save.errorString();
        save.cancelWriting();
        return false;
    }
    return true;
}

bool ProfileFile::WriteInPlace(const QString &target, const QByteArray &bytes)
{
    QFile file(target);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        error_ = file.errorString();
        return false;
    }
    const QByteArray old = file.readAll();
    const bool ok = file.seek(0) && file.write(bytes) == bytes.size() && file.resize(bytes.size());
    if (ok)
        return true;
    error_ = file.errorString();
    // Put the old content back so that a failed write does not leave half a file.
    if (file.seek(0) && file.write(old) == old.size())
        file.resize(old.size());
    return false;
}

} // namespace platform
