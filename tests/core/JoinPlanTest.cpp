// SPDX-License-Identifier: GPL-3.0-or-later
// The join planner: the kind, the name written and the refusals, by names
// only and from the files.
#include "core/JoinPlan.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "TestFiles.h"

using app::JoinKind;
using app::JoinRequest;
using app::MovieChoice;

namespace {

std::vector<platform::FileName> Names(std::initializer_list<const char *> names)
{
    std::vector<platform::FileName> result;
    for (const char *n : names)
        result.emplace_back(n);
    return result;
}

} // namespace

TEST(JoinPlan, TheSketchChoosesTheKindAndTheNameWrittenByNamesAlone)
{
    // No file of these names exists: the sketch reads none.
    const auto sketch = [](std::initializer_list<const char *> inputs, const char *output, MovieChoice movie) {
        return app::SketchJoin(JoinRequest{Names(inputs), platform::FileName(output), movie});
    };
    const app::JoinPlan bytes = sketch({"a.dat", "b.dat"}, "out.dat", MovieChoice::Off);
    EXPECT_EQ(bytes.kind, JoinKind::Bytes);
    EXPECT_EQ(bytes.output, platform::FileName("out.dat"));
    EXPECT_FALSE(bytes.chosen);
    EXPECT_EQ(bytes.Summary(21'000'000), "Join byte for byte: 2 files");

    const app::JoinPlan movie = sketch({"a.dat", "b.mpg", "c.mpg"}, "dir.x/out.DAT", MovieChoice::Menu);
    EXPECT_EQ(movie.kind, JoinKind::ProgramStream);
    EXPECT_EQ(movie.output, platform::FileName("dir.x/out.mpg")); // a program stream, not RIFF sectors
    EXPECT_TRUE(movie.chosen && movie.OneMovie() && movie.refusal.isEmpty());
    EXPECT_EQ(movie.Summary(21'400'000), "Join as one movie: 3 clips, 0:21");
    EXPECT_EQ(movie.Summary(0), "Join as one movie: 3 clips");

    EXPECT_EQ(sketch({"song.MP3", "b.mp3"}, "all.mp3", MovieChoice::Option).kind, JoinKind::Mp3);
    EXPECT_EQ(sketch({}, "x.mpg", MovieChoice::Option).clips, 0);

    // MP4 chapters are one movie whatever the choice, named as MP4; another
    // file among them is refused by its name.
    for (MovieChoice choice : {MovieChoice::Off, MovieChoice::Menu}) {
        const app::JoinPlan mp4 = sketch({"GX010042.MP4", "GX020042.MP4"}, "ride.mpg", choice);
        EXPECT_EQ(mp4.kind, JoinKind::Mp4Boxes);
        EXPECT_TRUE(mp4.FilesMakeOneMovie() && mp4.refusal.isEmpty());
        EXPECT_EQ(mp4.output, platform::FileName("ride.mp4"));
        EXPECT_EQ(mp4.Summary(12'000'000), "Join as one movie, every track kept: 2 clips, 0:12");
    }
    EXPECT_EQ(sketch({"a.mov"}, "b.MOV", MovieChoice::Off).output, platform::FileName("b.MOV"));
    EXPECT_EQ(sketch({"a.mov", "b.mpg"}, "c.mov", MovieChoice::Off).refusal,
              "b.mpg is not an MP4 or QuickTime file; MP4 chapters join only with MP4 chapters");
}

// A refusal that only the choice of one movie causes says where to take the
// choice back; one that any join would meet does not.
TEST(JoinPlan, ARefusalOfOneMovieNamesTheChoiceAndHowToSwitchItOff)
{
    QTemporaryDir dir;
    const QString notes = dir.filePath("notes.mpg");
    WriteBytes(notes, QByteArray(20000, 'x'));
    const JoinRequest request{{Name(notes), Name(notes)}, Name(dir.filePath("out.mpg")), MovieChoice::Menu};
    app::JoinObserver quiet;
    const platform::EInOutError e = ErrorOf([&] { app::RunJoin(request, quiet); });
    EXPECT_TRUE(e.Message().contains("notes.mpg")) << e.Message().toStdString();
    EXPECT_TRUE(e.Message().endsWith("\"Join as One Movie\" is checked in the list's menu; uncheck it to join the "
                                     "files byte for byte."))
        << e.Message().toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("out.mpg")));

    // The same list joins byte for byte without the choice; a missing input
    // is refused alike with or without it.
    EXPECT_EQ(app::RunJoin({request.inputs, request.output, MovieChoice::Off}, quiet).output, request.output);
    const platform::EInOutError missing = ErrorOf([&] {
        app::RunJoin({{Name(dir.filePath("gone.mpg"))}, Name(dir.filePath("x.mpg")), MovieChoice::Menu}, quiet);
    });
    EXPECT_FALSE(missing.Message().contains("Join as One Movie")) << missing.Message().toStdString();
}
