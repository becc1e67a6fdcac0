// SPDX-License-Identifier: GPL-3.0-or-later
// The form description of the main window: its components in creation
// order, each one's stored values through its setters, then Loaded(); and
// the wiring of every control and menu item to its handler.
#include "window/MainWindow.h"

#include <QShortcut>

#include "core/PathRules.h"
#include "framework/TApplication.h"
#include "framework/TImageList.h"

namespace app {

using namespace framework;

namespace {

flat::TFlatButton *flatButton(QWidget *parent, const char *name, const QRect &bounds)
{
    auto *b = new flat::TFlatButton(parent);
    b->setObjectName(QLatin1String(name));
    b->BeginLoading();
    b->SetBounds(bounds.x(), bounds.y(), bounds.width(), bounds.height());
    return b;
}

} // namespace

void TForm1::CreateComponents()
{
    BeginLoading();
    // The form itself.
    SetBounds(46, 103, 566, 439);
    setFixedSize(566, 439);
    SetColor(clBlack);
    TFont formFont;
    formFont.Name = QStringLiteral("MS Sans Serif");
    formFont.Height = -11;
    SetFont(formFont);
    setWindowTitle(Application().Title().isEmpty() ? QStringLiteral("Zantrope") : Application().Title());

    // Own title bar with the minimize and close buttons; no desktop frame.
    SetBorderStyleNone();
    FlatTitlebar1 = new flat::TFlatTitlebar(this);
    FlatTitlebar1->setObjectName(QStringLiteral("FlatTitlebar1"));
    FlatTitlebar1->SetBounds(0, 0, 566, 21);
    FlatTitlebar1->SetActiveTextColor(clWhite);
    FlatTitlebar1->SetInactiveTextColor(clYellow);
    FlatTitlebar1->SetTitlebarColor(clNavy);
    FlatTitlebar1->SetAlign(alTop);
    TFont titleFont;
    titleFont.Name = QStringLiteral("Verdana");
    titleFont.Height = -11;
    titleFont.Style = fsBold;
    titleFont.Charset = ANSI_CHARSET;
    FlatTitlebar1->SetFont(titleFont);
    FlatTitlebar1->SetCaption(QStringLiteral("Zantrope"));

    fb10 = flatButton(FlatTitlebar1, "fb10", QRect(536, 2, 25, 17));
    fb10->SetColor(clSilver);
    fb10->SetColorFocused(0x00F8F9D9);
    fb10->SetColorDown(0x00A5DFF8);
    fb10->SetColorBorder(0x00DDDDDD);
    fb10->SetColorHighLight(0x00FF2020);
    fb10->SetColorShadow(0x00FF2020);
    fb10->SetCaption(QStringLiteral("X"));
    fb10->SetTabOrder(0);
    fb11 = flatButton(FlatTitlebar1, "fb11", QRect(509, 2, 25, 17));
    fb11->SetColor(clSilver);
    fb11->SetColorFocused(0x00F8F9D9);
    fb11->SetColorDown(0x0037FF37);
    fb11->SetColorBorder(0x00DDDDDD);
    fb11->SetColorHighLight(0x00A69B3C);
    fb11->SetColorShadow(0x00A69B3C);
    fb11->SetCaption(QStringLiteral("~"));
    fb11->SetTabOrder(1);

    // Banner.
    Panel1 = new TPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->SetBounds(0, 21, 566, 57);
    Panel1->SetAlign(alTop);
    Panel1->SetColor(0x00C08080);
    Panel1->SetShowCaption(false);
    Ima1 = new TImage(Panel1);
    Ima1->setObjectName(QStringLiteral("Ima1"));
    Ima1->SetBounds(0, 0, 566, 57);
    Ima1->SetAlign(alClient);
    Image1 = new TImage(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->SetBounds(405, 11, 28, 27);
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->SetShowHint(true);
    Image1->SetHint(QStringLiteral("Help?"));
    Image1->setAccessibleName(QStringLiteral("Help"));
    Image4 = new TImage(Panel1);
    Image4->setObjectName(QStringLiteral("Image4"));
    Image4->SetBounds(518, 7, 28, 27);
    Image4->setCursor(Qt::PointingHandCursor);
    Image4->SetShowHint(true);
    Image4->SetHint(QStringLiteral("Visit the Zantrope web site"));
    Image4->setAccessibleName(QStringLiteral("Zantrope web site"));

    // Button column.
    Panel2 = new TPanel(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->SetBounds(0, 78, 97, 361);
    Panel2->SetAlign(alLeft);
    Panel2->SetBorderWidth(1);
    Panel2->SetColor(clBlack);
    Panel2->SetShowCaption(false);
    // Files finished, and bytes of the current file just above it.
    auto progressBar = [&](const char *name, int top) {
        auto *bar = new flat::TFlatProgressBar(Panel2);
        bar->setObjectName(QLatin1String(name));
        bar->BeginLoading();
        bar->SetBounds(1, top, 95, 16);
        bar->SetAlign(alBottom);
        bar->SetColorElement(clLime);
        bar->SetColorBorder(clBlack);
        bar->SetMin(0);
        bar->SetMax(100);
        bar->SetSmooth(true);
        return bar;
    };
    FpBar1 = progressBar("FpBar1", 344);
    Fpbar2 = progressBar("Fpbar2", 328);
    FpBar1->setAccessibleName(QStringLiteral("Files joined"));
    Fpbar2->setAccessibleName(QStringLiteral("Current file"));
    TFont columnFont = formFont;
    columnFont.Charset = ANSI_CHARSET;
    struct Row {
        flat::TFlatButton **field;
        const char *name;
        int top;
        const char *caption;
        TColor color, colorFocused;
    };
    const Row rows[] = {
        {&fb1, "fb1", 2, "Add Movie", 0x00D0B879, 0x0000E100},  {&fb2, "fb2", 36, "Add Folder", 0x00D0B879, 0x0000E100},
        {&fb3, "fb3", 72, "Move up", 0x00D0B879, 0x00A5DFF8},   {&fb4, "fb4", 106, "Move down", 0x00D0B879, 0x00A5DFF8},
        {&fb5, "fb5", 142, "Delete", 0x00D0B879, 0x0000E100},   {&fb6, "fb6", 176, "Del All", 0x00D0B879, 0x0000E100},
        {&fb7, "fb7", 248, "Join Now", 0x00A5DFF8, 0x0000E100}, {&fb9, "fb9", 288, "Play", 0x00A5DFF8, 0x0000E100}};
    int tabOrder = 0;
    for (const Row &r : rows) {
        flat::TFlatButton *b = flatButton(Panel2, r.name, QRect(0, r.top, 97, 35));
        b->SetColor(r.color);
        b->SetColorFocused(r.colorFocused);
        b->SetColorBorder(clBlack);
        b->SetCaption(QString::fromLatin1(r.caption));
        b->SetFont(columnFont);
        b->SetLayout(flat::blGlyphLeft);
        b->SetTabOrder(tabOrder++);
        *r.field = b;
    }

    // List and output bar.
    Panel3 = new TPanel(this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->SetBounds(97, 78, 469, 361);
    Panel3->SetAlign(alClient);
    Panel3->SetBorderWidth(1);
    Panel3->SetColor(clBlack);
    Panel3->SetShowCaption(false);
    Panel4 = new TPanel(Panel3);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->SetBounds(1, 321, 467, 39);
    Panel4->SetAlign(alBottom);
    Panel4->SetColor(0x004ABD81);
    Panel4->SetShowCaption(false);
    Fc1 = new flat::TFlatComboBox(Panel4);
    Fc1->setObjectName(QStringLiteral("Fc1"));
    Fc1->BeginLoading();
    Fc1->SetBounds(88, 6, 369, 22);
    Fc1->SetColor(clWindow);
    Fc1->SetColorArrow(clFuchsia);
    Fc1->SetColorArrowBackground(0x00A5DFF8);
    TFont comboFont;
    comboFont.Name = QStringLiteral("Verdana");
    comboFont.Height = -12;
    comboFont.Charset = ANSI_CHARSET;
    comboFont.Color = clWindowText;
    Fc1->SetFont(comboFont);
    Fc1->SetItemHeight(14);
    Fc1->SetTabOrder(0);
    outputBox_ = new OutputNameBox(session_, Fc1);
    SetOutputName(DefaultOutputName());
    Fc1->SetItemIndex(-1);
    Fc1->SetAccessibleLabel(QStringLiteral("Output file"));
    fb8 = flatButton(Panel4, "fb8", QRect(16, 8, 65, 19));
    fb8->SetColor(0x00A5DFF8);
    fb8->SetColorFocused(0x00F8F9D9);
    fb8->SetColorBorder(0x00A00000);
    fb8->SetCaption(QStringLiteral("Save As"));
    TFont saveFont;
    saveFont.Name = QStringLiteral("Verdana");
    saveFont.Height = -11;
    saveFont.Style = fsBold;
    fb8->SetFont(saveFont);
    fb8->SetTabOrder(1);
    Lv1 = new TListView(Panel3);
    Lv1->setObjectName(QStringLiteral("Lv1"));
    Lv1->SetBounds(1, 1, 467, 320);
    Lv1->SetAlign(alClient);
    TFont listFont = formFont;
    listFont.Height = -13;
    Lv1->SetFont(listFont);
    Lv1->AddColumn(QStringLiteral("Movie List"), 420);
    QList<QIcon> images;
    // Fuchsia is the image list's mask colour.
    for (const char *file : {":/queued.png", ":/joined.png"})
        images << LoadMaskedIcon(QString::fromLatin1(file), clFuchsia);
    Lv1->SetSmallImages(images);
    Lv1->SetImageNames({QStringLiteral("queued"), QStringLiteral("joined")});

    // Non-visual components.
    OD1.Filters = {{QStringLiteral("MPG,MPEG,M2V"), {"*.mpg", "*.mpeg", "*.m2v"}},
                   {QStringLiteral("Mp3,Mp2,MP1"), {"*.mp3", "*.mp2", "*.mp1"}},
                   {QStringLiteral("Dat"), {"*.dat"}},
                   {QStringLiteral("ALL Files"), {"*.*"}}};
    // The types joined by their container, in one entry after the original
    // ones, which stay as they were.
    QStringList containerPatterns;
    for (const QByteArray &type : ContainerTypes())
        containerPatterns << QStringLiteral("*.") + QString::fromLatin1(type).toLower();
    OD1.Filters.push_back({QString::fromLatin1(ContainerTypes().join(',')), containerPatterns});
    // Every type the list accepts at once, after the entries of old.
    QStringList accepted;
    for (const QByteArray &extension : AcceptedExtensions())
        accepted << QStringLiteral("*.") + QString::fromLatin1(extension).toLower();
    OD1.Filters.push_back({QStringLiteral("All movies and sounds"), accepted});
    OD1.MultiSelect = true;
    SD1.DefaultExt = QStringLiteral("mpg");

    Pop1 = new TPopupMenu(this, QStringLiteral("Pop1"));
    auto item = [&](const char *name, const char *caption) {
        auto *it = new TMenuItem(Pop1, QLatin1String(name), QLatin1String(caption));
        Pop1->Items()->Add(it);
        return it;
    };
    AddMovie1 = item("AddMovie1", "Add Movie");
    AddFileFolder1 = item("AddFileFolder1", "Add File Folder");
    N1 = item("N1", "-");
    Moveup1 = item("Moveup1", "Move up");
    Movedown1 = item("Movedown1", "Move down");
    N2 = item("N2", "-");
    DelFile1 = item("DelFile1", "Delete Files");
    DeleteAll1 = item("DeleteAll1", "Delete All");
    N3 = item("N3", "-");
    About1 = item("About1", "About");
    Help1 = new TMenuItem(Pop1, QStringLiteral("Help1"), QStringLiteral("Help"));
    About1->Add(Help1);
    MergeMovieNow1 = item("MergeMovieNow1", "Merge Movie Now");
    JoinasOneMovie1 = item("JoinasOneMovie1", "Join as One Movie");
    Play1 = item("Play1", "Play Seclected Movie");
    estplay1 = item("estplay1", "Play joined Movie");
    // Every command's key; the menu shows each beside its item.
    AddMovie1->SetShortCut(Qt::CTRL | Qt::Key_O);
    AddFileFolder1->SetShortCut(Qt::CTRL | Qt::SHIFT | Qt::Key_O);
    Moveup1->SetShortCut(Qt::CTRL | Qt::Key_Up);
    Movedown1->SetShortCut(Qt::CTRL | Qt::Key_Down);
    DelFile1->SetShortCut(Qt::Key_Delete);
    DeleteAll1->SetShortCut(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete);
    Help1->SetShortCut(Qt::Key_F1);
    MergeMovieNow1->SetShortCut(Qt::CTRL | Qt::Key_Enter);
    JoinasOneMovie1->SetShortCut(Qt::CTRL | Qt::Key_M);
    Play1->SetShortCut(Qt::CTRL | Qt::SHIFT | Qt::Key_P);
    estplay1->SetShortCut(Qt::CTRL | Qt::Key_P);
    Lv1->SetPopupMenu(Pop1);
    // Hints whose text depends on where the pointer is and on the join: the
    // whole name of an item, the progress in words, the join Join Now starts.
    for (TControl *c : std::initializer_list<TControl *>{Lv1, FpBar1, Fpbar2, fb7})
        c->SetShowHint(true);

    // Shows the banner's hints in the flat hint window.
    FlatHint1 = new flat::TFlatHint(this);
    FlatHint1->SetName(QStringLiteral("FlatHint1"));
    TFont hintFont;
    hintFont.Name = QStringLiteral("MS Sans Serif");
    hintFont.Height = -11;
    hintFont.Color = clWindowText;
    FlatHint1->SetFont(hintFont);

    // Paints Pop1's items; Active last, so every colour is in place when it attaches.
    Pop1->SetOwnerDraw(true);
    XPMenu1 = new xpmenu::TXPMenu(this);
    XPMenu1->setObjectName(QStringLiteral("XPMenu1"));
    TFont menuFont;
    menuFont.Name = QString::fromUtf8("\u5b8b\u4f53");
    menuFont.Charset = GB2312_CHARSET;
    menuFont.Height = -12;
    menuFont.Color = clMenuText;
    XPMenu1->SetFont(menuFont);
    XPMenu1->SetColor(clBtnFace);
    XPMenu1->SetIconBackColor(clBtnFace);
    XPMenu1->SetMenuBarColor(clBtnFace);
    XPMenu1->SetSelectColor(0x00F8F9D9);
    XPMenu1->SetSelectBorderColor(clBlack);
    XPMenu1->SetSelectFontColor(clMenuText);
    XPMenu1->SetDisabledColor(clInactiveCaption);
    XPMenu1->SetSeparatorColor(clBtnFace);
    XPMenu1->SetCheckedColor(clHighlight);
    XPMenu1->SetIconWidth(24);
    XPMenu1->SetDrawSelect(true);
    XPMenu1->SetUseSystemColors(false);
    XPMenu1->SetOverrideOwnerDraw(false);
    XPMenu1->SetGradient(true);
    XPMenu1->SetFlatMenu(false);
    XPMenu1->SetAutoDetect(false);
    XPMenu1->SetActive(true);

    // Banner picture, decoded at start, with its twin for 200 %.
    Ima1->LoadPicture(QStringLiteral(":/banner.jpg"));

    for (TControl *c : findChildren<TControl *>())
        c->Loaded();
    Loaded();
}

void TForm1::WireEvents()
{
    // Flat buttons fire OnClick through the application's error guard.
    auto on = [this](flat::TFlatButton *b, void (TForm1::*handler)(QObject *)) {
        b->OnClick = [this, handler](QObject *sender) { (this->*handler)(sender); };
    };
    auto menu = [this](TMenuItem *item, void (TForm1::*handler)(QObject *)) {
        item->OnClick = [this, handler](QObject *sender) { (this->*handler)(sender); };
    };
    on(fb10, &TForm1::fb10Click);
    on(fb11, &TForm1::fb11Click);
    on(fb1, &TForm1::fb1Click);
    on(fb2, &TForm1::fb2Click);
    on(fb3, &TForm1::fb3Click);
    on(fb4, &TForm1::fb4Click);
    on(fb5, &TForm1::fb5Click);
    on(fb6, &TForm1::DeleteAll1Click);
    on(fb8, &TForm1::fb8Click);
    on(fb9, &TForm1::fb9Click);
    fb7->OnClick = [this](QObject *sender) { JoinNow(sender); };
    menu(AddMovie1, &TForm1::fb1Click);
    menu(AddFileFolder1, &TForm1::fb2Click);
    menu(Moveup1, &TForm1::fb3Click);
    menu(Movedown1, &TForm1::fb4Click);
    menu(DelFile1, &TForm1::fb5Click);
    menu(DeleteAll1, &TForm1::DeleteAll1Click);
    menu(Help1, &TForm1::Help1Click);
    menu(Play1, &TForm1::Play1Click);
    menu(estplay1, &TForm1::fb9Click);
    MergeMovieNow1->OnClick = [this](QObject *sender) { JoinNow(sender); };
    JoinasOneMovie1->OnClick = [this](QObject *) { SetJoinAsOneMovie(!JoinAsOneMovie()); };
    Image1->OnClick = [this](QObject *sender) { Help1Click(sender); };
    Image4->OnClick = [this](QObject *sender) { Image4Click(sender); };
    OnClose = [this](QObject *sender, bool &accept) { FormClose(sender, accept); };
    Lv1->OnEdited = [this](int index, const QString &text) { ItemEdited(index, text); };
    Lv1->OnDropFiles = [this](int at, const std::vector<platform::FileName> &names) { DropFilesAt(at, names); };
    FlatHint1->OnShowHint = [this](QString &hint, bool &canShow, THintInfo &info) {
        hints_->Show(hint, canShow, info);
    };

    // Keys: the menu's, each as its item shows it, Delete within the list
    // and the others anywhere in the window; then those of the commands
    // that have no menu item.
    auto key = [this](QKeySequence keys, QWidget *scope, std::function<void()> run) {
        auto *shortcut = new QShortcut(keys, scope);
        shortcut->setContext(scope == this ? Qt::WindowShortcut : Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [run] { Application().Guard(run); });
        return shortcut;
    };
    for (TMenuItem *item : {AddMovie1, AddFileFolder1, Moveup1, Movedown1, DelFile1, DeleteAll1, Help1, MergeMovieNow1,
                            JoinasOneMovie1, Play1, estplay1})
        key(QKeyCombination::fromCombined(item->ShortCut()), item == DelFile1 ? static_cast<QWidget *>(Lv1) : this,
            [item] { item->Click(); });
    key(Qt::CTRL | Qt::Key_Return, this, [this] { JoinNow(fb7); }); // Enter of the main block, too
    key(Qt::CTRL | Qt::Key_S, this, [this] { fb8Click(fb8); });
    key(Qt::SHIFT | Qt::Key_F1, this, [this] { Image4Click(Image4); });
    key(Qt::CTRL | Qt::Key_Q, this, [this] { fb10Click(fb10); });
    // Only while joining, so that Escape still cancels an edit at other times.
    stopKey_ = key(Qt::Key_Escape, this, [this] { stopQuestion_->Ask(); });
    stopKey_->setEnabled(false);
}

} // namespace app
