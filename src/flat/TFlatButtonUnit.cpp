// SPDX-License-Identifier: GPL-3.0-or-later
#include "flat/TFlatButtonUnit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <memory>

#include "desktop/Cursor.h"
#include "flat/FlatAccessibility.h"
#include "framework/TImageList.h"

namespace flat {

using namespace framework;

// The hover timer all buttons share and the button it watches. The live
// buttons hold it together: the first one makes it, and it goes with the last.
class HoverWatch {
public:
    HoverWatch()
    {
        timer.setInterval(100);
        // The tick always goes to the button the timer currently watches.
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (hot)
                hot->HoverTimerTick();
        });
    }
    static std::shared_ptr<HoverWatch> Join()
    {
        std::shared_ptr<HoverWatch> watch = current().lock();
        if (!watch) {
            watch = std::make_shared<HoverWatch>();
            current() = watch;
        }
        return watch;
    }
    // The watch while a button lives, for the class's accessors.
    static std::shared_ptr<HoverWatch> Current() { return current().lock(); }
    static int Holders() { return static_cast<int>(current().use_count()); }

    QTimer timer;
    TFlatButton *hot = nullptr;

private:
    static std::weak_ptr<HoverWatch> &current()
    {
        static std::weak_ptr<HoverWatch> watch;
        return watch;
    }
};

QTimer *TFlatButton::HoverTimer()
{
    const std::shared_ptr<HoverWatch> watch = HoverWatch::Current();
    return watch ? &watch->timer : nullptr;
}

TFlatButton *TFlatButton::HotButton()
{
    const std::shared_ptr<HoverWatch> watch = HoverWatch::Current();
    return watch ? watch->hot : nullptr;
}

int TFlatButton::ButtonCount() { return HoverWatch::Holders(); }

TFlatButton::TFlatButton(QWidget *parent) : TCustomControl(parent), hover_(HoverWatch::Join())
{
    InstallFlatAccessibleFactory();
    SetBounds(0, 0, 25, 25);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true); // the hover part of the mouse move needs moves without a button held
    SetColor(0x00E1EAEB);
    SetParentColor(true);
}

TFlatButton::~TFlatButton() { StopHoverTimer(); }

// ---------------------------------------------------------------------------
// Properties

void TFlatButton::SetDefault(bool value)
{
    default_ = value;
    if (TForm *form = GetParentForm())
        form->ControlMessage(CM_FOCUSCHANGED, 0, form->ActiveControl());
    update();
}

void TFlatButton::SetAllowAllUp(bool value)
{
    if (allowAllUp_ == value)
        return;
    allowAllUp_ = value;
    NotifyGroup();
}

void TFlatButton::SetColorFocused(TColor value)
{
    colorFocused_ = value;
    update();
}

void TFlatButton::SetColorDown(TColor value)
{
    colorDown_ = value;
    update();
}

void TFlatButton::SetColorBorder(TColor value)
{
    colorBorder_ = value;
    update();
}

void TFlatButton::SetColorHighLight(TColor value)
{
    colorHighLight_ = value;
    update();
}

void TFlatButton::SetColorShadow(TColor value)
{
    colorShadow_ = value;
    update();
}

void TFlatButton::SetAdvColorBorder(TAdvColors value)
{
    advColorBorder_ = value;
    ApplyAdvColors();
    update();
}

void TFlatButton::SetUseAdvColors(bool value)
{
    AssignAndRepaint(useAdvColors_, value, [this] {
        SetParentColor(useAdvColors_);
        ApplyAdvColors();
        update();
    });
}

void TFlatButton::ApplyAdvColors()
{
    if (!useAdvColors_)
        return;
    colorFocused_ = ComputeAdvColor(Color(), colorFocused_, advColorFocused_, false);
    colorDown_ = ComputeAdvColor(Color(), colorDown_, advColorDown_, true);
    colorBorder_ = ComputeAdvColor(Color(), colorBorder_, advColorBorder_, true);
}

void TFlatButton::SetGroupIndex(int value)
{
    if (groupIndex_ == value)
        return;
    groupIndex_ = value;
    NotifyGroup();
}

void TFlatButton::SetDown(bool value)
{
    if (groupIndex_ == 0)
        value = false; // an ungrouped button never latches
    if (value == down_)
        return;
    if (down_ && !allowAllUp_)
        return; // only another member of the group releases it
    down_ = value;
    if (value) {
        if (state_ == fbsUp)
            update();
        state_ = fbsLatched;
    } else {
        state_ = fbsUp;
        repaint();
    }
    if (value)
        NotifyGroup();
}

