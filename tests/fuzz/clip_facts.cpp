// SPDX-License-Identifier: GPL-3.0-or-later
// A clip's facts (length, format, picture and sound, tags), read with
// libavformat from a file of any bytes. The first byte picks the name's
// extension, which guides the reader's guess of the format.
#include "FuzzFiles.h"
#include "media/Media.h"
#include "platform/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char *const names[] = {"clip.mpg", "clip.mpeg", "clip.m2v", "clip.mp1",
                                        "clip.mp2", "clip.mp3",  "clip.dat"};
    if (size == 0)
        return 0;
    const platform::FileName file = fuzz::Scratch(names[data[0] % std::size(names)], data + 1, size - 1);
    try {
        (void)app::media::ReadFacts(file).Text();
    } catch (const platform::Exception &) {
    }
    return 0;
}
