// SPDX-License-Identifier: GPL-3.0-or-later
// Where the settings lie on Linux.
#include "core/Settings.h"

#include "platform/File.h"

#include <QCoreApplication>
#include <sys/stat.h>
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

// A misuc.dat beside the program steers it: its output name is where the
// next Join Now writes. Kept only when it belongs to this user or to root,
// not to whoever could put one beside a copy in a shared folder.
bool MayKeepSettingsBeside(const platform::FileName &beside, QString &whyNot)
{
    if (!platform::MayWrite(beside))
        return false;
    struct stat st {};
    if (::stat(beside.Bytes().constData(), &st) == 0 && st.st_uid != ::geteuid() && st.st_uid != 0) {
        whyNot = QStringLiteral("%1 belongs to user %2, not to you, so its settings are not used")
                     .arg(beside.Display())
                     .arg(st.st_uid);
        return false;
    }
    return true;
}

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
