// SPDX-License-Identifier: GPL-3.0-or-later
// The main window driven as a person would, through the dialog, shell and
// message-box stand-ins, on real files and folders.
#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

#include "HintSettings.h"
#include "WindowTest.h"
#include "core/NaturalOrder.h"
#include "core/PathRules.h"
#include "desktop/Cursor.h"
#include "desktop/Screens.h"
#include "desktop/WindowSystem.h"
#include "framework/TApplication.h"
#include "window/MainWindow.h"

using app::TForm1;

namespace {

class MainWindowTest : public WindowTest {
protected:
    void add(const QStringList &names)
    {
        for (const QString &n : names)
            form->Session().Append({Name(n)});
    }

    FakeDialogs dialogs;
    FakeShell shell;
    platform::Override<platform::Dialogs> d{dialogs};
    platform::Override<platform::Shell> s{shell};
};

TEST_F(MainWindowTest, ControlsStandAtTheirPlaces)
{
    EXPECT_EQ(form->size(), QSize(566, 439));
    EXPECT_EQ(form->Panel1->geometry(), QRect(0, 21, 566, 57));
    EXPECT_EQ(form->Panel2->geometry(), QRect(0, 78, 97, 361));
    EXPECT_EQ(form->Panel3->geometry(), QRect(97, 78, 469, 361));
    EXPECT_EQ(form->Panel4->geometry(), QRect(1, 321, 467, 39));
    EXPECT_EQ(form->Lv1->geometry(), QRect(1, 1, 467, 320));
    EXPECT_EQ(form->fb7->geometry(), QRect(0, 248, 97, 35));
    EXPECT_EQ(form->Fc1->geometry(), QRect(88, 6, 369, 22));
    EXPECT_EQ(form->Fc1->ColorArrow(), framework::clFuchsia);
    EXPECT_EQ(form->Fc1->ColorArrowBackground(), 0x00A5DFF8u);
    EXPECT_EQ(form->Fc1->ItemHeight(), 14);
    EXPECT_EQ(form->Fc1->TabOrder(), 0);
    EXPECT_EQ(form->Fc1->ItemIndex(), -1);
    for (flat::TFlatProgressBar *bar : {form->FpBar1, form->Fpbar2}) {
        EXPECT_EQ(bar->ColorElement(), framework::clLime);
        EXPECT_EQ(bar->ColorBorder(), framework::clBlack);
        EXPECT_EQ(bar->Color(), framework::clBlack); // follows the black column
        EXPECT_TRUE(bar->Smooth());
        EXPECT_EQ(bar->Max(), 100);
    }
    EXPECT_EQ(form->FpBar1->geometry(), QRect(1, 344, 95, 16));
    EXPECT_EQ(form->Fpbar2->geometry(), QRect(1, 328, 95, 16));
    EXPECT_TRUE(form->XPMenu1->Active());
    EXPECT_TRUE(form->Pop1->OwnerDraw());
    EXPECT_EQ(form->Image1->geometry(), QRect(405, 11, 28, 27));
    EXPECT_EQ(form->Image1->Hint(), QStringLiteral("Help?"));
    EXPECT_EQ(form->Image1->cursor().shape(), Qt::PointingHandCursor);
    // The banner is decoded from its JPEG: 568 x 58, shown clipped in 566 x 57.
    EXPECT_EQ(form->Ima1->Picture().size(), QSize(568, 58));
    EXPECT_EQ(form->Ima1->geometry(), QRect(0, 0, 566, 57));
}

TEST_F(MainWindowTest, FlatButtonsAndTitleBarCarryTheirStoredValues)
{
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    flat::TFlatTitlebar *bar = form->FlatTitlebar1;
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 566, 21));
    EXPECT_EQ(bar->Caption(), QStringLiteral("Zantrope"));
    EXPECT_EQ(bar->TitlebarColor(), framework::clNavy);
    EXPECT_EQ(bar->ActiveTextColor(), framework::clWhite);
    EXPECT_EQ(bar->InactiveTextColor(), framework::clYellow);
    EXPECT_EQ(bar->Font().Name, QStringLiteral("Verdana"));
    EXPECT_EQ(bar->Font().Style, framework::TFontStyles(framework::fsBold));
    EXPECT_EQ(bar->HostForm(), form.get());

    struct Expected {
        flat::TFlatButton *b;
        QRect bounds;
        const char *caption;
        framework::TColor color, focused, border;
        int tabOrder;
    };
    const Expected all[] = {
        {form->fb10, {536, 2, 25, 17}, "X", framework::clSilver, 0x00F8F9D9, 0x00DDDDDD, 0},
        {form->fb11, {509, 2, 25, 17}, "~", framework::clSilver, 0x00F8F9D9, 0x00DDDDDD, 1},
        {form->fb1, {0, 2, 97, 35}, "Add Movie", 0x00D0B879, 0x0000E100, framework::clBlack, 0},
        {form->fb2, {0, 36, 97, 35}, "Add Folder", 0x00D0B879, 0x0000E100, framework::clBlack, 1},
        {form->fb3, {0, 72, 97, 35}, "Move up", 0x00D0B879, 0x00A5DFF8, framework::clBlack, 2},
        {form->fb4, {0, 106, 97, 35}, "Move down", 0x00D0B879, 0x00A5DFF8, framework::clBlack, 3},
        {form->fb5, {0, 142, 97, 35}, "Delete", 0x00D0B879, 0x0000E100, framework::clBlack, 4},
        {form->fb6, {0, 176, 97, 35}, "Del All", 0x00D0B879, 0x0000E100, framework::clBlack, 5},
        {form->fb7, {0, 248, 97, 35}, "Join Now", 0x00A5DFF8, 0x0000E100, framework::clBlack, 6},
        {form->fb9, {0, 288, 97, 35}, "Play", 0x00A5DFF8, 0x0000E100, framework::clBlack, 7},
        {form->fb8, {16, 8, 65, 19}, "Save As", 0x00A5DFF8, 0x00F8F9D9, 0x00A00000, 1},
    };
    for (const Expected &e : all) {
        SCOPED_TRACE(e.caption);
        EXPECT_EQ(e.b->geometry(), e.bounds);
        EXPECT_EQ(e.b->Caption(), QString::fromLatin1(e.caption));
        EXPECT_EQ(e.b->Color(), e.color);
        EXPECT_EQ(e.b->ColorFocused(), e.focused);
        EXPECT_EQ(e.b->ColorBorder(), e.border);
        if (e.tabOrder >= 0) {
            EXPECT_EQ(e.b->TabOrder(), e.tabOrder);
        }
    }
    EXPECT_EQ(form->fb10->parentWidget(), bar);
    EXPECT_EQ(form->fb10->ColorHighLight(), 0x00FF2020u);
    EXPECT_EQ(form->fb11->ColorShadow(), 0x00A69B3Cu);
    EXPECT_EQ(form->fb11->ColorDown(), 0x0037FF37u);
    EXPECT_EQ(form->fb1->Layout(), flat::blGlyphLeft);
    EXPECT_EQ(form->fb1->Font().Name, QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(form->fb8->Font().Style, framework::TFontStyles(framework::fsBold));
}

