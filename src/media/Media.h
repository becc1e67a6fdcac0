// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The work of the media module, which the core reaches through
// MediaLibrary(): "Join as One Movie" and the clip facts.
#include "core/ClipFacts.h"
#include "core/JoinPlan.h"
#include "platform/FileName.h"

#include <memory>

namespace app::media {

// MediaFunctions::readyMovie's work.
std::unique_ptr<ReadyJoin> ReadyMovie(JoinPlan &plan, OutputGuard &&guard, JoinObserver &observer);
// ReadClipFacts's work.
ClipFacts ReadFacts(const platform::FileName &name);

} // namespace app::media
