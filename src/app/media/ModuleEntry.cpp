// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/MediaLibrary.h"
#include "app/media/Media.h"

// The module's one exported name; everything else in it stays its own.
extern "C" __attribute__((visibility("default"))) const app::MediaFunctions *zantrope_media_functions()
{
    static const app::MediaFunctions functions{app::MediaFunctions::CurrentRevision, &app::media::JoinAsOneMovie,
                                               &app::media::ReadFacts};
    return &functions;
}