TEST_F(MainWindowTest, PopupMenuHoldsTheItemsInOrder)
{
    const framework::TMenuItem *items = form->Pop1->Items();
    QStringList c;
    for (int i = 0; i < items->Count(); ++i)
        c << items->Items(i)->Caption();
    EXPECT_EQ(c, (QStringList{"Add Movie", "Add File Folder", "-", "Move up", "Move down", "-", "Delete Files",
                              "Delete All", "-", "About", "Merge Movie Now", "Join as One Movie",
                              "Play Seclected Movie", "Play joined Movie"}));
    ASSERT_EQ(form->About1->Count(), 1);
    EXPECT_EQ(form->About1->Items(0)->Caption(), QStringLiteral("Help"));

    add({"/m/a.mpg", "/m/b.mpg"});
    form->Lv1->SetSelectedIndex(1);
    form->Moveup1->Click();
    EXPECT_EQ(captions(), Shown(QStringList{"/m/b.mpg", "/m/a.mpg"}));
    form->Play1->Click();
    EXPECT_EQ(shell.files, Shown(QStringList{"/m/b.mpg"}));
    form->DeleteAll1->Click();
    EXPECT_EQ(form->Lv1->Count(), 0);
}

TEST_F(MainWindowTest, ARightClickInTheListOpensItsMenu)
{
    form->show();
    QStringList shown;
    QTimer::singleShot(0, [&] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            for (QAction *a : popup->actions())
                shown << a->text();
            popup->close();
        }
    });
    QWidget *viewport = form->Lv1->View()->viewport();
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20), viewport->mapToGlobal(QPoint(20, 20)));
    QCoreApplication::sendEvent(viewport, &click);
    EXPECT_EQ(shown.size(), 14);
    EXPECT_TRUE(shown.contains(QStringLiteral("Play Seclected Movie")));
}

