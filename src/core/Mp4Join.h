// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Camera chapters (MP4 and QuickTime files) joined into one movie box by box:
// every input's media data is copied as it is, by the byte join's own copy
// path, and one new index describes all of it (see Mp4Index and
// Mp4Timeline). Every track of the first chapter is kept, with its handler
// name, sample descriptions and tags, and the first chapter's 'ftyp'.
//
// The index comes first in the output ("fast start"): the inputs' indexes
// give every size before anything is written, so it is never moved later.
#include "core/JoinEngine.h"
#include "platform/FileName.h"

#include <QByteArray>
#include <vector>

namespace app {

// Whether a list is joined by JoinMp4: it holds a file of an MP4 type
// (IsMp4Type). Such a list is never joined byte for byte.
bool IsMp4List(const std::vector<platform::FileName> &inputs);

// The name JoinMp4 writes: output itself, except that an ending of the
// program's other types (".mpg", ".mp3", ".dat", ...), which would
// misname the movie, becomes the first input's (".mp4", ".mov").
platform::FileName Mp4OutputNameFor(const platform::FileName &output, const std::vector<platform::FileName> &inputs);

// Joins inputs into Mp4OutputNameFor(output, inputs) and returns that name.
//
// Before the output is touched, every input is looked at, opened and its
// index read, and refused (platform::EInOutError naming it and saying how,
// in words) when it is no MP4 or QuickTime file (a list that mixes them
// with other containers), has no index (a recording that was never
// finished), or differs from the first in its tracks, codecs, picture size,
// sound or codec parameters; ESameFile and every other rule of
// JoinEngine::Join keep the inputs safe.
//
// Observed as JoinEngine::Join: JoinStarted(bytes of media data in all),
// OutputCreated, then per input FileStarted(index, its media data),
// BlockCopied and StopRequested after each block, FileFinished. A stop, or
// an error while copying, leaves a movie of the chunks copied whole: the
// index is written again for them.
platform::FileName JoinMp4(const platform::FileName &output, const std::vector<platform::FileName> &inputs,
                           JoinObserver &observer);

// What JoinMp4 writes before the media data ('ftyp', tags, the joined index
// and the media data's header), after every check it makes, and nothing
// written: the index of a join too large to make in a test.
QByteArray Mp4JoinHead(const platform::FileName &output, const std::vector<platform::FileName> &inputs);

} // namespace app
