// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MP4 tracks in words: what a track holds ("H.264 1920×1080 59.94 fps",
// "timecode"), and how a chapter differs from the first chapter in what a
// joined file cannot carry, for refusals that say exactly why.
#include "core/ClipFacts.h"
#include "core/Mp4Movie.h"

#include <QString>

namespace app::mp4 {

// What a track is for: "picture", "sound", "timecode", "telemetry",
// "subtitle", "metadata" or "data".
QString KindWords(const Track &track);

// The codec of a track's first sample description: "H.264", "AAC", ...
QString CodecWords(const Track &track);

// How chapter differs from first in its tracks, their codecs, sizes, sound,
// time scales or codec parameters, in words that follow the chapter's name
// ("has 640×360 H.264 video; the first file has 320×240 H.264 video"); empty
// when one index can describe both.
QString Difference(const Movie &chapter, const Movie &first);

// How a movie's edit lists play a track faster, slower or frozen, in words;
// empty when they play every track at its own speed.
QString SpeedChange(const Movie &movie);

// The facts a person sees in an item's hint.
ClipFacts FactsOf(const Movie &movie);

} // namespace app::mp4
