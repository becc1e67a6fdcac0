// SPDX-License-Identifier: GPL-3.0-or-later
// The main window through the real Qt parts a person meets: the program's
// own file dialog driven in-process, the list view's selection, drops of
// real mime data onto the widgets, and a scan closed half-way. Only the
// message boxes stand in for the person.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "WindowTest.h"
#include "framework/TApplication.h"
#include "window/MainWindow.h"

using app::TForm1;

namespace {

// Runs act on the file dialog the program opens next, once it is the active
// modal window; rejects it after a while so that a test never hangs on it.
void WhenDialogOpens(std::function<void(QFileDialog *)> act)
{
    auto *poll = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, [poll, act, started] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog && started->elapsed() < 5000)
            return;
        poll->stop();
        poll->deleteLater();
        if (dialog) {
            act(dialog);
            if (dialog->isVisible())
                dialog->reject();
        }
    });
    poll->start(10);
}

// The names the dialog's file view shows now, folders marked with "/".
QStringList Shown(QFileDialog *dialog)
{
    auto *view = dialog->findChild<QListView *>(QStringLiteral("listView"));
    QStringList names;
    const QAbstractItemModel *model = view->model();
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
        const QModelIndex index = model->index(row, 0, view->rootIndex());
        names << index.data().toString() + (model->hasChildren(index) ? QStringLiteral("/") : QString());
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

// Types into the dialog's file-name box as a person does, with the dialog
// active and the box focused, then presses Return.
void TypeInto(QFileDialog *dialog, const QString &text)
{
    dialog->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    edit->setFocus();
    for (const QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(edit, char(c.unicode()));
        else // beyond what key codes name: a key event carrying the character
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QTest::keyClick(edit, Qt::Key_Return);
}

// Waits until the view shows what it should; the file system model fills in
// the background.
QStringList ShownOnceSettled(QFileDialog *dialog, const QStringList &expected)
{
    QStringList names;
    for (int i = 0; i < 200 && (names = Shown(dialog)) != expected; ++i)
        QTest::qWait(10);
    return names;
}

class WindowSeamsTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        form->show();
    }
    QWidget *viewport() const { return form->Lv1->View()->viewport(); }
    void clickItem(int row)
    {
        QTreeWidget *view = form->Lv1->View();
        const QRect r = view->visualItemRect(view->topLevelItem(row));
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, r.center());
    }
};

} // namespace

TEST_F(WindowSeamsTest, EachFilterOfTheOpenDialogShowsExactlyItsFilesWhateverTheCase)
{
    QDir(dir.path()).mkpath(QStringLiteral("clips/sub"));
    for (const char *f :
         {"a.mpg", "B.MPEG", "c.m2v", "d.mp3",  "E.MP2", "f.mp1",  "g.dat", "h.DAT", "i.mp4",     "J.MOV",
          "k.M4v", "l.m4a",  "m.mkv", "N.WEBM", "o.Mts", "p.m2ts", "q.TS",  "R.vob", "notes.txt", "noext"})
        WriteBytes(path(QStringLiteral("clips/") + QString::fromLatin1(f)), "x");
    form->OD1.InitialDir = Name(path("clips"));
    const QStringList video{"a.mpg", "B.MPEG", "c.m2v", "sub/"}, audio{"d.mp3", "E.MP2", "f.mp1", "sub/"},
        dat{"g.dat", "h.DAT", "sub/"},
        containers{"i.mp4", "J.MOV", "k.M4v", "l.m4a", "m.mkv", "N.WEBM", "o.Mts", "p.m2ts", "q.TS", "R.vob", "sub/"},
        all{"a.mpg", "B.MPEG", "c.m2v",  "d.mp3", "E.MP2",     "f.mp1", "g.dat",  "h.DAT", "i.mp4", "J.MOV", "k.M4v",
            "l.m4a", "m.mkv",  "N.WEBM", "noext", "notes.txt", "o.Mts", "p.m2ts", "q.TS",  "R.vob", "sub/"},
        accepted{"a.mpg", "B.MPEG", "c.m2v", "d.mp3",  "E.MP2", "f.mp1",  "g.dat", "h.DAT", "i.mp4", "J.MOV",
                 "k.M4v", "l.m4a",  "m.mkv", "N.WEBM", "o.Mts", "p.m2ts", "q.TS",  "R.vob", "sub/"};
    const QList<QStringList> byEntry{video, audio, dat, all, containers, accepted};

    QList<QStringList> seen;
    QStringList entries;
    WhenDialogOpens([&](QFileDialog *dialog) {
        auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; i < types->count(); ++i)
            entries << types->itemText(i);
        seen << ShownOnceSettled(dialog, video);
        // Down to the last, up to the first, then the third: as a person switches.
        for (int entry : {1, 2, 3, 4, 5, 0, 2}) {
            while (types->currentIndex() != entry)
                QTest::keyClick(types, entry > types->currentIndex() ? Qt::Key_Down : Qt::Key_Up);
            seen << ShownOnceSettled(dialog, byEntry[entry]);
        }
    });
    form->fb1Click(form->fb1);
    EXPECT_EQ(entries, (QStringList{"MPG,MPEG,M2V", "Mp3,Mp2,MP1", "Dat", "ALL Files",
                                    "MP4,M4V,MOV,M4A,MKV,WEBM,MTS,M2TS,TS,VOB", "All movies and sounds"}));
    EXPECT_EQ(seen, (QList<QStringList>{video, audio, dat, all, containers, accepted, video, dat}));
}

