// SPDX-License-Identifier: GPL-3.0-or-later
// What the window offers beyond its buttons: dragging items into order,
// stopping a join, the join in words, the keys, and long paths. Driven
// through real key, mouse and drag events on the real list view.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

#include "HintSettings.h"
#include "TestFiles.h"
#include "WindowTest.h"
#include "desktop/Cursor.h"
#include "framework/TApplication.h"
#include "window/MainWindow.h"

using app::TForm1;

namespace {

class WindowCommandsTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    QPoint centreOf(int row) const { return view()->visualItemRect(view()->topLevelItem(row)).center(); }
    // Big enough inputs that the join takes many turns of the window.
    void addBigInputs(int count)
    {
        for (int i = 0; i < count; ++i) {
            const QString name = path(QStringLiteral("in%1.mpg").arg(i));
            WriteBytes(name, Pattern(3 << 20, quint32(i)));
            form->Session().Append({Name(name)});
        }
        form->SetOutputName(Name(path("out.mpg")));
    }

    FakeDialogs dialogs;
    FakeShell shell;
    platform::Override<platform::Dialogs> d{dialogs};
    platform::Override<platform::Shell> s{shell};
};

} // namespace

// The platform runs a drag's own loop, which the offscreen platform has not;
// the list gets the drag's events as the desktop delivers them.
TEST_F(WindowCommandsTest, AnItemDraggedToTheTopMovesThereWithItsIcon)
{
    for (const char *n : {"a.mpg", "b.mpg", "c.mpg"})
        form->Session().Append({Name(path(QString::fromLatin1(n)))});
    form->Lv1->SetItemImageIndex(2, 1);
    form->Lv1->SetSelectedIndex(2);
    std::unique_ptr<QMimeData> dragged(view()->model()->mimeData({view()->model()->index(2, 0)}));
    const QPoint top = view()->visualItemRect(view()->topLevelItem(0)).topLeft() + QPoint(20, 2);
    EXPECT_EQ(DropOnto(view()->viewport(), *dragged, top, Qt::MoveAction), Qt::CopyAction)
        << "taken as a copy, so that the list does not remove what it moved";
    EXPECT_EQ(captions(), (QStringList{path("c.mpg"), path("a.mpg"), path("b.mpg")}));
    EXPECT_EQ(icons(), (QList<int>{1, 0, 0}));
    EXPECT_EQ(form->Lv1->SelectedIndex(), 0);

    // Below the last item: to the end. Files from the file manager go where they land.
    dragged.reset(view()->model()->mimeData({view()->model()->index(0, 0)}));
    DropOnto(view()->viewport(), *dragged, QPoint(20, view()->viewport()->height() - 2), Qt::MoveAction);
    EXPECT_EQ(captions(), (QStringList{path("a.mpg"), path("b.mpg"), path("c.mpg")}));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(path("new.mpg")), QUrl::fromLocalFile(path("notes.txt"))});
    const QPoint between = view()->visualItemRect(view()->topLevelItem(1)).topLeft() + QPoint(20, 2);
    EXPECT_EQ(DropOnto(view()->viewport(), files, between, Qt::MoveAction), Qt::CopyAction)
        << "a move would make the file manager delete its file";
    EXPECT_EQ(captions(), (QStringList{path("a.mpg"), path("new.mpg"), path("b.mpg"), path("c.mpg")}));

    // During a join the list takes no drag: a drop goes to the window, which refuses it.
    form->Lv1->SetReadOnly(true);
    EXPECT_FALSE(view()->dragEnabled());
    EXPECT_FALSE(view()->viewport()->acceptDrops());
}

