// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPaintEvent>
#include <QTest>
#include <gtest/gtest.h>

#include "flat/TFlatComboBoxUnit.h"

using namespace flat;
using framework::ColorToRGB;
using framework::FromQRgb;

namespace {

constexpr TColor Face = 0x00A5DFF8, Border = 0x008396A0, Fuchsia = 0x00FF00FF;

// The output bar of the main window with its output-name box.
struct Host {
    framework::TPanel panel;
    TFlatComboBox *box;
    explicit Host(bool show = true)
    {
        panel.resize(467, 39);
        panel.SetColor(0x004ABD81);
        box = new TFlatComboBox(&panel);
        box->setGeometry(88, 6, 369, 22);
        box->SetColor(framework::clWindow);
        box->SetColorArrow(Fuchsia);
        box->SetColorArrowBackground(Face);
        framework::TFont font;
        font.Name = QStringLiteral("Verdana");
        font.Height = -12;
        font.Charset = framework::ANSI_CHARSET;
        box->SetFont(font);
        box->SetItemHeight(14);
        box->SetText(QStringLiteral("c:\\test.mpg"));
        if (show) {
            panel.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&panel));
        }
    }
    // The box goes before the panel whose child list it is in.
    ~Host() { delete box; }
};

QImage shot(TFlatComboBox &box) { return box.grab().toImage(); }
TColor at(const QImage &img, int x, int y) { return FromQRgb(img.pixel(x, y)); }
TColor window() { return ColorToRGB(framework::clWindow); }

// Row y from x0 to x1 inclusive as '#' (colour) and '.' (anything else).
std::string row(const QImage &img, int y, int x0, int x1, TColor colour)
{
    std::string s;
    for (int x = x0; x <= x1; ++x)
        s += at(img, x, y) == colour ? '#' : '.';
    return s;
}

void settle() { QTest::qWait(100); }

class PaintSpy : public QObject {
public:
    QRegion painted;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

} // namespace

TEST(TFlatComboBox, NewControl)
{
    framework::TPanel panel;
    TFlatComboBox box(&panel);
    EXPECT_EQ(box.Style(), csDropDown);
    EXPECT_EQ(box.Color(), framework::clWindow);
    EXPECT_EQ(box.ColorArrow(), 0u);
    EXPECT_EQ(box.ColorArrowBackground(), 0x00C5D6D9u);
    EXPECT_EQ(box.ColorBorder(), Border);
    EXPECT_EQ(box.AdvColorBorder(), 50);
    EXPECT_EQ(box.AdvColorArrowBackground(), 10);
    EXPECT_FALSE(box.UseAdvColors());
    EXPECT_EQ(box.DropDownCount(), 8);
    EXPECT_EQ(box.ItemHeight(), 13);
    EXPECT_EQ(box.MaxLength(), 0);
    EXPECT_FALSE(box.Sorted());
    EXPECT_TRUE(box.TabStop());
    EXPECT_EQ(box.Text(), QString());
    EXPECT_EQ(box.ItemIndex(), -1);
    EXPECT_TRUE(box.Items().isEmpty());
    EXPECT_EQ(box.ArrowAreaWidth(), 11);
    EXPECT_FALSE(box.ActiveState());
    EXPECT_FALSE(box.DroppedDown());
    ASSERT_NE(box.EditHandle(), nullptr);
}