void TFlatButton::SetGlyph(const TBitmap &value)
{
    if (&value == &glyph_)
        return;
    glyph_.Assign(value);
    if (!glyph_.Empty() && glyph_.Width() % glyph_.Height() == 0) {
        const int n = glyph_.Width() / glyph_.Height();
        numGlyphs_ = static_cast<TNumGlyphs>(n > 4 ? 1 : n);
    }
    update();
}

void TFlatButton::SetLayout(TButtonLayout value)
{
    AssignAndRepaint(layout_, value, [this] { update(); });
}

void TFlatButton::SetMargin(int value)
{
    if (value >= -1)
        AssignAndRepaint(margin_, value, [this] { update(); });
}

void TFlatButton::SetNumGlyphs(TNumGlyphs value)
{
    // Outside 1..4 there is no cell to show (and 0 would divide by zero).
    if (value >= 1 && value <= 4)
        AssignAndRepaint(numGlyphs_, value, [this] { update(); });
}

// ---------------------------------------------------------------------------
// Click, group, accelerator

void TFlatButton::Click()
{
    if (TForm *form = GetParentForm())
        form->SetModalResult(modalResult_);
    TControl::Click();
}

void TFlatButton::NotifyGroup()
{
    if (groupIndex_ == 0 || !parentWidget())
        return;
    if (TControl *p = ParentControl()) {
        p->Broadcast(CM_BUTTONPRESSED, groupIndex_, this);
        return;
    }
    // A parent that is not one of ours: tell the siblings directly.
    for (TControl *c : parentWidget()->findChildren<TControl *>(QString(), Qt::FindDirectChildrenOnly))
        if (c->ControlMessage(CM_BUTTONPRESSED, groupIndex_, this))
            break;
}

bool TFlatButton::ControlMessage(int message, qintptr wParam, QObject *lParam)
{
    if (message != CM_BUTTONPRESSED)
        return TControl::ControlMessage(message, wParam, lParam);
    auto *sender = qobject_cast<TFlatButton *>(lParam);
    if (!sender || sender == this || wParam != groupIndex_)
        return false;
    if (sender->Down() && down_) {
        down_ = false;
        state_ = fbsUp;
        update();
    }
    allowAllUp_ = sender->AllowAllUp();
    return false;
}

bool TFlatButton::DialogChar(QChar ch)
{
    if (!IsAccel(ch, Caption()) || !isEnabled())
        return false;
    if (groupIndex_ != 0)
        SetDown(true);
    Click();
    return true;
}

// ---------------------------------------------------------------------------
// Hover tracking

bool TFlatButton::UnderCursor() const { return FindControlAtPos(platform::GetCursorPos()) == this; }

void TFlatButton::EnterHot()
{
    if (!isEnabled() || hot_)
        return;
    hot_ = true;
    update();
}

void TFlatButton::LeaveHot()
{
    if (!isEnabled() || !hot_ || tracking_)
        return;
    hot_ = false;
    StopHoverTimer();
    update();
}

void TFlatButton::StopHoverTimer()
{
    if (hover_->hot != this)
        return;
    hover_->timer.stop();
    hover_->hot = nullptr;
}

// One button at a time has the hot look: whichever had it cools first. While
// followPointer, the hover timer cools this one once the pointer has left.
void TFlatButton::TakeHot(bool followPointer)
{
    if (hover_->hot && hover_->hot != this)
        hover_->hot->LeaveHot();
    hover_->hot = this;
    if (followPointer)
        hover_->timer.start();
    else
        hover_->timer.stop();
    EnterHot();
}

void TFlatButton::UpdateHotTracking()
{
    if (!isEnabled())
        return;
    if (UnderCursor()) {
        TakeHot(true);
    } else {
        hot_ = true; // so that LeaveHot repaints and gives up the timer
        LeaveHot();
    }
}

void TFlatButton::HoverTimerTick()
{
    if (!UnderCursor())
        LeaveHot();
}

void TFlatButton::MouseEnter()
{
    TControl::MouseEnter();
    Fire(OnMouseEnter);
}

void TFlatButton::MouseLeave()
{
    TControl::MouseLeave();
    Fire(OnMouseLeave);
}

// ---------------------------------------------------------------------------
// Mouse

