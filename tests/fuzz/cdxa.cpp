// SPDX-License-Identifier: GPL-3.0-or-later
// A Video CD's .dat track: RIFF form CDXA around Mode 2 sectors, read by
// libavformat for the clip facts and the one-movie join.
#include "FuzzFiles.h"
#include "media/Media.h"
#include "platform/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const platform::FileName track = fuzz::Scratch("track.dat", data, size);
    try {
        (void)app::media::ReadFacts(track);
    } catch (const platform::Exception &) {
    }
    try {
        fuzz::JoinAsOneMovie(fuzz::ScratchFolder() / "joined.mpg", {track, track});
    } catch (const platform::Exception &) {
    }
    return 0;
}