TEST(TFlatComboBox, FrameRingsButtonAndArrowOfTheOutputBox)
{
    Host h;
    TFlatComboBox &box = *h.box;
    const QImage img = shot(box);
    ASSERT_EQ(img.size(), QSize(369, 22));

    // Border around (0, 0, 357, 22); its right column is the button's left one.
    for (int x = 0; x <= 368; ++x) {
        ASSERT_EQ(at(img, x, 0), Border) << x;
        ASSERT_EQ(at(img, x, 21), Border) << x;
    }
    for (int y = 0; y < 22; ++y) {
        ASSERT_EQ(at(img, 0, y), Border);
        ASSERT_EQ(at(img, 356, y), Border);
        ASSERT_EQ(at(img, 368, y), Border);
    }
    // Two rings of the background colour, then the fill up to x = 353 right of the edit.
    for (int y = 1; y <= 20; ++y) {
        EXPECT_EQ(at(img, 1, y), window());
        EXPECT_EQ(at(img, 355, y), window());
        EXPECT_EQ(at(img, 354, y), window());
        EXPECT_EQ(at(img, 353, y), window());
    }
    EXPECT_EQ(row(img, 1, 1, 355, window()), std::string(355, '#'));
    EXPECT_EQ(row(img, 2, 2, 354, window()), std::string(353, '#'));
    EXPECT_EQ(row(img, 20, 1, 355, window()), std::string(355, '#'));

    // The face spans x 357..367, y 1..20; the triangle points down.
    for (int y : {1, 5, 9, 13, 20})
        ASSERT_EQ(row(img, y, 357, 367, Face), std::string(11, '#')) << y;
    EXPECT_EQ(row(img, 10, 357, 367, Fuchsia), "...#####...");
    EXPECT_EQ(row(img, 11, 357, 367, Fuchsia), "....###....");
    EXPECT_EQ(row(img, 12, 357, 367, Fuchsia), ".....#.....");

    // The edit ends short of the button.
    EXPECT_EQ(box.EditHandle()->geometry(), QRect(3, 3, 350, 16));
    EXPECT_EQ(box.ComboBox()->geometry(), QRect(0, 0, 369, 22));
}

// At 125 % the box is 27.5 device pixels high: its bottom border stood a
// device pixel above the bottom, over a seam of the background.
TEST(TFlatComboBox, At125PercentTheBorderReachesTheBottom)
{
    Host h;
    const QImage img = h.box->Render(1.25);
    ASSERT_EQ(img.height(), 28);
    for (int x : {0, 100, 440, 460})
        EXPECT_EQ(at(img, x, 27), Border) << x;
    EXPECT_EQ(at(img, 100, 26), window());
}

TEST(TFlatComboBox, TheArrowCentresOnOddHeights)
{
    Host h;
    h.box->resize(100, 21);
    const QImage img = shot(*h.box);
    // cx = 87 + 13 / 2 = 93, y0 = 21 / 2 - 1 = 9
    EXPECT_EQ(row(img, 9, 88, 98, Fuchsia), "...#####...");
    EXPECT_EQ(row(img, 11, 88, 98, Fuchsia), ".....#.....");
}

TEST(TFlatComboBox, ListOpensAndClosesWithTheArrowFollowing)
{
    Host h;
    TFlatComboBox &box = *h.box;
    box.AddItem(QStringLiteral("/tmp/a.mpg"));
    bool dropped = false;
    box.OnDropDown = [&](QObject *) { dropped = true; };

    box.ComboBox()->showPopup();
    EXPECT_TRUE(dropped);
    EXPECT_TRUE(box.DroppedDown());
    EXPECT_TRUE(box.ActiveState());
    QImage img = shot(box);
    EXPECT_EQ(row(img, 10, 357, 367, Fuchsia), ".....#.....");
    EXPECT_EQ(row(img, 12, 357, 367, Fuchsia), "...#####...");
    // The inner ring is redrawn in the background colour over the dropped frame.
    EXPECT_EQ(at(img, 2, 10), window());

    settle();
    PaintSpy spy;
    box.ComboBox()->installEventFilter(&spy);
    box.ComboBox()->hidePopup();
    settle();
    EXPECT_FALSE(box.DroppedDown());
    EXPECT_TRUE(spy.painted.contains(QRect(355, 0, 13, 22))) << "the button is repainted";
    img = h.panel.grab(box.geometry()).toImage();
    EXPECT_EQ(row(img, 10, 357, 367, Fuchsia), "...#####...");
    EXPECT_EQ(box.Text(), QStringLiteral("c:\\test.mpg")) << "closing chose nothing";
}