TEST_F(MainWindowTest, ScreenReadersFindEveryControlByItsName)
{
    auto of = [](QObject *w) { return QAccessible::queryAccessibleInterface(w); };
    QStringList buttons;
    for (flat::TFlatButton *b :
         {form->fb1, form->fb2, form->fb3, form->fb4, form->fb5, form->fb6, form->fb7, form->fb9, form->fb8}) {
        EXPECT_EQ(of(b)->role(), QAccessible::Button);
        EXPECT_TRUE(of(b)->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        buttons << of(b)->text(QAccessible::Name);
    }
    EXPECT_EQ(buttons, (QStringList{"Add Movie", "Add Folder", "Move up", "Move down", "Delete", "Del All", "Join Now",
                                    "Play", "Save As"}));
    EXPECT_EQ(of(form->fb10)->text(QAccessible::Name), QStringLiteral("Close"));
    EXPECT_EQ(of(form->fb11)->text(QAccessible::Name), QStringLiteral("Minimize"));
    EXPECT_EQ(of(form->Image1)->role(), QAccessible::Link);
    EXPECT_EQ(of(form->Image1)->text(QAccessible::Name), QStringLiteral("Help"));
    EXPECT_EQ(of(form->Image4)->role(), QAccessible::Link);
    EXPECT_EQ(of(form->FpBar1)->role(), QAccessible::ProgressBar);
    EXPECT_NE(of(form->FpBar1)->valueInterface(), nullptr);
    EXPECT_EQ(of(form->Lv1->View())->text(QAccessible::Name), QStringLiteral("Movie List"));
    EXPECT_EQ(of(form->Fc1->EditHandle())->text(QAccessible::Name), QStringLiteral("Output file"));
    // Every control is reachable from the window, as a screen reader walks it.
    QList<QAccessibleInterface *> todo{of(form.get())};
    int found = 0;
    while (!todo.isEmpty()) {
        QAccessibleInterface *i = todo.takeLast();
        found += i->object() == form->fb7 || i->object() == form->Fpbar2 || i->object() == form->Image4;
        for (int c = 0; c < i->childCount(); ++c)
            todo << i->child(c);
    }
    EXPECT_EQ(found, 3);
}

TEST_F(MainWindowTest, AddMovieAppendsInDialogOrderAndRemembersFolderAndExtension)
{
    dialogs.openAnswers = {{"/clips/x.mp3", "/clips/b.mpg", "/other/c.mpg"}};
    form->fb1Click(form->fb1);
    EXPECT_EQ(captions(), Shown(QStringList{"/clips/x.mp3", "/clips/b.mpg", "/other/c.mpg"}));
    EXPECT_EQ(icons(), (QList<int>{0, 0, 0}));
    EXPECT_EQ(form->OpenPath, Name("/other/"));
    EXPECT_EQ(form->OD1.InitialDir, Name("/other/"));
    EXPECT_EQ(form->SD1.DefaultExt, QStringLiteral("mp3"));

    // The first item decides the extension, not the files just added.
    dialogs.openAnswers = {{"/n/d.MPG"}};
    form->fb1Click(form->fb1);
    EXPECT_EQ(form->SD1.DefaultExt, QStringLiteral("mp3"));
    EXPECT_EQ(form->OpenPath, Name("/n/"));

    const platform::OpenDialogRequest &r = dialogs.openRequests.front();
    ASSERT_EQ(r.Filters.size(), 6u);
    EXPECT_EQ(r.Filters[0].Description, QStringLiteral("MPG,MPEG,M2V"));
    EXPECT_EQ(r.Filters[1].Patterns, (QStringList{"*.mp3", "*.mp2", "*.mp1"}));
    EXPECT_EQ(r.Filters[3].Description, QStringLiteral("ALL Files"));
    EXPECT_EQ(r.Filters[4].Description, QStringLiteral("MP4,M4V,MOV,M4A,MKV,WEBM,MTS,M2TS,TS,VOB"));
    EXPECT_EQ(r.Filters[5].Description, QStringLiteral("All movies and sounds"));
    EXPECT_TRUE(r.MultiSelect);
    EXPECT_EQ(dialogs.openRequests.back().InitialDir, Name("/other/"));

    // Cancelling changes nothing.
    form->fb1Click(form->fb1);
    EXPECT_EQ(form->Lv1->Count(), 4);
    EXPECT_EQ(form->OpenPath, Name("/n/"));
}

// Each folder's entries in natural order, depth first, as the scan must add them.
QStringList expectedScan(const QString &folder)
{
    QStringList out;
    std::vector<QByteArray> names;
    for (const QString &name :
         QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        names.push_back(QFile::encodeName(name));
    std::sort(names.begin(), names.end(), app::NaturalLess);
    for (const QByteArray &bytes : names) {
        const QString name = QFile::decodeName(bytes);
        const QString full = folder + name;
        if (QFileInfo(full).isDir())
            out << expectedScan(Shown(full + "/"));
        else if (app::ism(Name(name)))
            out << full;
    }
    return out;
}

TEST_F(MainWindowTest, AddFolderScansTheTreeDepthFirstWithHiddenFiles)
{
    QDir(dir.path()).mkpath("tree/sub/deeper");
    for (const char *f : {"tree/a.mpg", "tree/c.mp3", "tree/.hidden.dat", "tree/notes.txt", "tree/sub/b.dat",
                          "tree/sub/deeper/z.MPEG", "tree/sub/e.mp4"})
        WriteBytes(path(QString::fromLatin1(f)), "x");
#ifndef _WIN32
    // A link back to the top must not make the scan run forever.
    ASSERT_EQ(
        ::symlink(QFile::encodeName(path("tree")).constData(), QFile::encodeName(path("tree/sub/loop")).constData()),
        0);
#endif
    dialogs.folderAnswers = {path("tree")};
    form->fb2Click(form->fb2);
    settle();
    ASSERT_EQ(dialogs.folderTitles, QStringList{"Select  File Folder"});
    const QStringList got = captions();
    EXPECT_EQ(got.size(), 6);
    EXPECT_TRUE(got.contains(path("tree/.hidden.dat")));
    EXPECT_TRUE(got.contains(path("tree/sub/e.mp4")));
    EXPECT_TRUE(got.contains(path("tree/sub/deeper/z.MPEG")));
    // The link names the top folder, already entered, so it adds nothing.
    QStringList expected = expectedScan(path("tree/"));
    expected.removeIf([](const QString &p) { return p.contains(Shown("/loop/")); });
    EXPECT_EQ(got, expected);
    EXPECT_EQ(icons(), QList<int>(6, 0));

    // A cancelled browser adds nothing; a missing folder adds nothing.
    form->fb2Click(form->fb2);
    settle();
    dialogs.folderAnswers = {path("missing")};
    form->fb2Click(form->fb2);
    settle();
    EXPECT_EQ(form->Lv1->Count(), 6);
}

TEST_F(MainWindowTest, DropsAddAcceptedNamesInTheShellsOrder)
{
    const QString longName = QStringLiteral("/clips/") + QString(300, QChar('n')) + QStringLiteral(".mpg");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile("/d/one.mpg"), QUrl::fromLocalFile("/d/two.txt"),
                  QUrl::fromLocalFile("/d/three.DAT"), QUrl::fromLocalFile(longName)});
    QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.get(), &drop);
    // A long name is kept whole.
    EXPECT_EQ(captions(), Shown(QStringList{"/d/one.mpg", "/d/three.DAT", longName}));
    EXPECT_EQ(icons(), (QList<int>{0, 0, 0}));
}

