// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Join as One Movie" of MPEG files: joins the inputs into one stream that
// players take for one movie, without re-encoding. Each input is read with
// its own demuxer and its packets are copied with their timestamps moved
// on, so that each input continues where the one before it ended; one muxer
// that fits the inputs writes them. The length shown, the clock and seeking
// then cover the whole join, which a byte join of program streams or MP3s
// cannot give. The work is the media module's (MediaLibrary()); this is the
// planner's method for it (see JoinPlan.h).
//
// Two passes over the inputs the output guard looked at, each read from
// the file looked at. The first, on the planner's step, reads every input's
// streams and compares them with the first input's before the output is
// touched: one that is not readable as media or of another format
// (EMixedFormats, naming it and how it differs) refuses the join; so does a
// first input of a kind no writer here takes, and an ID3 tag larger than
// its file. It asks for a stop between the inputs and while it reads them.
// The writer follows the first input: VCD-style MPEG-1 program streams
// (and VCD .dat files) get a VCD program stream, DVD-style MPEG-2 a DVD one,
// other program streams a plain one; MPEG video streams stay MPEG video
// streams; MP3 and MP2 stay MP3 and MP2 (JoinKind::Mp3). The second pass
// places every packet with the movie timeline (MovieTimeline.h); an input
// whose streams are not those of the first pass is refused. An MP3 output
// carries the first input's ID3v2 tag as it was, then one Xing (VBR) or
// Info (CBR) frame that counts the frames the file holds (written again
// when the stream ends, also after a stop or a failure), then only audio
// frames: no later tag or header frame.
//
// Observed as the byte join: the bars move by the bytes read from each
// input in the second pass, a stop leaves a playable beginning (or the old
// output whole), and errors are platform::EInOutError naming the file.
#include "core/JoinPlan.h"
#include "platform/Exceptions.h"
#include "platform/FileName.h"

#include <QString>
#include <memory>
#include <vector>

namespace app {

// The refusal of a list whose files differ in a way one stream cannot carry:
// the kind of file, the codec, the picture size, the frame rate, the sample
// rate or the channel count. Raised before anything is written, with
// InOutCode::ReadError, the code of every error the movie join raises
// itself (an input that is no media it can read, a write that libavformat
// failed).
class EMixedFormats : public platform::EInOutError {
public:
    using EInOutError::EInOutError;
};

class MovieJoin {
public:
    // The name the join writes: output itself, except that a ".dat" ending
    // (any case) becomes ".mpg", since the result is a plain program stream.
    static platform::FileName OutputNameFor(const platform::FileName &output);

    // The planner's step for these joins (JoinMethod::ready).
    static std::unique_ptr<ReadyJoin> Ready(JoinPlan &plan, const JoinRequest &request, OutputGuard &&guard,
                                            JoinObserver &observer);

    // A refusal of the files as one movie, made because the person chose
    // one movie: the same error, its message saying where to switch the
    // choice off. Any other error is thrown again as it is. Called in the
    // handler that caught refusal.
    [[noreturn]] static void ThrowWithChoice(const platform::EInOutError &refusal, MovieChoice choice);
};

} // namespace app
