// SPDX-License-Identifier: GPL-3.0-or-later
// MP4 and QuickTime files of any bytes: the box reader and the index of a
// chapter (ReadMovie), its facts for the hints, and the box join of two
// chapters made of the bytes, which writes a new index. The first byte
// picks the inputs' extension, the second where the bytes are split between
// them (0: each input is all of them). What the join writes, the reader
// must read back, with the first chapter's tracks.
#include "FuzzFiles.h"
#include "core/JoinPlan.h"
#include "core/Mp4Describe.h"
#include "core/Mp4Movie.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

namespace {

app::mp4::Movie Read(const platform::FileName &name)
{
    platform::File file = platform::File::OpenRead(name);
    return app::mp4::ReadMovie(file, name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto inputs = fuzz::TwoInputs(data, size, {"mp4", "mov"});
    if (inputs.empty())
        return 0;
    const platform::FileName &a = inputs[0], &b = inputs[1];
    std::size_t tracks = 0;
    try {
        const app::mp4::Movie first = Read(a);
        (void)app::mp4::FactsOf(first).Text();
        tracks = first.tracks.size();
    } catch (const platform::Exception &) {
        return 0; // the join reads the first chapter alike, and refuses it
    }
    const platform::FileName joined = fuzz::ScratchFolder() / "joined.mp4";
    app::JoinObserver quiet;
    try {
        app::RunJoin({{a, b}, joined, app::MovieChoice::Off}, quiet);
    } catch (const platform::Exception &) {
        return 0;
    }
    try {
        if (Read(joined).tracks.size() != tracks)
            fuzz::Broken("the joined file has the first chapter's tracks");
    } catch (const platform::Exception &) {
        fuzz::Broken("the joined file reads as MP4");
    }
    return 0;
}