TEST_F(WindowSeamsTest, TypedNamesComeBackInTypedOrderEvenWhenTheFilterHidesThem)
{
    QDir(dir.path()).mkdir(QStringLiteral("clips"));
    for (const char *f : {"a.mpg", "b.mpg", "c.mpg", "notes.txt"})
        WriteBytes(path(QStringLiteral("clips/") + QString::fromLatin1(f)), "x");
    form->OD1.InitialDir = Name(path("clips"));
    for (int attempt = 0; attempt < 3; ++attempt) {
        WhenDialogOpens([&](QFileDialog *dialog) {
            ShownOnceSettled(dialog, {"a.mpg", "b.mpg", "c.mpg"});
            TypeInto(dialog, QStringLiteral("\"c.mpg\" \"notes.txt\" \"a.mpg\" \"b.mpg\""));
        });
        form->fb1Click(form->fb1);
    }
    const QStringList once{path("clips/c.mpg"), path("clips/notes.txt"), path("clips/a.mpg"), path("clips/b.mpg")};
    EXPECT_EQ(captions(), once + once + once);
}

#ifndef _WIN32 // names that are not UTF-8 exist on Linux only; Windows holds UTF-16
// The dialog lists no name that is not UTF-8; a file shown there as U+FFFD
// is really named so. Its text is taken for that file only when no other
// file shows the same way.
TEST_F(WindowSeamsTest, TheDialogsTextNeverStandsForALookAlike)
{
    QDir(dir.path()).mkdir(QStringLiteral("clips"));
    const QByteArray folder = QFile::encodeName(path("clips"));
    const QByteArray real = folder + "/\xff\xfe.mpg", decoy = folder + "/\xef\xbf\xbd\xef\xbf\xbd.mpg";
    WriteBytesAt(real, "real");
    WriteBytesAt(decoy, "decoy");
    const TreeRemoval cleanup(folder);
    form->OD1.InitialDir = Name(path("clips"));
    const QStringList shown{QString::fromUtf8(decoy.mid(folder.size() + 1))};
    auto pick = [&](QFileDialog *dialog) {
        EXPECT_EQ(ShownOnceSettled(dialog, shown), shown);
        TypeInto(dialog, shown.first());
    };
    WhenDialogOpens(pick);
    QTest::mouseClick(form->fb1, Qt::LeftButton);
    EXPECT_EQ(form->Lv1->Count(), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("cannot tell which"))) << boxes.shown[0].text.toStdString();

    ::unlink(real.constData());
    WhenDialogOpens(pick);
    QTest::mouseClick(form->fb1, Qt::LeftButton);
    ASSERT_EQ(form->Lv1->Count(), 1);
    EXPECT_EQ(form->ItemName(0), platform::FileName(decoy));
}
#endif

