// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The planner's method for recordings split into files of one container
// (see JoinPlan.h): Matroska and WebM, MPEG transport streams (TS, MTS,
// M2TS) and DVD program streams (VOB). What the files are decides the join,
// not the list's menu:
// - Matroska and WebM: one movie, every track of each file offset by the
//   end of the file before (JoinKind::Matroska).
// - Transport streams and VOBs whose clocks run on from the piece before
//   (one recording cut by bytes): joined byte for byte, which gives the
//   recording again (JoinKind::Pieces). Otherwise one movie: transport
//   streams remuxed as one (JoinKind::Transport), VOBs as one DVD program
//   stream (JoinKind::ProgramStream).
// A list that mixes containers, or files of these types with others, is
// refused by names before anything is read.
#include "core/JoinPlan.h"

namespace app {

bool SketchContainerJoin(const JoinRequest &request, JoinPlan &plan);
platform::FileName ContainerJoinOutput(const JoinRequest &request);
std::unique_ptr<ReadyJoin> ReadyContainerJoin(JoinPlan &plan, const JoinRequest &request, OutputGuard &&guard,
                                              JoinObserver &observer);

} // namespace app
