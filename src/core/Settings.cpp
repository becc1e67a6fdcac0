// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Settings.h"

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Folders.h"
#include "platform/ProfileFile.h"

#include <cstdio>
#include <limits>
#include <span>

namespace app {

namespace {

// Why the settings are not kept beside the program although a misuc.dat
// there may be written; empty while they are, or there is none.
QString &PassedOver()
{
    static QString why;
    return why;
}

} // namespace
namespace {

const QString kForm1 = QStringLiteral("form1");
const QString kTxt = QStringLiteral("txt");
const QString kTop = QStringLiteral("top");
const QString kLeft = QStringLiteral("left");
const QString kSaven = QStringLiteral("Saven");
const QString kOpenP = QStringLiteral("OpenP");
const QString kJoin = QStringLiteral("join");
const QString kOneMovie = QStringLiteral("OneMovie");
// A section of its own, one key per output, oldest first: Output1, Output2, ...
const QString kRecent = QStringLiteral("recent");

QString RecentKey(std::size_t index) { return QStringLiteral("Output%1").arg(index + 1); }

// why, the cause as far as it is known, goes with the error as its details.
[[noreturn]] void ThrowUnableToWrite(const platform::FileName &path, const QString &why)
{
    platform::Exception error(QStringLiteral("Unable to write to %1").arg(path.Display()));
    error.SetDetails(why);
    throw error;
}

int DigitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int v = -1;
    if (u >= u'0' && u <= u'9')
        v = u - u'0';
    else if (u >= u'a' && u <= u'f')
        v = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        v = u - u'A' + 10;
    return v < base ? v : -1;
}

} // namespace

int StrToIntDef(const QString &text, int def)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < n && (text[i] == QLatin1Char('$') || text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == QLatin1Char('0') &&
               (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return def; // no digits
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min()) : qint64(std::numeric_limits<int>::max());
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const int digit = DigitValue(text[i], base);
        if (digit < 0)
            return def;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return def;
    }
    return int(negative ? -magnitude : magnitude);
}

platform::FileName ChooseSettingsPath(const platform::FileName &programFolder, const platform::FileName &configFolder,
                                      const std::function<bool(const platform::FileName &)> &mayWrite)
{
    // A writable folder alone does not make a portable copy: ~/.local/bin or
    // /opt/zantrope/bin of an install are writable too, and are no place for settings.
    const platform::FileName beside = programFolder / "misuc.dat";
    const bool system = programFolder.Bytes() == "/usr" || programFolder.Bytes().startsWith("/usr/");
    if (!system && mayWrite(beside))
        return beside;
    return configFolder / ConfigSubfolder() / "misuc.dat";
}

platform::FileName SettingsPath()
{
    const platform::FileName config = ConfigFolder();
    QString &whyNot = PassedOver();
    const platform::FileName path =
        ChooseSettingsPath(ProgramFolder(), config, [&whyNot](const platform::FileName &beside) {
            return MayKeepSettingsBeside(beside, whyNot);
        });
    if (path == config / ConfigSubfolder() / "misuc.dat") {
        // Missing folders are made; a failure shows when the file is created.
        platform::MakeFolder(config);
        platform::MakeFolder(config / ConfigSubfolder());
    }
    if (const QString notice = SettingsNotice(); !notice.isEmpty())
        std::fprintf(stderr, "zantrope: %s\n", notice.toLocal8Bit().constData());
    return path;
}

QString SettingsNotice()
{
    const QString &why = PassedOver();
    return why.isEmpty() ? why
                         : QStringLiteral("%1; they are kept in %2.")
                               .arg(why, (ConfigFolder() / ConfigSubfolder() / "misuc.dat").Display());
}

namespace {

// Which folder keeps a file from being made at path: the nearest one that
// exists, when it is a file, or cannot take the missing folder below it;
// else the missing one. Empty when the folder exists.
QString WhyNoFolderFor(const platform::FileName &path)
{
    // Up to a root at most, which is its own containing folder: a walk that
    // went on there would never end.
    platform::FileName folder = path.ContainingFolder(), missing;
    while (!folder.IsEmpty() && folder.ContainingFolder() != folder && platform::IsMissing(folder)) {
        missing = folder;
        folder = folder.ContainingFolder();
    }
    if (missing.IsEmpty() && platform::IsFolder(folder))
        return {};
    if (!folder.IsEmpty() && !platform::IsFolder(folder))
        return QStringLiteral("%1 is a file, not a folder").arg(folder.Display());
    if (!platform::MayCreateIn(folder))
        return QStringLiteral("the folder %1 cannot be written, so %2 cannot be made in it")
            .arg(folder.IsEmpty() ? QStringLiteral(".") : folder.Display(), QString::fromUtf8(missing.LastPart()));
    return QStringLiteral("the folder %1 does not exist").arg(missing.Display());
}

} // namespace

