// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Join as One Movie": joins the inputs into one stream that players take for
// one movie, without re-encoding. Each input is read with its own demuxer and
// its packets are copied with their timestamps moved on, so that each input
// continues where the one before it ended; one muxer that fits the inputs
// writes them. The length shown, the clock and seeking then cover the whole
// join, which a byte join of program streams or MP3s cannot give.
//
// Observed as the byte join (JoinObserver, JoinStopped): the bars move by the
// bytes read from each input, a stop leaves a playable beginning, and errors
// are platform::EInOutError naming the file.
#include "core/JoinEngine.h"
#include "platform/Exceptions.h"
#include "platform/FileName.h"

#include <QString>
#include <vector>

namespace app {

// The refusal of a list whose files differ in a way one stream cannot carry:
// the kind of file, the codec, the picture size, the frame rate, the sample
// rate or the channel count. Raised before anything is written.
class EMixedFormats : public platform::EInOutError {
public:
    using EInOutError::EInOutError;
};

class MovieJoin {
public:
    // Code of every error the join raises itself: an input that is not media
    // it can read (a read error), and EMixedFormats.
    static constexpr int MediaErrorCode = 100;

    // The name the join writes: output itself, except that a ".dat" ending
    // (any case) becomes ".mpg", since the result is a plain program stream.
    static platform::FileName OutputNameFor(const platform::FileName &output);

    // Joins inputs into OutputNameFor(output) and returns that name.
    //
    // An empty list is refused. Before the output is touched, every input is
    // opened and compared with the first: one that is the output itself
    // (ESameFile), no regular file, not readable as media, or of another
    // format (EMixedFormats, naming it and how it differs) refuses the join;
    // so does a first input of a kind no writer here takes (EMixedFormats
    // too, pointing to the byte join). The writer follows the first
    // input: VCD-style MPEG-1 program streams (and VCD .dat files) get a VCD
    // program stream, DVD-style MPEG-2 a DVD one, other program streams a
    // plain one; MPEG video streams stay MPEG video streams; MP3 and MP2 stay
    // MP3 and MP2. An MP3 output carries the first input's ID3v2 tag as it
    // was, then one Xing (VBR) or Info (CBR) frame that counts every frame of
    // the join, then only audio frames: no later tag or header frame.
    //
    // Observer calls as in JoinEngine::Join: JoinStarted(sum of the input
    // sizes) after the checks, OutputCreated, then per input FileStarted,
    // BlockCopied with the bytes read since the last call (summing to the
    // input's size by FileFinished), StopRequested after each BlockCopied.
    // A stop finishes the stream written so far and throws JoinStopped; an
    // MP3's header frame then still counts the whole list. The old output is
    // replaced only when the new one is complete, stopped or failed.
    //
    // It runs on any one thread, as JoinEngine::Join does, and may take the
    // same observer: a caller that runs either join picks MovieJoin when
    // "Join as One Movie" is checked (or --movie is given) and shows the
    // returned name as the output's.
    platform::FileName Join(const platform::FileName &output, const std::vector<platform::FileName> &inputs,
                            JoinObserver &observer);
};

} // namespace app
