// SPDX-License-Identifier: GPL-3.0-or-later
// "Join as One Movie" of two files of any bytes: the first pass that reads
// and compares them, and the writing of the one movie. The first byte picks
// the inputs' extension, the second where the bytes are split between them
// (0: each input is all of them).
#include "FuzzFiles.h"
#include "media/Media.h"
#include "platform/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto inputs = fuzz::TwoInputs(data, size, {"mpg", "mp3", "mp2", "m2v", "dat"});
    if (inputs.empty())
        return 0;
    try {
        fuzz::JoinAsOneMovie(fuzz::ScratchFolder() / "joined.mpg", inputs);
    } catch (const platform::Exception &) {
    }
    return 0;
}