TEST_F(WindowCommandsTest, EscapeAsksAndYesStopsTheJoinLeavingAnExactPrefix)
{
    addBigInputs(3);
    QByteArray all;
    for (int i = 0; i < 3; ++i)
        all += Pattern(3 << 20, quint32(i));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    holdJoinsAtFirstBlock();
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    waitForHeldJoin();
    const QString titleDuring = form->windowTitle();
    const QString hintDuring = form->ProgressHint();
    boxes.answers = {0}; // Enter: Yes
    QTest::keyClick(form->Lv1->View(), Qt::Key_Escape);
    settle();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text, QStringLiteral("Stop joining?"));
    EXPECT_EQ(boxes.asked[0].Answers, (QStringList{"&Yes", "&No"}));
    EXPECT_EQ(boxes.asked[0].DefaultAnswer, 0);
    EXPECT_TRUE(boxes.shown.empty()) << "a stop is no error";
    EXPECT_FALSE(form->Joining());

    const QByteArray out = ReadBytes(path("out.mpg"));
    EXPECT_EQ(out, all.left(app::JoinEngine::BlockSize)) << "what was joined, in order, nothing twice";
    EXPECT_EQ(icons(), (QList<int>{0, 0, 0}));
    EXPECT_EQ(form->FpBar1->Position(), 0) << "no file was finished";

    EXPECT_TRUE(titleDuring.startsWith(QStringLiteral("Zantrope \u2013 0%"))) << titleDuring.toStdString();
    EXPECT_TRUE(hintDuring.startsWith(QStringLiteral("File 1 of 3 \u00b7 "))) << hintDuring.toStdString();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zantrope"));
    EXPECT_EQ(form->FlatTitlebar1->Caption(), QStringLiteral("Zantrope"));
    EXPECT_EQ(framework::Application().Notice(), nullptr);

    // Escape does nothing at rest; No lets a join go on to its end, which a notice tells.
    QTest::keyClick(form->Lv1->View(), Qt::Key_Escape);
    EXPECT_EQ(boxes.asked.size(), 1u);
    const platform::CursorOverride pointer(QPoint(1000, 20)); // far from Join Now
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    waitForHeldJoin();
    boxes.answers = {1};
    QTest::keyClick(form->Lv1->View(), Qt::Key_Escape);
    settle();
    EXPECT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(ReadBytes(path("out.mpg")), all);
    const framework::THintWindow *notice = framework::Application().Notice();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->Caption(), QStringLiteral("Joined 3 files (9.4 MB) in 0:00"));
    const QPoint byJoinNow = form->fb7->mapToGlobal(QPoint(form->fb7->width(), form->fb7->height() / 2));
    EXPECT_TRUE(notice->geometry().intersects(QRect(byJoinNow - QPoint(16, 16), QSize(32, 32))))
        << "the notice appears by Join Now";
    EXPECT_EQ(form->ProgressHint(), QStringLiteral("Join byte for byte: 3 files\n3 files \u00b7 9.4 MB"));

    // Stopped over the output it made before, the join leaves that whole
    // and the notice says so.
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    waitForHeldJoin();
    boxes.answers = {0};
    QTest::keyClick(form->Lv1->View(), Qt::Key_Escape);
    settle();
    EXPECT_EQ(ReadBytes(path("out.mpg")), all);
    notice = framework::Application().Notice();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->Caption(), QStringLiteral("Stopped; out.mpg was left as it was before the join"));
}

// A byte join of clips whose clocks do not run on adds advice to the
// notice, read off the window's thread by the window's own reader, so that
// nothing reads on once the window is gone: a reader left running into the
// program's end made it end badly.
TEST_F(WindowCommandsTest, AByteJoinThatPlayersShowWronglyAdvisesTheMovieJoin)
{
    if (!MakeVcdClip(path("clip.mpg"), 1))
        GTEST_SKIP() << "ffmpeg cannot make a VCD clip here";
    const std::vector<platform::FileName> clips(40, Name(path("clip.mpg")));
    form->Session().Append(clips);
    form->SetOutputName(Name(path("out.mpg")));
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    settle();
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            const framework::THintWindow *notice = framework::Application().Notice();
            return notice && notice->Caption().contains(QStringLiteral("\"Join as One Movie\" avoids this"));
        },
        20000));

#ifdef __linux__
    const auto threads = [] { return QDir(QStringLiteral("/proc/self/task")).count(); };
    const auto before = threads();
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    settle();
    form.reset(); // the advice is being read
    EXPECT_LT(threads(), before) << "the clip reader ended with the window";
#endif
}

// The question is an ordinary box: Escape returns at once, the join waits
// at its block while the window goes on, and the answer lets it go on. The
// taskbar shows the join paused meanwhile, and a failed join in red.
TEST_F(WindowCommandsTest, WhileTheStopQuestionIsOpenTheJoinWaitsAndTheWindowRuns)
{
    using platform::TaskbarProgress;
    FakeTaskbar taskbar;
    platform::Override<platform::Taskbar> t{taskbar};
    addBigInputs(2);
    holdJoinsAtFirstBlock();
    boxes.pose = true;
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    waitForHeldJoin();
    QTest::keyClick(form->Lv1->View(), Qt::Key_Escape);
    ASSERT_EQ(boxes.asked.size(), 1u);
    ASSERT_TRUE(boxes.pending);
    QTest::qWait(200);
    EXPECT_TRUE(form->Joining());
    EXPECT_EQ(form->Fpbar2->Position(), app::JoinEngine::BlockSize) << "no block joined while asking";
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    EXPECT_EQ(boxes.asked.size(), 1u) << "one question at a time";

    EXPECT_EQ(taskbar.states, (std::vector{TaskbarProgress::Normal, TaskbarProgress::Paused}));

    boxes.pending(1); // No
    settle();
    EXPECT_EQ(ReadBytes(path("out.mpg")), Pattern(3 << 20, 0) + Pattern(3 << 20, 1));
    EXPECT_EQ(taskbar.states, (std::vector{TaskbarProgress::Normal, TaskbarProgress::Paused, TaskbarProgress::Normal,
                                           TaskbarProgress::None}));

    QFile::remove(path("in0.mpg"));
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    settle();
    EXPECT_EQ(taskbar.states.back(), TaskbarProgress::Error);
}

