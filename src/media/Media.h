// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The work of the media module, which the core reaches through
// MediaLibrary(): "Join as One Movie" and the clip facts.
#include "core/ClipFacts.h"
#include "core/JoinObserver.h"
#include "core/OutputGuard.h"
#include "platform/FileName.h"

#include <vector>

namespace app::media {

// MediaFunctions::joinMovie's work.
void JoinAsOneMovie(OutputGuard &guard, JoinObserver &observer);
// ReadClipFacts's work.
ClipFacts ReadFacts(const platform::FileName &name);

} // namespace app::media