TEST(TFlatComboBox, TheArrowDropsAnEmptyListToo)
{
    Host h;
    TFlatComboBox &box = *h.box;
    QTest::mouseClick(box.ComboBox(), Qt::LeftButton, {}, QPoint(362, 11));
    ASSERT_TRUE(box.DroppedDown());
    const QWidget *list = box.ComboBox()->view()->window();
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->width(), 369);
    EXPECT_EQ(list->geometry().top(), box.mapToGlobal(QPoint(0, 22)).y());
    EXPECT_EQ(row(shot(box), 12, 357, 367, Fuchsia), "...#####...");
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(box.DroppedDown());
    EXPECT_EQ(row(shot(box), 10, 357, 367, Fuchsia), "...#####...");
}

TEST(TFlatComboBox, DisabledArrowIsEmbossed)
{
    Host h;
    TFlatComboBox &box = *h.box;
    box.SetEnabled(false);
    QImage img = shot(box);
    const TColor white = 0x00FFFFFF, grey = 0x00808080;
    EXPECT_EQ(row(img, 10, 357, 367, grey), "...#####...");
    EXPECT_EQ(row(img, 11, 357, 367, grey), "....###....");
    EXPECT_EQ(row(img, 11, 357, 367, white), ".......##..");
    EXPECT_EQ(row(img, 12, 357, 367, white), "......##...");
    EXPECT_EQ(row(img, 13, 357, 367, white), "......#....");
    EXPECT_EQ(row(img, 10, 357, 367, Fuchsia), "...........");
}

TEST(TFlatComboBox, SimpleStyleHasNoButton)
{
    Host h;
    TFlatComboBox &box = *h.box;
    box.SetStyle(csSimple);
    const QImage img = shot(box);
    EXPECT_EQ(at(img, 356, 10), Border) << "the frame stays";
    EXPECT_EQ(row(img, 10, 357, 368, window()), std::string(12, '#'));
    EXPECT_EQ(row(img, 0, 357, 368, Face), std::string(12, '.'));
    EXPECT_EQ(box.EditHandle()->geometry(), QRect(3, 3, 350, 16));
}

TEST(TFlatComboBox, AdvancedColoursComeFromTheParent)
{
    Host h(false);
    TFlatComboBox &box = *h.box;
    h.panel.SetColor(0x00808080);
    box.SetAdvColorBorder(0);
    box.SetAdvColorArrowBackground(0);
    box.SetUseAdvColors(true);
    EXPECT_EQ(box.ColorBorder(), Border);
    EXPECT_EQ(box.ColorArrowBackground(), Face);

    box.SetAdvColorBorder(50);
    box.SetAdvColorArrowBackground(10);
    EXPECT_EQ(box.ColorBorder(), 0x00555555u);
    EXPECT_EQ(box.ColorArrowBackground(), 0x00808080u) << "+10 and -10 cancel";
    EXPECT_EQ(at(shot(box), 360, 5), 0x00808080u);

    h.panel.SetColor(0x00000000); // the parent's colour follows through
    EXPECT_EQ(box.ColorArrowBackground(), ComputeAdvColor(0, 0, 10, true));

    box.SetUseAdvColors(false);
    EXPECT_EQ(box.ColorArrowBackground(), ComputeAdvColor(0, 0, 10, true));
}

