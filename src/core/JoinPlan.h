// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The join planner. From the inputs, the output name and the person's
// choice of "one movie" it decides, before anything is written, how the
// files are joined (the kind), the name the join writes, or why the list
// cannot be joined (a refusal naming the file and the reason).
//
// It has two faces:
// - SketchJoin reads no file: names and types only. It is cheap enough for
//   hints and for naming the output before a join starts.
// - PlanJoin runs on the join's worker thread and reads what the kind needs
//   (the movie joins read every input's streams); it reports that reading
//   to the observer and can be stopped. What it hands back only has to be
//   written.
//
// Every kind of join is a value of JoinKind, planned and run by one method,
// a row of JoinMethods() (see JoinPlan.cpp). A new kind is one more value
// and one more row, put before the rows whose requests it takes over.
#include "core/JoinObserver.h"
#include "core/OutputGuard.h"
#include "platform/FileName.h"

#include <QString>
#include <memory>
#include <vector>

namespace app {

enum class JoinKind {
    Bytes,         // byte for byte, as cat joins
    ProgramStream, // one movie: MPEG program or video streams, remuxed with libavformat
    Mp3,           // one movie: MPEG audio frames behind one tag and one length header
    Pieces,        // byte for byte: pieces of one recording, checked to continue each other
    Matroska,      // one movie: Matroska or WebM files, remuxed with every track
    Transport,     // one movie: MPEG transport streams on clocks of their own, remuxed
    Mp4Boxes,      // one movie: MP4 or QuickTime chapters, media data copied, one new index
};

// "Join byte for byte", "Join as one movie", "Join as one movie, every
// track kept".
QString KindWords(JoinKind kind);
bool IsOneMovie(JoinKind kind);

// Whether the person asked for one movie, and where: a refusal that the
// choice caused says how to take it back there.
enum class MovieChoice {
    Off,
    Menu,   // the list's menu item "Join as One Movie" is checked
    Option, // the command line's --movie
};

struct JoinRequest {
    std::vector<platform::FileName> inputs;
    platform::FileName output; // as the person named it
    MovieChoice movie = MovieChoice::Off;
};

struct JoinPlan {
    JoinKind kind = JoinKind::Bytes;
    platform::FileName output; // the name the join writes
    int clips = 0;             // the inputs, counted
    bool chosen = false;       // the kind follows the person's choice, not what the files are
    QString refusal;           // SketchJoin: why the list cannot be joined, naming the file; empty when it can
    // The method's own words for a join it chose by what the files are, not
    // by the person's choice: by names what it will do ("Matroska files are
    // joined as one movie, …"), once the files are read what it did. Empty
    // where the person's choice decides.
    QString how;

    bool OneMovie() const { return IsOneMovie(kind); }
    // The files, not the person, make it one movie (MP4 chapters): the
    // window and the command line say so, before the join and after it.
    bool FilesMakeOneMovie() const { return OneMovie() && !chosen; }
    // "Join as one movie: 3 clips, 0:21" (the length left out where it is
    // not known, 0); "Join byte for byte: 3 files".
    QString Summary(qint64 lengthUs) const;
    // After the join: "Joined as one movie, every track kept: ride.mp4",
    // naming what was written.
    QString Done() const;
};

// A join that its method has readied: its inputs looked at, and read where
// the kind needs it; the output not yet touched.
class ReadyJoin {
public:
    virtual ~ReadyJoin() = default;
    // Writes the output, telling observer OutputCreated, then for each
    // input FileStarted, BlockCopied (the sizes adding up to the input's by
    // FileFinished), StopRequested after each block, FileFinished. Throws
    // JoinStopped when asked to stop, platform::EInOutError naming the file
    // when it fails.
    virtual void Write(JoinObserver &observer) = 0;
};

// How the joins of one family are planned and run.
struct JoinMethod {
    // By names only: whether the method takes request; when it does, it sets
    // plan.kind and plan.chosen, and plan.refusal when it can tell by names
    // that the list cannot be joined.
    bool (*sketch)(const JoinRequest &request, JoinPlan &plan);
    // The name the join writes for the output the person named
    // (request.output), which may follow the inputs' type.
    platform::FileName (*outputName)(const JoinRequest &request);
    // On the join's worker, with the inputs looked at by guard (point 1 of
    // OutputGuard.h): reads what the kind needs, asking
    // observer.StopRequested() now and then, and may set plan.kind to
    // another kind of its own that the files show. Refuses by throwing
    // platform::EInOutError naming the file; nothing is written before.
    // The join it returns makes its output and reads its inputs through
    // guard, which it keeps.
    std::unique_ptr<ReadyJoin> (*ready)(JoinPlan &plan, const JoinRequest &request, OutputGuard &&guard,
                                        JoinObserver &observer);
};

// The byte join of guard's inputs, readied.
std::unique_ptr<ReadyJoin> ReadyBytes(OutputGuard &&guard);

// Every method, in the order they are asked: the first whose sketch takes a
// request plans it. The byte join comes last and takes every request.
const std::vector<JoinMethod> &JoinMethods();

// The plan by names only; reads no file.
JoinPlan SketchJoin(const JoinRequest &request);

struct PlannedJoin {
    JoinPlan plan;
    std::unique_ptr<ReadyJoin> join;
};

// The plan made by reading the files, on the thread that then writes it:
// the inputs are looked at through an OutputGuard for plan.output, then the
// method readies the join. Observer calls: JoinStarted once the inputs are
// looked at, then StopRequested while they are read; throws the refusal,
// or JoinStopped.
PlannedJoin PlanJoin(const JoinRequest &request, JoinObserver &observer);

// Plans and writes; returns the plan it followed (plan.output was written).
JoinPlan RunJoin(const JoinRequest &request, JoinObserver &observer);

} // namespace app
