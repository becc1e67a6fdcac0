// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Camera chapters (MP4 and QuickTime files) joined into one movie box by box,
// the planner's method for JoinKind::Mp4Boxes (see JoinPlan.h): every
// input's media data is copied as it is, by the byte join's own copy path
// (BlockMover), and one new index describes all of it (see Mp4Index and
// Mp4Timeline). Every track of the first chapter is kept, with its handler
// name, sample descriptions and tags, and the first chapter's 'ftyp'.
//
// A list with an MP4 file is always joined so, whatever the person chose:
// joined byte for byte, chapters play as the first one alone.
//
// The index comes first in the output ("fast start"): the inputs' indexes
// give every size before anything is written, so it is never moved later.
//
// The planner's step reads every input the output guard looked at, from the
// file looked at, and refuses it (platform::EInOutError naming it and saying
// how, in words) when it is no MP4 or QuickTime file (a list that mixes them
// with other containers), has no index (a recording that was never
// finished), or differs from the first in its tracks, codecs, picture size,
// sound or codec parameters. It asks for a stop between the inputs.
//
// Observed as the byte join: per input FileStarted(index, its size),
// BlockCopied for its media data as it is copied and then one block for the
// rest of it (its index, read before), FileFinished. A stop, or an error
// while copying, leaves a new output a movie of the chunks copied whole (the
// index is written again for them), and an output that existed whole.
#include "core/JoinPlan.h"
#include "platform/FileName.h"

#include <QByteArray>
#include <memory>

namespace app {

class Mp4Join {
public:
    // Takes a request with a file of an MP4 type (IsMp4Type); refuses it by
    // names when another file is of no MP4 type.
    static bool Sketch(const JoinRequest &request, JoinPlan &plan);

    // The name written: the output named, except that an ending of the
    // program's other types (".mpg", ".mp3", ".dat", ...), which would
    // misname the movie, becomes the first MP4 input's (".mp4", ".mov").
    static platform::FileName OutputNameFor(const JoinRequest &request);

    // The planner's step (JoinMethod::ready).
    static std::unique_ptr<ReadyJoin> Ready(JoinPlan &plan, const JoinRequest &request, OutputGuard &&guard,
                                            JoinObserver &observer);

    // What the join writes before the media data ('ftyp', tags, the joined
    // index and the media data's header), after every check it makes, and
    // nothing written: the index of a join too large to make in a test.
    static QByteArray Head(const JoinRequest &request);
};

} // namespace app