TEST_F(WindowSeamsTest, DeleteRemovesExactlyTheSelectedItemWhereverItStands)
{
    auto fill = [&] {
        form->Session().Clear();
        for (const char *n : {"a.mpg", "b.mpg", "c.mpg", "d.mpg"})
            form->Session().Append({Name(QString::fromLatin1(n))});
    };
    struct Case {
        int row;
        QStringList left;
        int selectedAfter;
    };
    for (const Case &c : {Case{3, {"a.mpg", "b.mpg", "c.mpg"}, 2}, Case{0, {"b.mpg", "c.mpg", "d.mpg"}, 0},
                          Case{1, {"a.mpg", "c.mpg", "d.mpg"}, 1}}) {
        fill();
        clickItem(c.row);
        QTest::mouseClick(form->fb5, Qt::LeftButton);
        EXPECT_EQ(captions(), c.left) << "row " << c.row;
        EXPECT_EQ(form->Lv1->SelectedIndex(), c.selectedAfter) << "row " << c.row;
    }
    // Items selected apart (as a drag leaves them, or a program) go together, and only they.
    fill();
    form->Lv1->View()->topLevelItem(0)->setSelected(true);
    form->Lv1->View()->topLevelItem(2)->setSelected(true);
    QTest::mouseClick(form->fb5, Qt::LeftButton);
    EXPECT_EQ(captions(), (QStringList{"b.mpg", "d.mpg"}));
    EXPECT_EQ(form->Lv1->SelectedIndex(), 0);
    // Repeated clicks take one item each, the menu's "Delete Files" too, down to none.
    fill();
    clickItem(1);
    QTest::mouseClick(form->fb5, Qt::LeftButton);
    form->DelFile1->Click();
    EXPECT_EQ(captions(), (QStringList{"a.mpg", "d.mpg"}));
    QTest::mouseClick(form->fb5, Qt::LeftButton);
    EXPECT_EQ(captions(), QStringList{"a.mpg"});
    QTest::mouseClick(form->fb5, Qt::LeftButton);
    EXPECT_EQ(form->Lv1->Count(), 0);
    QTest::mouseClick(form->fb5, Qt::LeftButton);
}

TEST_F(WindowSeamsTest, AFileDropAnywhereAddsFilesAndNeverText)
{
    const QString outputName = form->Fc1->Text();
    QWidget *edit = form->Fc1->findChild<QLineEdit *>();
    ASSERT_NE(edit, nullptr);
    int n = 0;
    for (QWidget *target : {edit, viewport(), static_cast<QWidget *>(form->fb7), static_cast<QWidget *>(form.get())}) {
        QMimeData mime;
        const QString file = path(QStringLiteral("drop%1.mpg").arg(n++));
        mime.setUrls({QUrl::fromLocalFile(file), QUrl::fromLocalFile(path("skip.txt"))});
        mime.setText(QUrl::fromLocalFile(file).toString() + QStringLiteral("\r\n")); // as file managers send
        EXPECT_NE(DropOnto(target, mime), Qt::IgnoreAction) << target->metaObject()->className();
        EXPECT_EQ(captions().last(), file);
    }
    EXPECT_EQ(form->Lv1->Count(), 4);
    EXPECT_EQ(form->Fc1->Text(), outputName);

    // Text alone may go into the output box, but never a line break: typed, pasted or dropped.
    auto *box = form->Fc1->EditHandle();
    box->clear();
    QMimeData text;
    text.setText(QStringLiteral("/tmp/a\r\n"));
    DropOnto(box, text);
    QApplication::clipboard()->setText(QStringLiteral("b.mpg\n"));
    box->setFocus();
    box->end(false);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(form->Fc1->Text(), QStringLiteral("/tmp/ab.mpg"));
}

#ifndef _WIN32 // names that are not UTF-8 exist on Linux only; Windows holds UTF-16
// Names that are not UTF-8 come in as bytes from a scan, a drop and the
// settings file, and the join opens exactly those files, never a file whose
// name is their readable spelling.
TEST_F(WindowSeamsTest, NamesThatAreNoTextAreJoinedAsTheirOwnBytes)
{
    const QByteArray top = QFile::encodeName(dir.path());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("in")));
    WriteBytesAt(top + "/in/\xff\xfe.mpg", "REAL");
    WriteBytesAt(top + "/in/\xef\xbf\xbd\xef\xbf\xbd.mpg", "DECOY"); // shows the same
    WriteBytesAt(top + "/in/plain.mpg", "PLAIN");
    WriteBytesAt(top + "/\xfe\xff.mpg", "DROP");
    const TreeRemoval cleanup(top);
    const QByteArray output = top + "/\xe9t\xe9.mpg"; // Latin-1
    WriteBytes(path("misuc.dat"), "[txt]\r\nSaven=" + output + "\r\n");
    form = std::make_unique<TForm1>(Name(path(QStringLiteral("misuc.dat"))));
    form->show();

    form->searchnews(platform::FileName(top + "/in/"));
    settle();
    QMimeData mime;
    mime.setUrls({QUrl::fromEncoded("file://" + (top + "/\xfe\xff.mpg").toPercentEncoding("/"))});
    DropOnto(viewport(), mime);
    ASSERT_EQ(form->Lv1->Count(), 4) << captions().join(QLatin1Char('|')).toStdString();
    QByteArray expected;
    QByteArrayList contents;
    for (int i = 0; i < 4; ++i) {
        contents << ReadBytesAt(form->ItemName(i).Bytes());
        expected += contents.last();
    }
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (QByteArrayList{"DECOY", "DROP", "PLAIN", "REAL"}));

    QTest::mouseClick(form->fb7, Qt::LeftButton);
    settle();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(ReadBytesAt(output), expected);
    EXPECT_EQ(ReadBytesAt(top + "/\xef\xbf\xbdt\xef\xbf\xbd.mpg"), QByteArray("<unreadable>"))
        << "the output's look-alike is not written";
}
#endif