TEST_F(MainWindowTest, MoveUpAndDownMoveCaptionsAndKeepIcons)
{
    add({"a", "b", "c"});
    form->Lv1->SetItemImageIndex(0, 1); // a has been joined
    form->Lv1->SetSelectedIndex(0);
    form->fb3Click(form->fb3); // first item up: nothing
    EXPECT_EQ(captions(), (QStringList{"a", "b", "c"}));
    form->fb4Click(form->fb4);
    EXPECT_EQ(captions(), (QStringList{"b", "a", "c"}));
    EXPECT_EQ(icons(), (QList<int>{1, 0, 0}));
    EXPECT_EQ(form->Lv1->SelectedIndex(), 1);
    form->fb4Click(form->fb4);
    form->fb4Click(form->fb4); // last item down: nothing
    EXPECT_EQ(captions(), (QStringList{"b", "c", "a"}));
    EXPECT_EQ(form->Lv1->SelectedIndex(), 2);
    form->fb3Click(form->fb3);
    EXPECT_EQ(captions(), (QStringList{"b", "a", "c"}));
    EXPECT_EQ(form->Lv1->SelectedIndex(), 1);

    // Without a selection nothing moves or goes.
    form->Lv1->SetSelectedIndex(-1);
    form->fb3Click(form->fb3);
    form->fb5Click(form->fb5);
    EXPECT_EQ(captions(), (QStringList{"b", "a", "c"}));
    form->Play1Click(form->Play1);
    EXPECT_TRUE(shell.files.isEmpty());

    form->Lv1->SetSelectedIndex(1);
    form->fb5Click(form->fb5);
    EXPECT_EQ(captions(), (QStringList{"b", "c"}));
    form->DeleteAll1Click(form->fb6);
    EXPECT_EQ(form->Lv1->Count(), 0);
}