TEST_F(WindowCommandsTest, KeysRunTheCommands)
{
    for (const char *n : {"a.mpg", "b.mpg", "c.mpg"}) {
        WriteBytes(path(QString::fromLatin1(n)), n);
        form->Session().Append({Name(path(QString::fromLatin1(n)))});
    }
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QWidget *list = form->Lv1->View();
    list->setFocus();
    form->Lv1->SetSelectedIndex(1);
    QTest::keyClick(list, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(captions(), (QStringList{path("b.mpg"), path("a.mpg"), path("c.mpg")}));
    QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(captions(), (QStringList{path("a.mpg"), path("c.mpg"), path("b.mpg")}));
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(captions(), (QStringList{path("a.mpg"), path("c.mpg")}));

    // Delete in the output box edits the text, not the list.
    QWidget *edit = form->Fc1->EditHandle();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_EQ(form->Lv1->Count(), 2);

    QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.folderTitles.size(), 1);
    EXPECT_EQ(dialogs.saveRequests.size(), 1u);
    form->SetOutputName(Name(path("out.mpg")));
    QTest::keyClick(list, Qt::Key_Return, Qt::ControlModifier);
    settle();
    EXPECT_EQ(ReadBytes(path("out.mpg")), QByteArray("a.mpgc.mpg"));

    // Before, these had no key.
    form->Lv1->SetSelectedIndex(1);
    QTest::keyClick(list, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(list, Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_F1);
    EXPECT_EQ(shell.files.mid(0, 2), (QStringList{path("c.mpg"), path("out.mpg")}));
    EXPECT_TRUE(shell.files.value(2).endsWith(QStringLiteral("readme.html")));
    QTest::keyClick(list, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_EQ(shell.addresses, QStringList{app::ProductWebPage});
    QTest::keyClick(list, Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(form->JoinasOneMovie1->Checked());
    QTest::keyClick(list, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form->Lv1->Count(), 0);

    // Every command of the menu has a key of its own, which the menu shows.
    QStringList keys;
    for (const framework::TMenuItem *item :
         {form->AddMovie1, form->AddFileFolder1, form->Moveup1, form->Movedown1, form->DelFile1, form->DeleteAll1,
          form->Help1, form->MergeMovieNow1, form->JoinasOneMovie1, form->Play1, form->estplay1})
        keys << framework::ShortCutToText(item->ShortCut());
    EXPECT_FALSE(keys.contains(QString()));
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), keys.size()) << keys.join(' ').toStdString();
}

#ifndef _WIN32
// The desktop's real opener, not a stand-in.
class OpenerWindowTest : public WindowTest {};

// Before, xdg-open that found no program for the type ("no method
// available", status 3) left Play, the web link and Help doing nothing.
TEST_F(OpenerWindowTest, PlayAndTheWebLinkSayWhenNoProgramOpensThem)
{
    WriteBytes(path("out.mpg"), "x");
    form->SetOutputName(Name(path("out.mpg")));
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const OpenerWithoutPrograms opener;
    QTest::keyClick(form->Lv1->View(), Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(form->Lv1->View(), Qt::Key_F1, Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.shown.size() == 2; }, 20000)) << boxes.shown.size();
    QStringList told;
    for (const auto &box : boxes.shown)
        told << box.text + " / " + box.details;
    told.sort();
    const QString none = QStringLiteral(" / No program for this kind of file or address is installed.");
    EXPECT_EQ(told, (QStringList{"No program was found to open " + path("out.mpg") + "." + none,
                                 "No program was found to open https://www.zantrope.net/." + none}));
}
#endif