void EnsureSettingsFile(const platform::FileName &path)
{
    if (platform::IdentityOf(path))
        return;
    try {
        platform::File file = platform::File::CreateNew(path);
        try {
            file.WriteAll("\r\n", 2);
            file.Close();
        } catch (const platform::EInOutError &) {
            platform::RemoveFile(path); // no half-made file for the next try
            throw;
        }
    } catch (const platform::EInOutError &e) {
        // One that appeared meanwhile (another copy of the program) is left alone.
        if (platform::IdentityOf(path))
            return;
        // "Invalid filename" alone does not tell what to mend.
        const QString why = WhyNoFolderFor(path);
        if (why.isEmpty())
            throw;
        platform::EInOutError told(e.ErrorCode(), QStringLiteral("%1: %2").arg(e.Message(), why));
        told.SetDetails(e.Details());
        throw told;
    }
}

platform::FileName DefaultOpenFolder() { return platform::HomeFolder() / ""; }

QPoint DefaultPosition(QSize screen) { return {screen.width() / 2 - 240, screen.height() / 2 - 225}; }

QPoint ReachablePosition(QPoint read, const QRect &handle, const QList<QRect> &screens, QPoint fallback)
{
    if (screens.isEmpty())
        return read;
    const QRect strip = handle.translated(read);
    for (const QRect &screen : screens) {
        if (screen.intersects(strip))
            return read;
    }
    return fallback;
}

void ReadSettings(const platform::FileName &path, SettingsTarget &target)
{
    EnsureSettingsFile(path);
    const platform::ProfileFile ini(path);
    if (target.PositionKnown()) {
        const QList<QRect> screens = target.Screens();
        const QPoint fallback = DefaultPosition(screens.isEmpty() ? QSize() : screens.first().size());
        const int top = StrToIntDef(ini.ReadString(kForm1, kTop, QString()), fallback.y());
        const int left = StrToIntDef(ini.ReadString(kForm1, kLeft, QString()), fallback.x());
        const QPoint position = ReachablePosition(QPoint(left, top), target.MoveHandle(), screens, fallback);
        target.SetTop(position.y());
        target.SetLeft(position.x());
    }
    // Names keep their bytes, which need not be valid text, and their whole
    // length: a cut name would be the name of another file.
    target.SetOutputName(
        platform::NameFromStored(ini.ReadWholeValue(kTxt, kSaven).value_or(DefaultOutputName().Bytes())));
    target.SetOpenDialogFolder(
        platform::NameFromStored(ini.ReadWholeValue(kTxt, kOpenP).value_or(DefaultOpenFolder().Bytes())));
    target.SetJoinAsOneMovie(StrToIntDef(ini.ReadString(kJoin, kOneMovie, QString()), 0) != 0);
    std::vector<platform::FileName> recent;
    for (std::size_t i = 0; i < MaxRecentOutputs; ++i)
        if (const auto name = ini.ReadWholeValue(kRecent, RecentKey(i)); name && !name->isEmpty())
            recent.push_back(platform::NameFromStored(*name));
    target.SetRecentOutputs(recent);
}

void WriteSettings(const platform::FileName &path, const SettingsTarget &target)
{
    EnsureSettingsFile(path);
    platform::ProfileFile ini(path);
    const QRect frame = target.FrameGeometry();
    struct Entry {
        const QString &section;
        const QString &key;
        QByteArray value;
    };
    const Entry entries[] = {
        {kForm1, kTop, QByteArray::number(frame.top())},
        {kForm1, kLeft, QByteArray::number(frame.left())},
        {kTxt, kSaven, target.OutputName().Bytes()},
        {kTxt, kOpenP, target.OpenPath().Bytes()},
    };
    // An unknown position leaves what another session stored.
    const std::size_t first = target.PositionKnown() ? 0 : 2;
    for (const Entry &entry : std::span(entries).subspan(first)) {
        if (!ini.WriteValue(entry.section, entry.key, entry.value))
            ThrowUnableToWrite(path, QStringLiteral("A value cannot be stored in a line: %1").arg(entry.key));
    }
    // Off by default: a file that never had it keeps its layout.
    if (target.JoinAsOneMovie() || ini.ReadWholeValue(kJoin, kOneMovie))
        ini.WriteValue(kJoin, kOneMovie, target.JoinAsOneMovie() ? "1" : "0");
    // A name no line can hold is left out; keys no longer needed are emptied.
    std::size_t stored = 0;
    for (const platform::FileName &name : target.RecentOutputs())
        if (stored < MaxRecentOutputs && ini.WriteValue(kRecent, RecentKey(stored), name.Bytes()))
            ++stored;
    for (std::size_t i = stored; i < MaxRecentOutputs; ++i)
        if (ini.ReadWholeValue(kRecent, RecentKey(i)))
            ini.WriteValue(kRecent, RecentKey(i), QByteArray());
    if (!ini.Flush())
        ThrowUnableToWrite(path, ini.ErrorString());
}

} // namespace app