TEST_F(MainWindowTest, JoinNeedsTwoItemsAndAName)
{
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->SetOutputName(Name(path("out.mpg")));
    // Before, nothing showed why nothing happened: by key on an empty list,
    // by a click with one movie.
    QTest::keyClick(form->Lv1->View(), Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(framework::Application().Notice());
    EXPECT_EQ(framework::Application().Notice()->Caption(), QStringLiteral("Add movies first"));
    framework::Application().HideNotice();
    add({path("a.mpg")});
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    settle();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(QFile::exists(path("out.mpg")));
    ASSERT_TRUE(framework::Application().Notice());
    EXPECT_EQ(framework::Application().Notice()->Caption(), QStringLiteral("Add movies first"));

    add({path("b.mpg")});
    form->SetOutputName({});
    form->fb7Click(form->fb7);
    settle();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("OOOoooh! Should be have a Filename."));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Filename Error"));
    EXPECT_EQ(boxes.shown[0].icon, platform::MsgIcon::None);
}

TEST_F(MainWindowTest, JoinThroughTheWindowWritesTheConcatenationAndMarksEveryItem)
{
    QByteArray all;
    const qsizetype sizes[] = {0, 4097, 10000, 1};
    for (int i = 0; i < 4; ++i) {
        const QByteArray b = Pattern(sizes[i], i);
        WriteBytes(path(QStringLiteral("in%1.dat").arg(i)), b);
        add({path(QStringLiteral("in%1.dat").arg(i))});
        all += b;
    }
    WriteBytes(path("out.mpg"), "old content that must go");
    form->SetOutputName(Name(path("out.mpg")));
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    settle();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(ReadBytes(path("out.mpg")), all);
    EXPECT_EQ(icons(), (QList<int>{1, 1, 1, 1}));
    EXPECT_EQ(form->FpBar1->Position(), 0);
    EXPECT_EQ(form->FpBar1->Max(), 4);
    EXPECT_EQ(form->Fpbar2->Position(), 0);
    EXPECT_EQ(form->Fpbar2->Max(), 1);

    // A second join resets the icons first and gives the same output.
    form->Session().Append({Name(path("in1.dat"))});
    form->MergeMovieNow1->Click();
    settle();
    EXPECT_EQ(ReadBytes(path("out.mpg")), all + Pattern(4097, 1));
}

