// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/MediaLibrary.h"

#include "core/ProgramModules.h"
#include "platform/Exceptions.h"

#include <mutex>

namespace app {

const MediaFunctions &MediaLibrary()
{
    static std::mutex mutex;
    static const MediaFunctions *loaded = nullptr;
    const std::lock_guard lock(mutex);
    if (!loaded) {
        using Entry = const MediaFunctions *(*)();
        const auto entry = reinterpret_cast<Entry>(ProgramModuleEntry("zantrope-media.so", "zantrope_media_functions"));
        const MediaFunctions *functions = entry();
        if (functions->revision != MediaFunctions::CurrentRevision)
            throw platform::EInOutError(platform::InOutCode::FileNotFound,
                                        QStringLiteral("File not found: zantrope-media.so belongs to another "
                                                       "build of the program"));
        loaded = functions;
    }
    return *loaded;
}

} // namespace app
