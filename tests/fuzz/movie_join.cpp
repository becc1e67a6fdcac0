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
    static const char *const kinds[][2] = {
        {"a.mpg", "b.mpg"}, {"a.mp3", "b.mp3"}, {"a.mp2", "b.mp2"}, {"a.m2v", "b.m2v"}, {"a.dat", "b.dat"}};
    if (size < 2)
        return 0;
    const auto &kind = kinds[data[0] % std::size(kinds)];
    const size_t rest = size - 2, split = data[1] == 0 ? rest : rest * data[1] / 256;
    const platform::FileName a = fuzz::Scratch(kind[0], data + 2, split);
    const platform::FileName b =
        data[1] == 0 ? fuzz::Scratch(kind[1], data + 2, rest) : fuzz::Scratch(kind[1], data + 2 + split, rest - split);
    try {
        fuzz::JoinAsOneMovie(fuzz::ScratchFolder() / "joined.mpg", {a, b});
    } catch (const platform::Exception &) {
    }
    return 0;
}
