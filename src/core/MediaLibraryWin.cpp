// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/MediaLibrary.h"

namespace app {

// Linked into the program: there is nothing to load.
const MediaFunctions &MediaLibrary() { return *zantrope_media_functions(); }

} // namespace app
