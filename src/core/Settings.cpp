// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Settings.h"

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Folders.h"
#include "platform/ProfileFile.h"

#include <QCoreApplication>
#include <limits>
#include <span>
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX // std::numeric_limits<int>::max() below
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace app {
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

// The program's own folder inside the configuration folder.
#ifdef _WIN32
const QByteArray kConfigSubfolder = "Zantrope";
#else
const QByteArray kConfigSubfolder = "zantrope";
#endif

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
    return configFolder / kConfigSubfolder / "misuc.dat";
}

namespace {

#ifdef _WIN32

// %APPDATA%, the roaming profile's folder, as the UTF-16 Windows holds.
platform::FileName ConfigFolder()
{
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return platform::NameFromText(appData);
    return platform::HomeFolder() / "AppData" / "Roaming";
}

// As the original kept it, misuc.dat lies beside the program whenever that
// folder can be written, also on the first run; under Program Files it
// cannot, and the user's folder is taken.
bool MayKeepBeside(const platform::FileName &beside)
{
    return platform::MayWrite(beside) || (platform::IsMissing(beside) && platform::MayCreateIn(beside.Folder()));
}

#else

platform::FileName ConfigFolder()
{
    const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
    if (xdg.startsWith('/')) // a relative one is to be ignored
        return platform::FileName(xdg);
    return platform::HomeFolder() / ".config";
}

bool MayKeepBeside(const platform::FileName &beside) { return platform::MayWrite(beside); }

#endif

} // namespace

platform::FileName ProgramFolder()
{
#ifdef _WIN32
    std::wstring exe(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, exe.data(), DWORD(exe.size()));
        if (n == 0)
            break;
        if (n < exe.size()) {
            const QByteArray name = platform::NameFromNative(exe.c_str(), n).Bytes();
            return platform::FileName(name.left(qMax(name.lastIndexOf('\\'), name.lastIndexOf('/'))));
        }
        exe.resize(exe.size() * 2);
    }
#else
    // The executable's own bytes: its folder's name need not be UTF-8.
    QByteArray exe(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), size_t(exe.size()));
    if (n > 0) {
        exe.truncate(n);
        return platform::FileName(exe.left(exe.lastIndexOf('/')));
    }
#endif
    return platform::FileName::FromUtf8(QCoreApplication::applicationDirPath());
}

platform::FileName SettingsPath()
{
    const platform::FileName config = ConfigFolder();
    const platform::FileName path = ChooseSettingsPath(ProgramFolder(), config, MayKeepBeside);
    if (path == config / kConfigSubfolder / "misuc.dat") {
        // Missing folders are made; a failure shows when the file is created.
        platform::MakeFolder(config);
        platform::MakeFolder(config / kConfigSubfolder);
    }
    return path;
}

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
    } catch (const platform::EInOutError &) {
        // One that appeared meanwhile (another copy of the program) is left alone.
        if (!platform::IdentityOf(path))
            throw;
    }
}

platform::FileName DefaultOutputName() { return platform::HomeFolder() / "test.mpg"; }

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
