// SPDX-License-Identifier: GPL-3.0-or-later
// A clip's facts, read from real clips made with ffmpeg: what the item
// hints show, the total length, the byte join's advice, and the reader that
// reads them in the background. Linux only, as the clips are made by the
// ffmpeg program.
#include "core/ClipFacts.h"
#include "core/ClipFactsReader.h"

#include <QSignalSpy>

#ifndef _WIN32
#include "MovieClips.h"

using app::ClipFacts;
using platform::FileName;

namespace {

class ClipFactsTest : public MovieClips {};

TEST_F(ClipFactsTest, TotalsTheByteJoinHintAndTheBackgroundReader)
{
    const ClipFacts ntsc = app::ReadClipFacts(Name(Clip("ntsc5.mpg")));
    EXPECT_EQ(ntsc.Text(), "0:05 · MPEG-1 352×240 29.97 fps · MP2 44.1 kHz");
    const ClipFacts mp3 = app::ReadClipFacts(Name(Clip("cbr4.mp3")));
    EXPECT_EQ(mp3.Text(), "0:04 · MP3 44.1 kHz"); // the cover is no picture of the clip
    EXPECT_TRUE(mp3.startTag && mp3.endTag && !mp3.lengthHeader);

    std::vector<std::optional<ClipFacts>> facts;
    for (const char *n : {"ntsc5.dat", "ntsc7.dat", "ntsc9.dat"})
        facts.push_back(app::ReadClipFacts(Name(Clip(n))));
    EXPECT_NEAR(app::TotalLength(facts) / 1e6, 21.0, 0.3);
    EXPECT_EQ(app::LengthText(app::TotalLength(facts)), "0:21");
    EXPECT_EQ(app::LengthText(3723'400'000), "1:02:03");
    EXPECT_TRUE(app::ByteJoinHint(facts).contains("\"Join as One Movie\""));
    facts.push_back(std::nullopt); // not read yet
    EXPECT_NEAR(app::TotalLength(facts) / 1e6, 21.0, 0.3);

    const auto hint = [](const QStringList &clips) {
        std::vector<std::optional<ClipFacts>> read;
        for (const FileName &name : Names(clips))
            read.push_back(app::ReadClipFacts(name));
        return app::ByteJoinHint(read);
    };
    EXPECT_FALSE(hint({"vbr5.mp3", "vbr7.mp3"}).isEmpty()); // the first header counts 5 s
    EXPECT_FALSE(hint({"cbr3.mp3", "cbr4.mp3"}).isEmpty()); // tags in the middle
    EXPECT_TRUE(hint({"ntsc5.mpg"}).isEmpty());
    EXPECT_FALSE(hint({"ntsc5.mpg", "ntsc7.mpg"}).isEmpty());

    // In the background, each name once, a file that is no media included.
    app::ClipFactsReader reader;
    QSignalSpy read(&reader, &app::ClipFactsReader::factsRead);
    WriteBytes(Path("notes.mpg"), "no movie");
    const std::vector<FileName> listed = Names({"ntsc5.mpg", "ntsc7.dat", "ntsc5.mpg"});
    reader.Read(listed);
    reader.Read({Name(Path("notes.mpg"))});
    while (read.size() < 3)
        ASSERT_TRUE(read.wait(20000));
    EXPECT_FALSE(read.wait(200)) << "a name listed twice is read once";
    EXPECT_EQ(reader.Facts(listed[0])->Text(), ntsc.Text());
    EXPECT_FALSE(reader.Facts(Name(Path("notes.mpg"))));
    EXPECT_NEAR(reader.TotalLength(listed) / 1e6, 17.0, 0.3);

    // Paused while a join runs: nothing read; the name pointed at comes
    // before those queued once it goes on.
    app::ClipFactsReader paused;
    QSignalSpy order(&paused, &app::ClipFactsReader::factsRead);
    paused.SetPaused(true);
    paused.Read(Names({"ntsc5.mpg", "ntsc7.dat"}));
    paused.ReadFirst(Name(Path("notes.mpg")));
    EXPECT_FALSE(order.wait(300)) << "read while paused";
    EXPECT_EQ(paused.TotalLength(Names({"ntsc5.mpg"})), 0) << "a queued clip has no length yet";
    paused.SetPaused(false);
    while (order.size() < 3)
        ASSERT_TRUE(order.wait(20000));
    EXPECT_EQ(order[0][0].value<FileName>(), Name(Path("notes.mpg")));
}

} // namespace
#endif
