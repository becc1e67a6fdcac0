// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the fuzz targets share: a scratch folder of the process's own, where
// parsers that read files by name get the input as a file, and a stop for a
// finding that is no crash but a broken promise.
#include "core/JoinPlan.h"
#include "platform/FileName.h"

#include <vector>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace fuzz {

// The process's scratch folder, made at the first call in the shared memory
// folder where there is one (fast), else in the temporary one; removed at exit.
platform::FileName ScratchFolder();

// The bytes as the file name in the scratch folder; its name.
platform::FileName Scratch(const char *name, const uint8_t *data, size_t size);

// Two inputs of one type made of the bytes, as the join targets read them:
// the first byte picks the type among extensions, the second where the rest
// is split between "a.EXT" and "b.EXT" (0: each is all of it). None when
// there are fewer than two bytes.
std::vector<platform::FileName> TwoInputs(const uint8_t *data, size_t size,
                                          const std::vector<const char *> &extensions);

// "Join as One Movie" of inputs into output, as the join's worker does it
// (the media module's part of it) for the kind: MPEG program streams and
// audio unless told; throws what the join throws.
void JoinAsOneMovie(const platform::FileName &output, const std::vector<platform::FileName> &inputs,
                    app::JoinKind kind = app::JoinKind::ProgramStream);

// Ends the run as a crash, saying which promise the input broke, so that
// libFuzzer keeps it.
[[noreturn]] inline void Broken(const char *promise)
{
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

} // namespace fuzz
