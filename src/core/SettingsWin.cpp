// SPDX-License-Identifier: GPL-3.0-or-later
// Where the settings lie on Windows.
#include "core/Settings.h"

#include "platform/File.h"
#include "platform/Folders.h"

#include <QCoreApplication>
#include <windows.h>

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

// As the original kept it, misuc.dat lies beside the program whenever that
// folder can be written, also on the first run; under Program Files it
// cannot, and the user's folder is taken.
bool MayKeepSettingsBeside(const platform::FileName &beside)
{
    return platform::MayWrite(beside) || (platform::IsMissing(beside) && platform::MayCreateIn(beside.Folder()));
}

platform::FileName ProgramFolder()
{
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
    return platform::FileName::FromUtf8(QCoreApplication::applicationDirPath());
}

} // namespace app