TEST(TFlatComboBox, TextItemsAndIndex)
{
    Host h(false);
    TFlatComboBox &box = *h.box;
    EXPECT_EQ(box.Text(), QStringLiteral("c:\\test.mpg"));

    // What the window does after "Save As": set the text, then append it.
    box.SetText(QStringLiteral("/home/u/out.mpg"));
    EXPECT_EQ(box.AddItem(QStringLiteral("/home/u/first.mpg")), 0);
    EXPECT_EQ(box.Text(), QStringLiteral("/home/u/out.mpg")) << "adding keeps the text";
    EXPECT_EQ(box.ItemIndex(), -1) << "adding selects nothing";
    box.AddItem(QStringLiteral("/home/u/out.mpg"));
    box.AddItem(QStringLiteral("/home/u/out.mpg")); // duplicates are kept
    EXPECT_EQ(box.Items(), (QStringList{"/home/u/first.mpg", "/home/u/out.mpg", "/home/u/out.mpg"}));

    box.SetItemIndex(0);
    EXPECT_EQ(box.Text(), QStringLiteral("/home/u/first.mpg"));
    box.SetText(QStringLiteral("typed"));
    EXPECT_EQ(box.Text(), QStringLiteral("typed"));
    box.SetItemIndex(7);
    EXPECT_EQ(box.ItemIndex(), -1);

    box.SetItems({"b", "C", "a"});
    EXPECT_EQ(box.ItemCount(), 3);
    box.SetSorted(true);
    EXPECT_EQ(box.Items(), (QStringList{"a", "b", "C"}));
    box.AddItem(QStringLiteral("B2"));
    EXPECT_EQ(box.Items(), (QStringList{"a", "b", "B2", "C"}));

    box.ClearItems();
    EXPECT_EQ(box.ItemCount(), 0);
    EXPECT_EQ(box.Text(), QString());

    // The list-only style shows an item or nothing.
    box.SetItems({"one", "two"});
    box.SetStyle(csDropDownList);
    EXPECT_EQ(box.EditHandle(), nullptr);
    box.SetItemIndex(-1);
    box.SetText(QStringLiteral("TWO"));
    EXPECT_EQ(box.ItemIndex(), 1);
    box.SetText(QStringLiteral("three"));
    EXPECT_EQ(box.Text(), QStringLiteral("two"));
}

TEST(TFlatComboBox, TypingEditsTheTextAsTyped)
{
    Host h;
    TFlatComboBox &box = *h.box;
    box.AddItem(QStringLiteral("abcdef"));
    int changes = 0;
    box.OnChange = [&](QObject *) { ++changes; };
    box.SetFocus();
    EXPECT_TRUE(box.ActiveState());
    box.EditHandle()->clear();
    QTest::keyClicks(box.ComboBox(), "ab");
    EXPECT_EQ(box.Text(), QStringLiteral("ab")) << "nothing completed from the list";
    EXPECT_EQ(changes, 2);
    QTest::keyClick(box.ComboBox(), Qt::Key_Return);
    EXPECT_EQ(box.ItemCount(), 1) << "Return adds nothing to the list";

    box.OnKeyPress = [](QObject *, QChar &ch) {
        if (ch == QChar('x'))
            ch = QChar();
        else if (ch == QChar('/'))
            ch = QChar('-');
    };
    QTest::keyClicks(box.ComboBox(), "x/y");
    EXPECT_EQ(box.Text(), QStringLiteral("ab-y"));

    int down = 0;
    box.OnKeyDown = [&](QObject *, int &key, framework::TShiftState) {
        ++down;
        if (key == Qt::Key_Z)
            key = 0;
    };
    QTest::keyClicks(box.ComboBox(), "z");
    EXPECT_EQ(box.Text(), QStringLiteral("ab-y"));
    EXPECT_EQ(down, 1);

    box.SetMaxLength(5);
    box.OnKeyDown = nullptr;
    QTest::keyClicks(box.ComboBox(), "123");
    EXPECT_EQ(box.Text(), QStringLiteral("ab-y1"));
}

TEST(TFlatComboBox, FocusEnterAndExit)
{
    Host h;
    TFlatComboBox &box = *h.box;
    QLineEdit other(&h.panel);
    other.show();
    int enter = 0, exit = 0;
    box.OnEnter = [&](QObject *) { ++enter; };
    box.OnExit = [&](QObject *) { ++exit; };
    h.panel.activateWindow();
    other.setFocus();
    EXPECT_FALSE(box.ActiveState());
    enter = exit = 0;
    box.SetFocus();
    EXPECT_TRUE(box.ActiveState());
    EXPECT_EQ(enter, 1);
    other.setFocus();
    EXPECT_FALSE(box.ActiveState());
    EXPECT_EQ(enter, 1);
    EXPECT_EQ(exit, 1);
}

