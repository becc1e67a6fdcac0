// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A combo box drawn flat: a one-pixel border, two rings of the background
// colour inside it and a narrow flat drop-down button with a small filled
// triangle. Editing, the list, selection and keys stay a QComboBox's: this
// control holds one as its only child and paints its frame and button in
// its place (through a style that hands the combo box's own frame and
// button drawing to this class).
#include <QComboBox>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

#include "flat/FlatUtilitys.h"
#include "framework/Controls.h"
#include "framework/FocusMark.h"
#include "framework/TCanvas.h"

class QLineEdit;

namespace flat {

class FlatComboStyle;
class FlatComboItemDelegate;
class FlatComboInner;

enum TComboBoxStyle : std::uint8_t { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

// State of an item handed to OnDrawItem.
enum TOwnerDrawStateFlag : unsigned { odSelected = 1, odDisabled = 4, odFocused = 16, odComboBoxEdit = 4096 };
using TOwnerDrawState = unsigned;

// Draws item index into rect on the control's Canvas().
using TDrawItemEvent = std::function<void(QObject *control, int index, const TRect &rect, TOwnerDrawState state)>;
using TMeasureItemEvent = std::function<void(QObject *control, int index, int &height)>;
// key is a Qt key code; setting it to 0 swallows the key.
using TKeyEvent = std::function<void(QObject *sender, int &key, framework::TShiftState shift)>;
// key is the typed character; setting it to QChar() swallows it.
using TKeyPressEvent = std::function<void(QObject *sender, QChar &key)>;

class TFlatComboBox : public framework::TCustomControl {
    Q_OBJECT
public:
    explicit TFlatComboBox(QWidget *parent = nullptr);
    ~TFlatComboBox() override;

    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle value);
    TColor ColorArrow() const { return colorArrow_; }
    void SetColorArrow(TColor value) { SetColors(0, value); }
    TColor ColorArrowBackground() const { return colorArrowBackground_; }
    void SetColorArrowBackground(TColor value) { SetColors(1, value); }
    TColor ColorBorder() const { return colorBorder_; }
    void SetColorBorder(TColor value) { SetColors(2, value); }
    TAdvColors AdvColorBorder() const { return advColorBorder_; }
    void SetAdvColorBorder(TAdvColors value) { SetAdvColors(0, value); }
    TAdvColors AdvColorArrowBackground() const { return advColorArrowBackground_; }
    void SetAdvColorArrowBackground(TAdvColors value) { SetAdvColors(1, value); }
    bool UseAdvColors() const { return useAdvColors_; }
    void SetUseAdvColors(bool value);

    int DropDownCount() const;
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int value);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int value);
    bool Sorted() const { return sorted_; }
    void SetSorted(bool value);

    // The list. Adding keeps Text and ItemIndex as they are.
    QStringList Items() const;
    void SetItems(const QStringList &items);
    int AddItem(const QString &item);
    // Removes the item at index, keeping Text as it is.
    void DeleteItem(int index);
    void ClearItems();
    int ItemCount() const;

    // The edit text, or the selected item's text for the list-only styles.
    QString Text() const;
    void SetText(const QString &text);
    int ItemIndex() const;
    void SetItemIndex(int index);
    bool DroppedDown() const { return droppedDown_; }

    // Width of the flat button's inside.
    int ArrowAreaWidth() const { return arrowAreaWidth_; }
    // Width of the platform's own drop-down button, read once at construction.
    int SystemButtonWidth() const { return systemButtonWidth_; }
    bool ActiveState() const { return activeState_; }
    // The focus mark, a ring of the highlight colour inside the border, shows.
    bool FocusMarkShown() const;
    // The control's canvas; while OnDrawItem runs, the item's.
    TCanvas &Canvas() { return itemCanvas_ ? *itemCanvas_ : TCustomControl::Canvas(); }
    // The platform combo box and its edit (none for the list-only styles).
    QComboBox *ComboBox() const;
    QLineEdit *EditHandle() const;

    // What screen readers call the box; the platform combo box and its edit,
    // which takes the focus, carry it.
    QString AccessibleLabel() const { return accessibleLabel_; }
    void SetAccessibleLabel(const QString &label);

    framework::TNotifyEvent OnChange;
    framework::TNotifyEvent OnDblClick;
    framework::TNotifyEvent OnDropDown;
    framework::TNotifyEvent OnEnter;
    framework::TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

protected:
    // The frame, the button and the text area, in the place of the combo
    // box's own (its style hands this picture to the combo box).
    void Paint(TCanvas &canvas) const override;
    // None of its own: the combo box covering the control shows the picture.
    QRegion PictureRegion() const override { return {}; }
    void ColorChanged() override;
    void FontChanged() override;
    void DevicePixelRatioChanged() override;
    void EnabledChanged() override;
    void SysColorChange() override;
    void ParentColorChanged() override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class FlatComboStyle;
    friend class FlatComboItemDelegate;
    friend class FlatComboInner;

    void SetColors(int index, TColor value);
    void SetAdvColors(int index, TAdvColors value);
    void ApplyAdvColors();
    void UpdateActiveState();
    void DrawFrameAndButton();
    void DrawSelectionStrip();
    void CloseUp();

    void DrawFlatFrame(TCanvas &canvas) const;
    void DrawArrowButton(TCanvas &canvas) const;
    void PaintSelectionStrip(TCanvas &canvas) const;
    void PaintEditArea(TCanvas &canvas) const;
    // Item index in rect: OnDrawItem's drawing for the owner-drawn styles,
    // else the item's text.
    void DrawItem(TCanvas &canvas, int index, const TRect &rect, TOwnerDrawState state) const;
    int MeasureItem(int index);

    void SetUpEdit();
    void ApplyPalette();
    // Runs a change of the list without changing Text or selecting an item
    // where none was selected.
    void KeepTextAndIndex(const std::function<void()> &change);
    void RepaintAll();
    bool SelectionFocused() const;

    TComboBoxStyle style_ = csDropDown;
    TColor colorArrow_ = framework::clBlack;
    TColor colorArrowBackground_ = 0x00C5D6D9;
    TColor colorBorder_ = 0x008396A0;
    bool useAdvColors_ = false;
    TAdvColors advColorArrowBackground_ = 10;
    TAdvColors advColorBorder_ = 50;
    const int arrowAreaWidth_ = 11;
    int systemButtonWidth_ = 0;
    bool activeState_ = false;
    bool droppedDown_ = false;
    bool entered_ = false;
    int itemHeight_ = 13;
    int maxLength_ = 0;
    bool sorted_ = false;
    QString accessibleLabel_;
    framework::FocusMark focusMark_;

    std::unique_ptr<FlatComboStyle> comboStyle_;
    std::unique_ptr<FlatComboItemDelegate> delegate_;
    FlatComboInner *combo_ = nullptr;
    QPointer<QWidget> popup_;
    QPointer<QLineEdit> edit_; // the combo box's edit, while it has one
    // What Canvas() gives OnDrawItem while it draws an item.
    mutable TCanvas *itemCanvas_ = nullptr;
};

} // namespace flat
