// SPDX-License-Identifier: GPL-3.0-or-later
// Where the settings lie on Windows.
#include "core/Settings.h"

#include "platform/File.h"
#include "platform/Folders.h"

#include <QCoreApplication>
#include <windows.h>
// After windows.h, which they need.
#include <knownfolders.h>
#include <shlobj.h>

namespace app {

QByteArray ConfigSubfolder() { return "Zantrope"; }

// %APPDATA%, the roaming profile's folder, as the UTF-16 Windows holds.
platform::FileName ConfigFolder()
{
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return platform::NameFromText(appData);
    return platform::HomeFolder() / "AppData" / "Roaming";
}

namespace {

// The folder the installer put Zantrope into, as its entry in Apps names it;
// empty when it is not installed.
platform::FileName InstalledFolder()
{
    const wchar_t *key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zantrope";
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key, L"InstallLocation", RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
        ERROR_SUCCESS)
        return {};
    std::wstring folder(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = DWORD(folder.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, key, L"InstallLocation", RRF_RT_REG_SZ, nullptr, folder.data(), &bytes) !=
        ERROR_SUCCESS)
        return {};
    folder.resize(wcslen(folder.c_str()));
    return platform::NameFromNative(folder.c_str());
}

} // namespace

// As the original kept it, misuc.dat lies beside a copy of the program
// whenever that folder can be written, also on the first run; under
// Program Files it cannot, and the user's folder is taken. The installed
// copy keeps it in the user's folder too, where uninstalling leaves it.
bool MayKeepSettingsBeside(const platform::FileName &beside, QString &)
{
    const platform::FileName installed = InstalledFolder();
    if (!installed.IsEmpty()) {
        const auto here = platform::IdentityOf(beside.ContainingFolder());
        const auto there = platform::IdentityOf(installed);
        if (here && there && *here == *there)
            return false;
    }
    return platform::MayWrite(beside) || (platform::IsMissing(beside) && platform::MayCreateIn(beside.Folder()));
}

// The user's Videos folder, where Windows keeps films; the profile's own
// folder where there is none.
platform::FileName DefaultOutputName()
{
    platform::FileName folder = platform::HomeFolder();
    wchar_t *videos = nullptr;
    if (SHGetKnownFolderPath(FOLDERID_Videos, KF_FLAG_DEFAULT, nullptr, &videos) == S_OK)
        folder = platform::NameFromNative(videos);
    CoTaskMemFree(videos);
    return folder / "test.mpg";
}

platform::FileName ProgramFolder()
{
    std::wstring exe(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, exe.data(), DWORD(exe.size()));
        if (n == 0)
            break;
        if (n < exe.size())
            return platform::NameFromNative(exe.c_str(), n).ContainingFolder();
        exe.resize(exe.size() * 2);
    }
    return platform::FileName::FromUtf8(QCoreApplication::applicationDirPath());
}

} // namespace app
