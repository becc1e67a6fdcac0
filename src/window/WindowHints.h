// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's hints whose text depends on where the pointer is and on
// the join: an item's whole name with its clip's length and format, the
// join the planner chose for the list (at Join Now and, at rest, at the
// bars), the progress in words or the list at rest, and the advice added to
// the notice of a byte join that players would show wrongly.
#include <QObject>
#include <QString>

#include "core/ClipFactsReader.h"
#include "core/JoinSession.h"
#include "framework/THintWindow.h"
#include "framework/TListView.h"
#include "window/SessionViews.h"

namespace app {

class WindowHints : public QObject {
public:
    // bars: the progress bars, whose hint is the progress; joinNow: the
    // button whose hint is the join it would start.
    WindowHints(JoinSession &session, framework::TListView *list, QList<QWidget *> bars, QWidget *joinNow,
                const JoinProgressView &progress, QObject *parent);

    // The flat hint window's OnShowHint.
    void Show(QString &hint, bool &canShow, framework::THintInfo &info) const;
    // "Join as one movie: 3 clips, 0:21", "Join byte for byte: 3 files":
    // the planner's choice, so that a mode kept from an earlier session shows.
    QString JoinHint() const;
    // The running join in words; at rest the join and the list.
    QString ProgressHint() const;
    // Reads the inputs' formats off the GUI thread and, where players would
    // show the byte join wrongly, adds a line saying so to the notice at
    // anchor, if it still shows summary by then.
    void AddByteJoinHint(QWidget *anchor, const QString &summary);

private:
    JoinSession &session_;
    framework::TListView *list_;
    QList<QWidget *> bars_;
    QWidget *joinNow_;
    const JoinProgressView &progress_;
    ClipFactsReader *clips_;
};

} // namespace app
