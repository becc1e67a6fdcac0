// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/MediaLibrary.h"
#include "core/ProgramModules.h"
#include "media/Media.h"

// The module's one exported name; everything else in it stays its own.
ZANTROPE_MODULE_ENTRY const app::MediaFunctions *zantrope_media_functions()
{
    static const app::MediaFunctions functions{app::MediaFunctions::CurrentRevision, &app::media::ReadyMovie,
                                               &app::media::ReadFacts};
    return &functions;
}
