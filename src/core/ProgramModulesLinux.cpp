// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ProgramModules.h"

#include "platform/Exceptions.h"
#include "platform/FileName.h"

#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

#include <dlfcn.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

namespace {

// Where the build and an install put the modules, seen from the program's
// folder; the build defines it.
#ifndef ZANTROPE_MODULE_DIR_FROM_BIN
#define ZANTROPE_MODULE_DIR_FROM_BIN "."
#endif

// The folder of the running program as the system knows it, never a name
// relative to the current folder: /proc/self/exe, or else the name the
// program was started by, when that is absolute.
std::optional<QByteArray> OwnFolder()
{
    QByteArray exe(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), size_t(exe.size()));
    if (n > 0 && n < exe.size()) {
        exe.truncate(n);
    } else {
        const auto *started = reinterpret_cast<const char *>(::getauxval(AT_EXECFN));
        if (!started || started[0] != '/')
            return std::nullopt;
        exe = started;
    }
    return exe.left(exe.lastIndexOf('/'));
}

// "a/b/../c" as "a/c"; the program's folder holds no link, so ".." is its parent.
QByteArray Normal(const QByteArray &path)
{
    QList<QByteArray> kept;
    for (const QByteArray &part : path.split('/')) {
        if (part == "..") {
            if (!kept.isEmpty())
                kept.removeLast();
        } else if (!part.isEmpty() && part != ".") {
            kept.append(part);
        }
    }
    return '/' + kept.join('/');
}

// Why someone other than this user and root could change what path leads
// to; empty when no one can. A sticky folder that anyone may write (/tmp)
// lets others add names but not change this user's: what lies in it is
// checked in turn.
QString OpenToOthers(const QByteArray &path, const struct stat &st)
{
    if (S_ISLNK(st.st_mode))
        return {}; // a link never changes; only its folder can take it away
    const platform::FileName name(path);
    if (st.st_uid != ::geteuid() && st.st_uid != 0)
        return QStringLiteral("%1 belongs to user %2").arg(name.Display()).arg(st.st_uid);
    const bool sticky = S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX);
    if ((st.st_mode & S_IWOTH) && !sticky)
        return QStringLiteral("anyone may write %1").arg(name.Display());
    if ((st.st_mode & S_IWGRP) && !sticky)
        return QStringLiteral("group %1 may write %2").arg(st.st_gid).arg(name.Display());
    return {};
}

// Why the module at path must not be loaded: the file, a folder on its way,
// or a folder on the way of what a link there leads to, may be changed by
// someone other than this user and root; empty when it may be loaded.
QString WhyNotToLoad(const QByteArray &path)
{
    char *real = ::realpath(path.constData(), nullptr);
    if (!real)
        return {}; // missing: dlopen says so
    const QByteArray resolved(real);
    std::free(real);
    for (const QByteArray &way : {path, resolved}) {
        for (qsizetype end = 0; end >= 0; end = way.indexOf('/', end + 1)) {
            const QByteArray part = end == 0 ? QByteArray("/") : way.left(end);
            struct stat st {};
            if (::lstat(part.constData(), &st) != 0)
                return QStringLiteral("%1 cannot be examined").arg(platform::FileName(part).Display());
            if (const QString why = OpenToOthers(part, st); !why.isEmpty())
                return why;
        }
        struct stat st {};
        if (::stat(way.constData(), &st) != 0)
            return QStringLiteral("%1 cannot be examined").arg(platform::FileName(way).Display());
        if (const QString why = OpenToOthers(way, st); !why.isEmpty())
            return why;
    }
    return {};
}

// Says once on standard error that the module at path is refused, and why.
void TellRefused(const QByteArray &path, const QString &why)
{
    static std::mutex mutex;
    static std::set<QByteArray> told;
    const std::lock_guard lock(mutex);
    if (told.insert(path).second)
        std::fprintf(stderr, "zantrope: %s is not loaded: %s, so it could run as you\n",
                     platform::FileName(path).Display().toLocal8Bit().constData(), why.toLocal8Bit().constData());
}

} // namespace

void *ProgramModuleEntry(const char *file, const char *entry)
{
    const auto notLoaded = [&](const QString &why) {
        return platform::EInOutError(
            platform::InOutCode::FileNotFound,
            QStringLiteral("File not found: %1 could not be loaded (%2)").arg(QLatin1String(file), why));
    };
    const auto folder = OwnFolder();
    if (!folder)
        throw notLoaded(QStringLiteral("the program's own folder is unknown without /proc"));
    // Only the folder the build or the install put the modules in, never one
    // relative to the current folder or the program's own: a folder of
    // programs may be open to others where that of libraries is not.
    const QByteArray path = Normal(*folder + '/' + ZANTROPE_MODULE_DIR_FROM_BIN + '/' + file);
    if (const QString why = WhyNotToLoad(path); !why.isEmpty()) {
        TellRefused(path, why);
        throw notLoaded(QStringLiteral("%1: %2").arg(platform::FileName(path).Display(), why));
    }
    // RTLD_LOCAL: the module's names stay its own.
    void *module = ::dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        throw notLoaded(QString::fromLocal8Bit(::dlerror()));
    if (void *found = ::dlsym(module, entry))
        return found;
    throw notLoaded(QStringLiteral("%1 has no %2").arg(platform::FileName(path).Display(), QLatin1String(entry)));
}

} // namespace app