TEST(TFlatComboBox, AFocusMarkOnlyOnceTheKeyboardIsUsed)
{
    Host h;
    TFlatComboBox &box = *h.box;
    QLineEdit other(&h.panel);
    other.show();
    h.panel.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&h.panel));
    const TColor highlight = ColorToRGB(framework::clHighlight);
    auto ring = [&] { return row(shot(box), 1, 1, 355, highlight) == std::string(355, '#'); };
    box.SetFocus();
    settle();
    EXPECT_FALSE(ring()) << "the picture at rest, focus and all";
    QTest::keyClick(box.EditHandle(), Qt::Key_End);
    settle();
    EXPECT_TRUE(ring()) << "a key was pressed in it";
    other.setFocus(Qt::TabFocusReason);
    settle();
    EXPECT_FALSE(ring()) << "the focus left";
    box.ComboBox()->setFocus(Qt::BacktabFocusReason);
    settle();
    EXPECT_TRUE(ring()) << "the focus came by the keyboard";
    QTest::mouseClick(box.EditHandle(), Qt::LeftButton);
    settle();
    EXPECT_FALSE(ring()) << "the mouse took over";
}

TEST(TFlatComboBox, ListOnlyStyleShowsTheSelectionStrip)
{
    Host h;
    TFlatComboBox &box = *h.box;
    box.SetItems({"one", "two"});
    box.SetStyle(csDropDownList);
    box.SetItemIndex(0);
    box.SetFocus();
    const TColor highlight = ColorToRGB(framework::clHighlight);
    QImage img = shot(box);
    EXPECT_EQ(row(img, 10, 348, 352, highlight), "#####") << "the strip";
    EXPECT_EQ(row(img, 3, 3, 352, highlight), std::string(350, '#')) << "the focus frame";

    QTest::keyClick(box.ComboBox(), Qt::Key_Down);
    EXPECT_EQ(box.Text(), QStringLiteral("two"));

    box.clearFocus();
    img = shot(box);
    EXPECT_EQ(row(img, 10, 348, 352, window()), "#####");
}

TEST(TFlatComboBox, ColourSettersRepaintEvenWhenUnchanged)
{
    Host h;
    TFlatComboBox &box = *h.box;
    settle();
    PaintSpy spy;
    box.ComboBox()->installEventFilter(&spy);
    box.SetColorBorder(box.ColorBorder());
    settle();
    EXPECT_EQ(spy.painted.boundingRect(), QRect(0, 0, 369, 22));
}

TEST(TFlatComboBox, FontChangeResetsItemHeight)
{
    Host h(false);
    TFlatComboBox &box = *h.box;
    EXPECT_EQ(box.ItemHeight(), 14) << "set after the font, it stays";
    framework::TFont font = box.Font();
    font.Height = -14;
    box.SetFont(font);
    EXPECT_EQ(box.ItemHeight(), 13);
    box.SetItemHeight(20);
    box.AddItem(QStringLiteral("row"));
    EXPECT_EQ(box.ComboBox()->view()->sizeHintForRow(0), 20);
}

TEST(TFlatComboBox, OwnerDrawnItems)
{
    Host h;
    TFlatComboBox &box = *h.box;
    box.SetItems({"a", "b"});
    box.SetStyle(csOwnerDrawVariable);
    box.OnMeasureItem = [](QObject *, int index, int &height) { height = 10 + index * 5; };
    QList<int> drawn;
    box.OnDrawItem = [&](QObject *control, int index, const TRect &r, TOwnerDrawState state) {
        drawn << index;
        auto *self = static_cast<TFlatComboBox *>(control);
        self->Canvas().Brush = {0x0000FF00, framework::bsSolid};
        self->Canvas().FillRect(r);
        EXPECT_TRUE(state & odComboBoxEdit);
    };
    box.SetItemIndex(1);
    const QImage img = shot(box);
    EXPECT_EQ(drawn, QList<int>{1});
    EXPECT_EQ(at(img, 10, 10), 0x0000FF00u) << "the edit area is the handler's";
    EXPECT_EQ(box.ComboBox()->view()->sizeHintForRow(1), 15);
}
