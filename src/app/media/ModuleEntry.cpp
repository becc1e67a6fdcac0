// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/MediaLibrary.h"
#include "app/core/ProgramModules.h"
#include "app/media/Media.h"

// The module's one exported name; everything else in it stays its own.
ZANTROPE_MODULE_ENTRY const app::MediaFunctions *zantrope_media_functions()
{
    static const app::MediaFunctions functions{app::MediaFunctions::CurrentRevision, &app::media::JoinAsOneMovie,
                                               &app::media::ReadFacts};
    return &functions;
}
