// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Controls of the main window that show a part of the join session and hand
// the person's changes back to it.
#include <QElapsedTimer>
#include <QObject>
#include <exception>
#include <vector>

#include "core/JoinProgress.h"
#include "core/JoinSession.h"
#include "core/Settings.h"
#include "desktop/Desktop.h"
#include "flat/TFlatComboBoxUnit.h"
#include "flat/TFlatProgressBarUnit.h"
#include "framework/TListView.h"

namespace app {

// The movie list shows the session's inputs by their readable names, each
// with its icon: 0 queued, 1 joined. Icons turn back to queued when a join
// starts and turn to joined as each file is done.
class InputListView : public QObject {
public:
    InputListView(JoinSession &session, framework::TListView *list);

private:
    JoinSession &session_;
    framework::TListView *list_;
};

// The output box shows the session's output name. A name the program put
// there keeps its bytes; typed text stands for what it names. Its list holds
// the recent outputs, the newest last.
class OutputNameBox : public QObject {
public:
    OutputNameBox(JoinSession &session, flat::TFlatComboBox *box);
    // The output name; throws when the typed text could stand for several files.
    platform::FileName Name() const;
    void SetName(const platform::FileName &name);
    // Remembers name as the newest recent output and shows it.
    void AddChoice(const platform::FileName &name);
    // Remembers name as the newest recent output; one already in the list
    // moves to its end, and the oldest goes beyond MaxRecentOutputs.
    void Remember(const platform::FileName &name);
    const std::vector<platform::FileName> &Recent() const { return choices_; }
    // Remembers each of names, oldest first, as the settings keep them.
    void SetRecent(const std::vector<platform::FileName> &names);
    // Stops following the box's edits: for a form whose session is going.
    void Detach();

private:
    void Edited();

    JoinSession &session_;
    flat::TFlatComboBox *box_;
    std::vector<platform::FileName> choices_; // the box's list, as names
    std::exception_ptr problem_;              // typed text that names no one file
};

// The two bars show the running join by files and by bytes of the current
// file, the window's title tells it in words a few times a second, and the
// window's button in the taskbar shows it too: paused while the stop
// question is open, red after a failed join until the next one starts.
class JoinProgressView : public QObject {
public:
    JoinProgressView(JoinSession &session, flat::TFlatProgressBar *files, flat::TFlatProgressBar *bytes,
                     QWidget *window);
    // A join of files inputs starts now.
    void Start(int files);
    // "File 2 of 5 · 1.2 of 3.4 GB · 85 MB/s · 0:12 left"; "Joined 5 files (3.4 GB) in 0:41"
    QString Details() const { return progress_.Details(clock_.elapsed()); }
    QString Summary() const { return progress_.Summary(clock_.elapsed()); }
    // The join waits for the person's answer to the stop question, or goes
    // on; the time it waits tells nothing of its rate.
    void SetPaused(bool paused);

private:
    void ShowWords(bool now);
    void ShowOnTaskbar(platform::TaskbarProgress state);

    flat::TFlatProgressBar *files_, *bytes_;
    QWidget *window_;
    JoinProgress progress_;
    QElapsedTimer clock_;
    qint64 fileBytes_ = 0; // of the file being joined
    qint64 wordsShownMs_ = -1;
    platform::TaskbarProgress taskbarState_ = platform::TaskbarProgress::None;
    int taskbarPercent_ = -1;
};

// "Stop joining?", asked as an ordinary box of the window: the join waits at
// its next block until the person answers, and the window goes on painting.
class StopQuestion : public QObject {
public:
    StopQuestion(JoinSession &session, JoinProgressView &progress, QWidget *window);
    // Asks while a join runs, unless the question is open already.
    void Ask();

private:
    JoinSession &session_;
    JoinProgressView &progress_;
    QWidget *window_;
    bool open_ = false;
};

} // namespace app
