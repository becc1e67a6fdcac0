// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application object: title, main form, the
// standard error box for exceptions that escape a handler, and the hints.
#include <QApplication>
#include <QPointer>
#include <QString>
#include <exception>
#include <utility>

#include "framework/ErrorBox.h"
#include "framework/THintWindow.h"

class QWidget;

namespace framework {

class HintTracker;

class TApplication {
public:
    // The caption of the standard error box. Windows keep their own titles:
    // it is not Qt's display name, which the desktop appends to every title.
    QString Title() const { return ErrorBox().Caption(); }
    void SetTitle(const QString &title) { ErrorBox().SetCaption(title); }

    // The form the error box and the hints belong to.
    QWidget *MainForm() const { return ErrorBox().Owner(); }
    void SetMainForm(QWidget *form) { ErrorBox().SetOwner(form); }

    // Minimizes the application's main window; its taskbar entry restores it.
    void Minimize();

    // Gives Qt's own widgets (dialogs, the list, message boxes) the colours of
    // the system colour table, so they match the controls that paint themselves.
    static void ApplySystemPalette();

    // The standard error box (see TErrorBox), for the code above the controls.
    void ShowException(const QString &message) { ErrorBox().Show(message); }
    template <class F>
    bool Guard(F &&f)
    {
        return ErrorBox().Guard(std::forward<F>(f));
    }
    static QString ErrorBoxText(const QString &message) { return TErrorBox::TextFor(message); }

    // Hints. While the pointer rests on a control whose ShowHint is on and
    // whose hint (or an ancestor's) is not empty, the hint shows after
    // HintPause ms, or after HintShortPause ms when it moves on from a hint
    // that is showing; it hides after HintHidePause ms, when the pointer leaves
    // the control, and on a mouse press or a key.
    bool ShowHint() const { return showHint_; }
    // On: a new hint window of HintWindowClass() in HintColor(); off: the
    // hint window is destroyed.
    void SetShowHint(bool value);
    TColor HintColor() const { return hintColor_; }
    void SetHintColor(TColor color);
    int HintPause() const { return hintPause_; }
    void SetHintPause(int ms) { hintPause_ = ms; }
    int HintShortPause() const { return hintShortPause_; }
    void SetHintShortPause(int ms) { hintShortPause_ = ms; }
    int HintHidePause() const { return hintHidePause_; }
    void SetHintHidePause(int ms) { hintHidePause_ = ms; }
    // Takes effect when hint display is next switched on.
    THintWindowClass HintWindowClass() const { return hintWindowClass_; }
    void SetHintWindowClass(THintWindowClass windowClass);
    TShowHintEvent OnShowHint;

    // The current hint window; none while hint display is off.
    THintWindow *HintWindow() const { return hintWindow_; }
    // The control whose hint is pending or shown, and whether a hint is on
    // the screen.
    TControl *HintControl() const;
    bool HintShowing() const;

    // Shows text below control in a hint window of its own for HintHidePause
    // ms, whatever the pointer does meanwhile: a notice, not a control's hint.
    void ShowNotice(QWidget *control, const QString &text);
    // The notice on the screen, or none.
    THintWindow *Notice() const;
    void HideNotice();

    // Hides the hint and forgets its control.
    void CancelHint();
    // Hides the hint window; its control stays, so the hint does not come
    // back before the pointer moves to another control.
    void HideHint();
    // Shows the pending control's hint for the pointer at cursorPos (screen
    // pixels) when the pointer is still over that control.
    void ActivateHint(QPoint cursorPos);
    // The pointer is over target (any widget, or none).
    void HintMouseMessage(QWidget *target);
    // Starts watching the pointer for hints; TQtApplication does it at once,
    // and switching hint display on does it too.
    void StartHintTracking();

    // The hint timer, for tests: whether it runs, its interval, and running
    // its tick at once.
    bool HintTimerActive() const;
    int HintTimerInterval() const;
    void FireHintTimer();

    // Destroys the hint window while the Qt application still exists.
    void DestroyHintWindow();

    // The nearest of w and its ancestors (within its window) that is a
    // control with ShowHint on.
    static TControl *GetHintControl(QWidget *w);
    // The hint of control, or of its nearest ancestor that has one.
    static QString GetHint(TControl *control);

private:
    enum class HintTimerMode { Initial, Immediate, Hide };
    void StartHintTimer(int ms, HintTimerMode mode);
    void StopHintTimer();
    void HintTimerTick();
    HintTracker *Tracker();

    bool showHint_ = true;
    TColor hintColor_ = clInfoBk;
    int hintPause_ = 500;
    int hintShortPause_ = 50;
    int hintHidePause_ = 2500;
    THintWindowClass hintWindowClass_ = &CreateHintWindow<THintWindow>;
    QPointer<THintWindow> hintWindow_;
    QPointer<THintWindow> noticeWindow_;
    QPointer<HintTracker> tracker_;
    QPointer<TControl> hintControl_;
    HintTimerMode timerMode_ = HintTimerMode::Initial;
    TRect hintCursorRect_; // screen pixels
};

TApplication &Application();

// The program's QApplication: hints are watched from the start, and the hint
// windows go before Qt does. Exceptions are caught where each event handler
// is called (Guard), never in Qt's event delivery.
class TQtApplication : public QApplication {
public:
    TQtApplication(int &argc, char **argv);
    ~TQtApplication() override;
};

} // namespace framework
