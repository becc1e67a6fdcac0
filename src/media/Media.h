// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The work of the media module, which the core reaches through
// MediaLibrary(): "Join as One Movie" and the clip facts.
#include "core/ClipFacts.h"
#include "core/JoinEngine.h"
#include "platform/FileName.h"

#include <vector>

namespace app::media {

// MovieJoin::Join's work.
platform::FileName JoinAsOneMovie(const platform::FileName &output, const std::vector<platform::FileName> &inputs,
                                  JoinObserver &observer);
// ReadClipFacts's work.
ClipFacts ReadFacts(const platform::FileName &name);

} // namespace app::media
