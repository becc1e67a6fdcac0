// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ProgramModules.h"

#include "core/Settings.h"
#include "platform/Exceptions.h"

#include <QStringList>

#include <dlfcn.h>

namespace app {

namespace {

// Where an install puts the modules, seen from the program's folder; the
// build defines it.
#ifndef ZANTROPE_MODULE_DIR_FROM_BIN
#define ZANTROPE_MODULE_DIR_FROM_BIN "."
#endif

} // namespace

void *ProgramModuleEntry(const char *file, const char *entry)
{
    const platform::FileName folder = ProgramFolder();
    QStringList tried;
    for (const platform::FileName &candidate : {folder / file, folder / ZANTROPE_MODULE_DIR_FROM_BIN / file}) {
        // RTLD_LOCAL: the module's own copies of the layers stay its own.
        void *module = ::dlopen(candidate.Bytes().constData(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            tried << QString::fromLocal8Bit(::dlerror());
            continue;
        }
        if (void *found = ::dlsym(module, entry))
            return found;
        tried << QStringLiteral("%1 has no %2").arg(candidate.Display(), QLatin1String(entry));
    }
    throw platform::EInOutError(platform::InOutCode::FileNotFound,
                                QStringLiteral("File not found: %1 could not be loaded (%2)")
                                    .arg(QLatin1String(file), tried.join(QStringLiteral("; "))));
}

} // namespace app
