// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window the application shows a control's hint in, and what the
// application tells the show-hint event about a hint about to show.
#include <QPoint>
#include <QString>
#include <QWidget>
#include <functional>

#include "framework/Controls.h"
#include "framework/TCanvas.h"
#include "framework/TColor.h"
#include "framework/TRect.h"

namespace framework {

// The details of a hint about to show; the show-hint event may change them.
struct THintInfo {
    TControl *HintControl = nullptr;
    QPoint HintPos; // screen point the hint window's rectangle starts at
    int HintMaxWidth = 0;
    TColor HintColor = clInfoBk;
    TRect CursorRect;    // while the cursor stays in it (control pixels), the hint stays
    QPoint CursorPos;    // in the control's pixels
    int HideTimeout = 0; // ms until the hint hides itself; 0 or less: never
    QString HintStr;
};

// Called before each hint: may change the text, clear canShow to suppress
// the hint, or change the details.
using TShowHintEvent = std::function<void(QString &hintStr, bool &canShow, THintInfo &hintInfo)>;

// A borderless, top-most, non-activating popup that paints itself through
// its canvas. Derived classes change the look and the placement. Color and
// Caption are the control's: the hint's background and its text.
class THintWindow : public TCustomControl {
    Q_OBJECT
public:
    THintWindow();
    ~THintWindow() override;

    // The window rectangle (at 0, 0) that shows hint wrapped at maxWidth,
    // measured in the canvas's font.
    virtual TRect CalcHintRect(int maxWidth, const QString &hint);
    // Shows hint in rect (screen pixels), moved onto the screen if it sticks
    // out, without taking the focus.
    virtual void ActivateHint(const TRect &rect, const QString &hint);
    // Shows a notice about control in rect (screen pixels, below the
    // control); a look of its own may place it by the control instead.
    virtual void ActivateNotice(const TRect &rect, const QString &text, const QWidget *) { ActivateHint(rect, text); }

    // Hides the window and gives its desktop window back; the next
    // activation makes a new one.
    void ReleaseHandle();
    bool HandleAllocated() const { return handleAllocated_; }

    // A notice tells the end of something the person started: screen
    // readers hear it as an alert, not as a hint.
    bool IsNotice() const { return notice_; }
    void SetNotice(bool value) { notice_ = value; }

protected:
    struct TCreateParams {
        Qt::WindowFlags Flags;
        bool Border = true; // a one-pixel ring in clWindowFrame inside the bounds
    };
    // Asked once before the desktop window is made.
    virtual void CreateParams(TCreateParams &params);
    void Paint(TCanvas &canvas) const override;

    bool Border() const { return border_; }
    // Makes the desktop window from CreateParams unless it exists.
    void CreateHandle();
    // Moves to rect (screen pixels) and shows without activating, on top.
    void ShowAt(const TRect &rect);

private:
    bool border_ = true;
    bool handleAllocated_ = false;
    bool notice_ = false;
};

// The hint window class of the application: makes a new hint window.
using THintWindowClass = THintWindow *(*)();

template <class T>
THintWindow *CreateHintWindow()
{
    return new T;
}

} // namespace framework