// A long path is cut in the middle on the screen; the hint shows it whole.
TEST_F(WindowCommandsTest, HoveringAnItemShowsItsWholePath)
{
    HintSettings restore;
    platform::CursorOverride cursor{QPoint(0, 0)};
    framework::Application().SetMainForm(form.get());
    const QString longPath =
        path(QString(20, QLatin1Char('d')) + QLatin1Char('/') + QString(300, QLatin1Char('n')) + ".mpg");
    form->Session().Append({Name(path("short.mpg"))});
    form->Session().Append({Name(longPath)});
    EXPECT_EQ(view()->textElideMode(), Qt::ElideMiddle);
    framework::TApplication &app = framework::Application();
    auto hover = [&](int row) {
        const QPoint at = view()->viewport()->mapToGlobal(centreOf(row));
        cursor.MoveTo(at);
        QMouseEvent move(QEvent::MouseMove, QPointF(view()->viewport()->mapFromGlobal(at)), QPointF(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view()->viewport(), &move);
        app.FireHintTimer();
        return app.HintWindow() && app.HintWindow()->isVisible() ? app.HintWindow()->Caption() : QString();
    };
    EXPECT_EQ(hover(1), longPath);
    EXPECT_EQ(hover(0), path("short.mpg")) << "another item, another hint";
}

// A folder of screen-recorder segments (and a note beside them), added with
// Add Folder, saved as one name and joined: one Matroska movie, and the
// notice says which join the files chose.
TEST_F(WindowCommandsTest, AFolderOfMatroskaSegmentsJoinsAsOneMovie)
{
    framework::Application().SetMainForm(form.get());
    QDir(dir.path()).mkdir(QStringLiteral("obs"));
    for (const char *segment : {"rec 1.mkv", "rec 2.mkv"})
        if (!MakeMp4Clip(path(QStringLiteral("obs/") + QString::fromLatin1(segment)), 1, QStringLiteral("320x240"),
                         {"-c:a", "libopus"}))
            GTEST_SKIP() << "ffmpeg cannot make a Matroska clip here";
    WriteBytes(path("obs/notes.txt"), "x");
    dialogs.folderAnswers = {path("obs")};
    form->fb2Click(form->fb2);
    settle();
    ASSERT_EQ(form->Lv1->Count(), 2) << "the segments, not the note";
    dialogs.saveAnswers = {path("joined.mkv")};
    form->fb8Click(form->fb8);
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    settle();
    EXPECT_TRUE(boxes.shown.empty());
    const QByteArray joined = ReadBytes(path("joined.mkv"));
    EXPECT_TRUE(joined.startsWith("\x1A\x45\xDF\xA3")) << "a Matroska file";
    EXPECT_NE(joined, ReadBytes(path("obs/rec 1.mkv")) + ReadBytes(path("obs/rec 2.mkv")));
    const framework::THintWindow *notice = framework::Application().Notice();
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->Caption().contains(QStringLiteral("Joined as one movie, every track kept: joined.mkv\n"
                                                          "Matroska files are joined as one movie")))
        << notice->Caption().toStdString();
}

// MP4 chapters added with Add Movie join as one movie whatever the menu
// says; the item's hint and the notice say so, and an output named as an
// MPEG file is written as MP4.
TEST_F(WindowCommandsTest, Mp4ChaptersJoinAsOneMovieAndTheWindowSaysSo)
{
    HintSettings restore;
    platform::CursorOverride cursor{QPoint(0, 0)};
    framework::Application().SetMainForm(form.get());
    for (const char *clip : {"GX010042.MP4", "GX020042.MP4"})
        if (!MakeMp4Clip(path(QString::fromLatin1(clip)), 1))
            GTEST_SKIP() << "ffmpeg cannot make an MP4 clip here";
    dialogs.openAnswers = {{path("GX010042.MP4"), path("GX020042.MP4")}};
    form->fb1Click(form->fb1);
    ASSERT_EQ(form->Lv1->Count(), 2);
    framework::TApplication &app = framework::Application();
    // The first item's hint, shown afresh: the pointer comes from the second.
    const auto hover = [&](int row) {
        const QPoint at = view()->viewport()->mapToGlobal(centreOf(row));
        cursor.MoveTo(at);
        QMouseEvent move(QEvent::MouseMove, QPointF(view()->viewport()->mapFromGlobal(at)), QPointF(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view()->viewport(), &move);
        app.FireHintTimer();
        return app.HintWindow() && app.HintWindow()->isVisible() ? app.HintWindow()->Caption() : QString();
    };
    const auto hint = [&] { return hover(1).isEmpty() ? QString() : hover(0); };
    // The total waits for both clips, so the whole hint is waited for.
    const QString expected =
        path("GX010042.MP4") + QStringLiteral("\n0:01 · H.264 320×240 25 fps · AAC 44.1 kHz\n"
                                              "Join as one movie, every track kept: 2 clips, 0:02");
    EXPECT_TRUE(QTest::qWaitFor([&] { return hint() == expected; }, 10000));
    EXPECT_EQ(hint(), expected);

    form->SetOutputName(Name(path("joined.mpg")));
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    settle();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(QFile::exists(path("joined.mp4")));
    EXPECT_FALSE(QFile::exists(path("joined.mpg")));
    const framework::THintWindow *notice = app.Notice();
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->Caption().endsWith(QStringLiteral("\nJoined as one movie, every track kept: joined.mp4")))
        << notice->Caption().toStdString();
}
