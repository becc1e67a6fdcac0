// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Puts the application's hint settings back as they were when it goes: the
// tests share one application object.
#include "framework/TApplication.h"

class HintSettings {
public:
    HintSettings()
        : showHint_(app().ShowHint()), pause_(app().HintPause()), shortPause_(app().HintShortPause()),
          hidePause_(app().HintHidePause()), color_(app().HintColor()), windowClass_(app().HintWindowClass()),
          onShowHint_(app().OnShowHint), mainForm_(app().MainForm())
    {
        app().StartHintTracking(); // as the program's application does from the start
    }
    ~HintSettings()
    {
        app().CancelHint();
        app().SetHintWindowClass(windowClass_);
        app().SetShowHint(!showHint_); // a fresh window of the restored class
        app().SetShowHint(showHint_);
        app().SetHintPause(pause_);
        app().SetHintShortPause(shortPause_);
        app().SetHintHidePause(hidePause_);
        app().SetHintColor(color_);
        app().OnShowHint = onShowHint_;
        app().SetMainForm(mainForm_);
    }
    HintSettings(const HintSettings &) = delete;
    HintSettings &operator=(const HintSettings &) = delete;

private:
    static framework::TApplication &app() { return framework::Application(); }

    bool showHint_;
    int pause_, shortPause_, hidePause_;
    framework::TColor color_;
    framework::THintWindowClass windowClass_;
    framework::TShowHintEvent onShowHint_;
    QWidget *mainForm_;
};