TEST_F(WindowSeamsTest, ClosingDuringAFolderScanSavesStopsTheScanAndCloses)
{
    QDir(dir.path()).mkdir(QStringLiteral("tree"));
    for (int i = 0; i < 300; ++i)
        WriteBytes(path(QStringLiteral("tree/%1.mpg").arg(i)), "x");
    form->searchnews(Name(path("tree/")));
    form->close();
    const QByteArray savedDuringScan = ReadBytes(path("misuc.dat"));
    settle();
    EXPECT_TRUE(savedDuringScan.contains("[form1]")) << savedDuringScan.constData();
    EXPECT_EQ(form->Lv1->Count(), 0) << "nothing joins the list after the window closed";
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Scanning());
}

#ifndef _WIN32 // names that are not UTF-8 exist on Linux only; Windows holds UTF-16
// In-place editing through the list's own editor: F2, type, Return.
TEST_F(WindowSeamsTest, AnEditedCaptionStandsForTheFileItNames)
{
    const QByteArray folder = QFile::encodeName(dir.path());
    const TreeRemoval cleanup(folder + "/in");
    QDir(dir.path()).mkdir(QStringLiteral("in"));
    WriteBytesAt(folder + "/in/\xff\xfe.mpg", "real");
    WriteBytesAt(folder + "/in/\xef\xbf\xbd\xef\xbf\xbd.mpg", "decoy");
    form->WMDROPFILES({platform::FileName(folder + "/in/\xff\xfe.mpg")});
    auto edit = [&](const std::function<void(QLineEdit *)> &change) {
        form->Lv1->SetSelectedIndex(0);
        QTest::keyClick(form->Lv1->View(), Qt::Key_F2);
        auto *editor = form->Lv1->View()->findChild<QLineEdit *>();
        ASSERT_NE(editor, nullptr);
        change(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::qWait(20); // the edit is taken once the editor has closed
    };
    edit([](QLineEdit *) {}); // left as it was: the same file
    EXPECT_EQ(form->ItemName(0), platform::FileName(folder + "/in/\xff\xfe.mpg"));
    edit([](QLineEdit *e) {
        // The same folder spelt otherwise: its last part now shows as both files.
        e->setCursorPosition(int(e->text().lastIndexOf(QLatin1Char('/'))));
        QTest::keyClicks(e, QStringLiteral("/."));
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.shown.size() == 1u; }, 5000)); // slow under ThreadSanitizer
    EXPECT_EQ(form->ItemName(0), platform::FileName(folder + "/in/\xff\xfe.mpg"));
    edit([](QLineEdit *e) {
        e->selectAll();
        QTest::keyClicks(e, QStringLiteral("/clips/other.mpg"));
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->ItemName(0) == platform::FileName("/clips/other.mpg"); }, 5000));
    EXPECT_EQ(form->Lv1->ItemCaption(0), QStringLiteral("/clips/other.mpg"));
}
#endif

TEST_F(WindowSeamsTest, TheCommandLineAddsFilesAsADropAndFoldersAsAddFolder)
{
    QDir(dir.path()).mkpath(QStringLiteral("clips/sub"));
    for (const char *f : {"clips/a.mpg", "clips/notes.txt", "clips/sub/b.dat", "one.MP3", "skip.txt"})
        WriteBytes(path(QString::fromLatin1(f)), "x");
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    form->AddFromCommandLine(
        {platform::FileName("one.MP3"), platform::FileName("skip.txt"), platform::FileName("clips")});
    QDir::setCurrent(before);
    settle();
    // In natural order, as a folder's names: the folder's files, then one.MP3;
    // made absolute as the system writes names.
    auto shown = [&](const char *name) { return QDir::toNativeSeparators(path(QString::fromLatin1(name))); };
    EXPECT_EQ(captions(), (QStringList{shown("clips/a.mpg"), shown("clips/sub/b.dat"), shown("one.MP3")}));
}