bool TFlatButton::Inside(int x, int y) const
{
    // The bottom row just below the button still counts; the column right of it does not.
    return x >= 0 && x < width() && y >= 0 && y <= height();
}

void TFlatButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || !isEnabled())
        return;
    if (!down_) {
        state_ = fbsPressed;
        update();
    }
    tracking_ = true;
    SetFocus();
}

void TFlatButton::MouseMove(TShiftState shift, int x, int y)
{
    TControl::MouseMove(shift, x, y);
    if (hover_->hot != this && FindControlAtPos(mapToGlobal(QPoint(x, y))) == this) {
        if (QApplication::activeWindow())
            TakeHot(true);
        else if (hover_->hot)
            hover_->hot->LeaveHot();
    }
    if (!tracking_)
        return;
    TFlatButtonState next = down_ ? fbsLatched : fbsUp;
    if (Inside(x, y))
        next = down_ ? fbsLatched : fbsPressed;
    if (next != state_) {
        state_ = next;
        update();
    }
}

void TFlatButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    TControl::MouseUp(button, shift, x, y);
    if (!tracking_)
        return;
    tracking_ = false;
    const bool inside = Inside(x, y);
    if (groupIndex_ == 0) {
        state_ = fbsUp;
        hot_ = false;
        if (inside)
            update();
    } else if (inside) {
        SetDown(!down_);
        if (down_)
            repaint();
    } else {
        if (down_)
            state_ = fbsLatched;
        repaint();
    }
    // The click handler may delete this button.
    const QPointer<TFlatButton> self(this);
    if (inside)
        Click();
    else
        LeaveHot();
    if (self)
        UpdateHotTracking();
}

void TFlatButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    TControl::mouseDoubleClickEvent(event);
    if (down_)
        Fire(OnDblClick);
}

// ---------------------------------------------------------------------------
// Keyboard and focus

void TFlatButton::keyPressEvent(QKeyEvent *event)
{
    // Only the space key; every other key ends here too, unhandled.
    if (event->key() != Qt::Key_Space)
        return;
    if (groupIndex_ != 0)
        SetDown(true);
    else
        state_ = fbsPressed;
    update();
}

void TFlatButton::keyReleaseEvent(QKeyEvent *event)
{
    // A held key repeats only its press, as on the desktop this button copies.
    if (event->key() != Qt::Key_Space || event->isAutoRepeat())
        return;
    if (groupIndex_ != 0)
        SetDown(false);
    else
        state_ = fbsUp;
    const QPointer<TFlatButton> self(this);
    Click();
    if (self)
        update();
}

void TFlatButton::focusInEvent(QFocusEvent *event)
{
    TControl::focusInEvent(event);
    if (!isEnabled())
        return;
    // Focus that comes back with the window (after a dialog, say) tells
    // nothing about the pointer: the button is hot only if the pointer is on it.
    if (event->reason() == Qt::ActiveWindowFocusReason) {
        UpdateHotTracking();
        return;
    }
    // Otherwise the hot look shows the focus, unless the pointer is lighting
    // another button. A button the pointer lit keeps its timer.
    if (hover_->hot && hover_->hot != this && hover_->hot->hot_)
        return;
    TakeHot(hover_->hot == this && hover_->timer.isActive());
}

void TFlatButton::focusOutEvent(QFocusEvent *event)
{
    TControl::focusOutEvent(event);
    LeaveHot();
}

// ---------------------------------------------------------------------------
// Notifications

void TFlatButton::EnabledChanged()
{
    TControl::EnabledChanged();
    if (!isEnabled()) {
        hot_ = false;
        state_ = fbsDisabled;
        StopHoverTimer();
    }
    UpdateHotTracking();
    update();
}

void TFlatButton::ParentColorChanged()
{
    TControl::ParentColorChanged();
    if (useAdvColors_) {
        SetParentColor(true);
        ApplyAdvColors();
    }
    update();
}

void TFlatButton::SysColorChange()
{
    if (useAdvColors_) {
        SetParentColor(true);
        ApplyAdvColors();
    }
    update();
}

void TFlatButton::Loaded()
{
    TControl::Loaded();
    update();
}

void TFlatButton::moveEvent(QMoveEvent *event)
{
    TControl::moveEvent(event);
    if (transparentMode_ != tmNone)
        update();
}

void TFlatButton::resizeEvent(QResizeEvent *event)
{
    TControl::resizeEvent(event);
    if (transparentMode_ != tmNone)
        update();
}

} // namespace flat
