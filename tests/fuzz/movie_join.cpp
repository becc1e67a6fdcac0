// SPDX-License-Identifier: GPL-3.0-or-later
// "Join as One Movie" of two files of any bytes: the first pass that reads
// and compares them, and the writing of the one movie. The first byte picks
// the inputs' extension, and so the kind of join (program stream, MPEG
// audio, transport stream remuxed, Matroska), the second where the bytes are
// split between them (0: each input is all of them).
#include "FuzzFiles.h"
#include "media/Media.h"
#include "platform/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto inputs = fuzz::TwoInputs(data, size, {"mpg", "mp3", "mp2", "m2v", "dat", "ts", "mkv"});
    if (inputs.empty())
        return 0;
    const QByteArray type = inputs[0].Bytes().mid(inputs[0].Bytes().lastIndexOf('.'));
    const app::JoinKind kind = type == ".ts"    ? app::JoinKind::Transport
                               : type == ".mkv" ? app::JoinKind::Matroska
                                                : app::JoinKind::ProgramStream;
    try {
        fuzz::JoinAsOneMovie(fuzz::ScratchFolder() / ("joined" + type).constData(), inputs, kind);
    } catch (const platform::Exception &) {
    }
    return 0;
}