TEST_F(MainWindowTest, AFailedJoinShowsTheErrorNamingTheFile)
{
    WriteBytes(path("a.mpg"), Pattern(5000, 1));
    add({path("a.mpg"), path("gone.mpg"), path("a.mpg")});
    form->Lv1->SetItemImageIndex(2, 1);
    form->SetOutputName(Name(path("out.mpg")));
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    settle();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("File not found."));
    EXPECT_EQ(boxes.shown[0].details, path("gone.mpg")) << "the box names the file beneath the message";
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Zantrope"));
    EXPECT_EQ(boxes.shown[0].icon, platform::MsgIcon::Stop);
    EXPECT_FALSE(QFile::exists(path("out.mpg"))) << "a missing input is refused before the output is made";
    EXPECT_FALSE(form->Joining());

    // An output in a missing folder fails before anything is written. The
    // last join's ticks and a part-filled bar went before, so they do not
    // stand for this one; before, they stayed.
    ASSERT_TRUE(form->Session().Remove(1));
    form->Lv1->SetItemImageIndex(1, 1);
    form->Fpbar2->SetPosition(form->Fpbar2->Max() / 2);
    form->SetOutputName(Name(path("nofolder/out.mpg")));
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    settle();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("Invalid filename."));
    EXPECT_EQ(icons(), (QList<int>{0, 0}));
    EXPECT_EQ(form->Fpbar2->Position(), 0);
}

TEST_F(MainWindowTest, AnOutputThatIsOneOfTheInputsIsRefusedBeforeAnythingIsTouched)
{
    const QByteArray a = Pattern(9000, 3);
    WriteBytes(path("a.mpg"), a);
    WriteBytes(path("b.mpg"), "b");
    add({path("b.mpg"), path("a.mpg")});
    form->SetOutputName(Name(dir.path() + "/./sub/../a.mpg"));
    QDir(dir.path()).mkdir("sub");
    form->fb7Click(form->fb7);
    settle();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Filename Error"));
    EXPECT_TRUE(boxes.shown[0].text.contains(path("a.mpg")));
    EXPECT_EQ(ReadBytes(path("a.mpg")), a);
}

TEST_F(MainWindowTest, CommandsThatChangeTheListAreRefusedWhileAJoinRuns)
{
    QByteArray all;
    for (int i = 0; i < 3; ++i) {
        const QByteArray b = Pattern(400000, i);
        WriteBytes(path(QStringLiteral("%1.mpg").arg(i)), b);
        add({path(QStringLiteral("%1.mpg").arg(i))});
        all += b;
    }
    form->SetOutputName(Name(path("out.mpg")));
    dialogs.openAnswers = {{path("late.mpg")}};
    dialogs.saveAnswers = {path("other.mpg")};
    form->fb7Click(form->fb7);
    // The join runs on; the window takes the person's commands meanwhile.
    const bool ranDuringJoin = form->Joining();
    form->Lv1->SetSelectedIndex(0);
    form->fb1Click(form->fb1);
    form->fb4Click(form->fb4);
    form->fb5Click(form->fb5);
    form->DeleteAll1Click(form->fb6);
    form->fb8Click(form->fb8);
    boxes.answers = {1};
    form->fb7Click(form->fb7); // a second join: asks whether to stop, and No goes on
    form->WMDROPFILES({Name(path("dropped.mpg"))});
    settle();
    EXPECT_TRUE(ranDuringJoin);
    EXPECT_EQ(form->Lv1->Count(), 3);
    EXPECT_EQ(ReadBytes(path("out.mpg")), all);
    EXPECT_EQ(form->Fc1->Text(), path("out.mpg"));
    EXPECT_TRUE(dialogs.openRequests.empty());
    EXPECT_TRUE(dialogs.saveRequests.empty());
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text, QStringLiteral("Stop joining?"));
    // Afterwards the commands work again.
    form->DeleteAll1Click(form->fb6);
    EXPECT_EQ(form->Lv1->Count(), 0);
}

