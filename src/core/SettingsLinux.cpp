// SPDX-License-Identifier: GPL-3.0-or-later
// Where the settings lie on Linux.
#include "core/Settings.h"

#include "platform/File.h"

#include <QCoreApplication>
#include <unistd.h>

namespace app {

QByteArray ConfigSubfolder() { return "zantrope"; }

platform::FileName ConfigFolder()
{
    const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
    if (xdg.startsWith('/')) // a relative one is to be ignored
        return platform::FileName(xdg);
    return platform::HomeFolder() / ".config";
}

bool MayKeepSettingsBeside(const platform::FileName &beside) { return platform::MayWrite(beside); }

platform::FileName DefaultOutputName() { return platform::HomeFolder() / "test.mpg"; }

platform::FileName ProgramFolder()
{
    // The executable's own bytes: its folder's name need not be UTF-8.
    QByteArray exe(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), size_t(exe.size()));
    if (n > 0) {
        exe.truncate(n);
        return platform::FileName(exe).ContainingFolder();
    }
    return platform::FileName::FromUtf8(QCoreApplication::applicationDirPath());
}

} // namespace app
