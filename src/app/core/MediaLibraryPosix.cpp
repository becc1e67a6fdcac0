// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/MediaLibrary.h"

#include "app/core/Settings.h"
#include "platform/Exceptions.h"

#include <QStringList>

#include <dlfcn.h>
#include <mutex>

namespace app {

namespace {

// The module's file, and where an install puts it seen from the program's
// folder (the build defines it; a build tree keeps it beside the program).
constexpr char ModuleFile[] = "zantrope-media.so";
#ifndef ZANTROPE_MEDIA_DIR_FROM_BIN
#define ZANTROPE_MEDIA_DIR_FROM_BIN "."
#endif

// The code of a failure to load: the module is a file the program needs.
constexpr int NotLoadedCode = 2;

const MediaFunctions *Load(QStringList &tried)
{
    const platform::FileName folder = ProgramFolder();
    for (const platform::FileName &candidate :
         {folder / ModuleFile, folder / ZANTROPE_MEDIA_DIR_FROM_BIN / ModuleFile}) {
        // Never unloaded: what it made (FFmpeg's state) lives as long as the program.
        void *module = ::dlopen(candidate.Bytes().constData(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            tried << QString::fromLocal8Bit(::dlerror());
            continue;
        }
        using Entry = const MediaFunctions *(*)();
        const auto entry = reinterpret_cast<Entry>(::dlsym(module, "zantrope_media_functions"));
        const MediaFunctions *functions = entry ? entry() : nullptr;
        if (functions && functions->revision == MediaFunctions::CurrentRevision)
            return functions;
        tried << QStringLiteral("%1 belongs to another build").arg(candidate.Display());
    }
    return nullptr;
}

} // namespace

const MediaFunctions &MediaLibrary()
{
    static std::mutex mutex;
    static const MediaFunctions *loaded = nullptr;
    const std::lock_guard lock(mutex);
    if (!loaded) {
        QStringList tried;
        loaded = Load(tried);
        if (!loaded)
            throw platform::EInOutError(NotLoadedCode,
                                        QStringLiteral("File not found: the media module %1 could not be loaded (%2)")
                                            .arg(QLatin1String(ModuleFile), tried.join(QStringLiteral("; "))));
    }
    return *loaded;
}

} // namespace app
