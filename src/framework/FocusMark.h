// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// When a control shows that it has the keyboard focus: once the focus came
// by the keyboard (Tab, a shortcut) or a key was pressed in the control, and
// until the focus leaves or the mouse is pressed in it. Focus that follows
// the mouse or the window's activation shows no mark, so the picture of a
// window at rest stays as it is; a menu or another window taking the focus
// for a while leaves the mark as it was for when the focus returns.
#include <QWidget>

namespace framework {

class FocusMark {
public:
    // Whether the mark is due; it shows while the control has the focus.
    bool Shown() const { return shown_; }

    // Each repaints w when the mark comes or goes.
    void FocusIn(Qt::FocusReason reason, QWidget *w)
    {
        if (!Passing(reason))
            Set(reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason,
                w);
    }
    void FocusOut(Qt::FocusReason reason, QWidget *w)
    {
        if (!Passing(reason))
            Set(false, w);
    }
    void KeyPressed(QWidget *w) { Set(true, w); }
    void MousePressed(QWidget *w) { Set(false, w); }

private:
    static bool Passing(Qt::FocusReason reason)
    {
        return reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason;
    }
    void Set(bool shown, QWidget *w)
    {
        if (shown == shown_)
            return;
        shown_ = shown;
        w->update();
    }

    bool shown_ = false;
};

} // namespace framework