TEST_F(MainWindowTest, ClosingDuringAJoinSavesAtOnceAndEndsAfterTheJoin)
{
    for (int i = 0; i < 2; ++i) {
        WriteBytes(path(QStringLiteral("%1.mpg").arg(i)), Pattern(400000, i));
        add({path(QStringLiteral("%1.mpg").arg(i))});
    }
    form->show();
    form->SetOutputName(Name(path("out.mpg")));
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    form->close();
    const QByteArray savedDuringJoin = ReadBytes(path("misuc.dat"));
    const bool stillOpenDuringJoin = form->isVisible();
    settle();
    EXPECT_TRUE(savedDuringJoin.contains("Saven=" + QFile::encodeName(path("out.mpg"))));
    EXPECT_TRUE(stillOpenDuringJoin);
    EXPECT_EQ(ReadBytes(path("out.mpg")).size(), 800000);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainWindowTest, SaveAsPlayHelpAndWebPage)
{
    dialogs.saveAnswers = {path("joined.mpg"), QString(), path("joined.mpg")};
    form->fb8Click(form->fb8);
    EXPECT_EQ(form->Fc1->Text(), path("joined.mpg"));
    EXPECT_EQ(dialogs.saveRequests[0].DefaultExt, QStringLiteral("mpg"));
    form->fb8Click(form->fb8); // cancelled
    EXPECT_EQ(form->Fc1->Items(), QStringList{path("joined.mpg")});
    form->fb8Click(form->fb8);
    // The list holds recent outputs: a name chosen again is listed once.
    EXPECT_EQ(form->Fc1->Items(), QStringList{path("joined.mpg")});
    EXPECT_EQ(dialogs.saveRequests[2].FileName, Name(path("joined.mpg")));

    // The help page beside the program; without one, where an install puts
    // it, or on Windows, which has no install folders, beside it all the same.
#ifdef _WIN32
    const QString beside = QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + "/readme.html");
    const QString installed = beside;
#else
    const QString beside = QCoreApplication::applicationDirPath() + "/readme.html";
    const QString installed = QCoreApplication::applicationDirPath() + "/../share/zantrope/readme.html";
#endif
    ASSERT_FALSE(QFile::exists(beside));
    form->fb9Click(form->fb9);
    QTest::mouseClick(form->Image1, Qt::LeftButton);
    WriteBytes(beside, "<html></html>");
    form->Help1->Click();
    QFile::remove(beside);
    QTest::mouseClick(form->Image4, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(shell.files, (QStringList{path("joined.mpg"), installed, beside}));
    EXPECT_EQ(shell.addresses, QStringList{app::ProductWebPage});
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindowTest, HoveringTheHelpSpotShowsItsHintInTheFlatHintWindow)
{
    HintSettings restore;
    platform::CursorOverride cursor{QPoint(0, 0)};
    framework::Application().SetMainForm(form.get());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::setActiveWindow(form.get());
    const QPoint at = form->Image1->mapToGlobal(QPoint(10, 10));
    cursor.MoveTo(at);
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(form->Image1, &move);
    framework::TApplication &app = framework::Application();
    EXPECT_EQ(app.HintTimerInterval(), 500);
    app.FireHintTimer();
    auto *window = qobject_cast<flat::TFlatHintWindow *>(app.HintWindow());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->Caption(), QStringLiteral("Help?"));
}

TEST_F(MainWindowTest, TildeMinimizesAndRestoringShowsTheListUnchanged)
{
    framework::Application().SetMainForm(form.get());
    form->show();
    add({"/m/a.mpg", "/m/b.mpg"});
    QTest::mouseClick(form->fb11, Qt::LeftButton);
    EXPECT_TRUE(form->isMinimized());
    form->showNormal();
    EXPECT_FALSE(form->isMinimized());
    EXPECT_EQ(captions(), Shown(QStringList{"/m/a.mpg", "/m/b.mpg"}));
    framework::Application().SetMainForm(nullptr);
}

