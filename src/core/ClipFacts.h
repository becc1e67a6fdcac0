// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a person wants to know of a listed clip before joining: its length and
// its format, read with libavformat. Reading may take a while (the file's end
// is looked at for the length), so the window runs it off the GUI thread; it
// needs no Qt event loop and shares nothing between calls.
#include "platform/FileName.h"

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace app {

struct ClipFacts {
    qint64 lengthUs = 0; // from the first to the last moment of the clip
    qint64 startUs = 0;  // the first timestamp of the clip, where it has timestamps
    QString format;      // the reader's short name: "mpeg", "mp3", "mpegvideo", ...
    QString video;       // "MPEG-1 352×240 29.97 fps"; empty without a picture
    QString audio;       // "MP2 44.1 kHz"; empty without sound
    QString extras;      // other tracks in words, "timecode, telemetry"; empty without
    // Of MPEG audio files, for the byte join's hint:
    bool lengthHeader = false; // a Xing, Info or VBRI frame gives the first file's length
    bool startTag = false;     // an ID3v2 tag at the start
    bool endTag = false;       // an ID3v1 or APE tag at the end

    // "0:05 · MPEG-1 352×240 29.97 fps · MP2 44.1 kHz", for an item's hint;
    // other tracks follow ("· timecode, telemetry").
    QString Text() const;
};

// Reads the facts of one file. Throws platform::EInOutError naming the file
// when it cannot be read or is no media; never blocks on a pipe or a device.
ClipFacts ReadClipFacts(const platform::FileName &name);

// A number with at most two decimals and no trailing zeros: 29.97, 25, 44.1.
QString DecimalWords(double value);

// A length as people read it: "0:05", "12:34", "1:02:03" (rounded to the
// second; FormatDuration of JoinProgress.h).
QString LengthText(qint64 us);

// The list's total length: the sum of the lengths known (files not read yet,
// or unreadable, count nothing).
qint64 TotalLength(const std::vector<std::optional<ClipFacts>> &facts);

// After a byte join: the one line the "Joined …" notice adds when players
// will show the joined file with a wrong length or seek badly in it (program
// streams whose clocks start again at each join; MP3s whose first file's
// length header or later files' tags and headers stay inside), naming the
// menu item that joins them as one movie; empty when nothing will mislead.
// facts are the inputs' facts in list order; unknown ones are skipped.
QString ByteJoinHint(const std::vector<std::optional<ClipFacts>> &facts);

} // namespace app
