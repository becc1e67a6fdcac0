// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The part of the program that reads and writes media with FFmpeg's
// libraries: "Join as One Movie" and the clip facts. On Linux it is the
// module zantrope-media.so, loaded on first use (see ProgramModules.h):
// FFmpeg's libraries bring some 140 more for the system's loader to bind.
#include "core/ClipFacts.h"
#include "core/JoinPlan.h"
#include "platform/FileName.h"

#include <memory>

namespace app {

struct MediaFunctions {
    // Raised whenever the table changes, so that a module of another build is
    // refused instead of called wrongly.
    static constexpr int CurrentRevision = 3;
    int revision = CurrentRevision;
    // The first pass of the movie joins of MovieJoin.h, as JoinMethod::ready
    // describes it; and the clip facts of ReadClipFacts.
    std::unique_ptr<ReadyJoin> (*readyMovie)(JoinPlan &plan, OutputGuard &&guard, JoinObserver &observer) = nullptr;
    ClipFacts (*readClipFacts)(const platform::FileName &name) = nullptr;
};

// The media functions, loaded once. Throws platform::EInOutError, saying why,
// when the module cannot be found or loaded; asked again, it tries again.
const MediaFunctions &MediaLibrary();

} // namespace app

// What the module exports; its one entry.
extern "C" const app::MediaFunctions *zantrope_media_functions();