TEST(ErrorBox, AppendsAFullStopOnlyWhereOneIsMissing)
{
    using framework::TApplication;
    EXPECT_EQ(TApplication::ErrorBoxText("File not found"), QStringLiteral("File not found."));
    EXPECT_EQ(TApplication::ErrorBoxText("Done."), QStringLiteral("Done."));
    EXPECT_EQ(TApplication::ErrorBoxText("Stop!"), QStringLiteral("Stop!"));
    EXPECT_EQ(TApplication::ErrorBoxText("a,"), QStringLiteral("a,"));
    EXPECT_EQ(TApplication::ErrorBoxText("x-"), QStringLiteral("x-"));
    EXPECT_EQ(TApplication::ErrorBoxText("I/O error 22"), QStringLiteral("I/O error 22."));
    EXPECT_EQ(TApplication::ErrorBoxText(""), QString());
}

TEST(ErrorBox, AnExceptionEscapingAHandlerIsShownAndTheProgramGoesOn)
{
    FakeMessageBoxes boxes;
    platform::Override<platform::MessageBoxes> m(boxes);
    framework::Application().SetTitle(QStringLiteral("Zantrope"));
    const bool ok = framework::Application().Guard([] { throw platform::EInOutError(32); });
    EXPECT_FALSE(ok);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("I/O error 32."));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Zantrope"));
    EXPECT_EQ(boxes.shown[0].icon, platform::MsgIcon::Stop);
}

} // namespace

// The menu's "Join as One Movie": a check mark the settings keep, and the
// session joins with libavformat while it is on.
TEST_F(MainWindowTest, JoinAsOneMovieIsACheckedItemThatTheSettingsKeep)
{
    HintSettings restore;
    platform::CursorOverride cursor{QPoint(0, 0)};
    framework::Application().SetMainForm(form.get());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    auto hoverJoinNow = [&] {
        // From outside, so that the hint shows anew.
        for (QWidget *to : {static_cast<QWidget *>(form.get()), static_cast<QWidget *>(form->fb7)}) {
            const QPoint at = to->mapToGlobal(QPoint(5, 5));
            cursor.MoveTo(at);
            QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(to, &move);
        }
        framework::Application().FireHintTimer();
        const framework::THintWindow *hint = framework::Application().HintWindow();
        return hint && hint->isVisible() ? hint->Caption() : QString();
    };
    // Files that are no media show that the movie join ran: it refuses them
    // before anything is written.
    WriteBytes(path("a.mpg"), "not a movie");
    WriteBytes(path("b.mpg"), "nor this");
    WriteBytes(path("out.dat"), "old");
    add({path("a.mpg"), path("b.mpg")});
    const QImage atRest = form->grab().toImage();

    EXPECT_FALSE(form->JoinasOneMovie1->Checked());
    form->JoinasOneMovie1->Click();
    EXPECT_TRUE(form->JoinasOneMovie1->Checked());
    EXPECT_EQ(form->grab().toImage(), atRest) << "the window at rest looks the same";
    // Before, nothing told the mode, which the settings keep from earlier sessions.
    EXPECT_EQ(hoverJoinNow(), QStringLiteral("Join as one movie: 2 clips"));
    EXPECT_TRUE(form->ProgressHint().startsWith(QStringLiteral("Join as one movie: 2 clips\n2 files \u00b7 ")))
        << form->ProgressHint().toStdString();
    form->JoinasOneMovie1->Click();
    EXPECT_EQ(hoverJoinNow(), QStringLiteral("Join byte for byte: 2 files"));
    form->JoinasOneMovie1->Click();
    framework::Application().SetMainForm(nullptr);
    form->SetOutputName(Name(path("out.dat")));
    QTest::mouseClick(form->fb7, Qt::LeftButton);
    settle();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("a.mpg is not a movie")))
        << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("\"Join as One Movie\" is checked in the list's menu; "
                                                            "uncheck it to join the files byte for byte.")))
        << "the refusal names the mode and how to switch it off";
    EXPECT_EQ(form->OutputName(), Name(path("out.mpg"))) << "one movie is a program stream";
    EXPECT_EQ(ReadBytes(path("out.dat")), QByteArray("old"));

    form->close();
    EXPECT_TRUE(ReadBytes(path("misuc.dat")).contains("[join]\r\nOneMovie=1\r\n"));
    app::TForm1 next(Name(path("misuc.dat")));
    EXPECT_TRUE(next.JoinasOneMovie1->Checked());
}
