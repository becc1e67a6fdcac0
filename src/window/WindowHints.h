// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's hints whose text depends on where the pointer is and on
// the join: an item's whole name with its clip's length and format, the
// progress in words or the list at rest, and the advice added to the notice
// of a byte join that players would show wrongly.
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
    // bars: the progress bars, whose hint is the progress.
    WindowHints(JoinSession &session, framework::TListView *list, QList<QWidget *> bars,
                const JoinProgressView &progress, QObject *parent);

    // The flat hint window's OnShowHint.
    void Show(QString &hint, bool &canShow, framework::THintInfo &info) const;
    // The running join in words, or the list at rest.
    QString ProgressHint() const;
    // Reads the inputs' formats off the GUI thread and, where players would
    // show the byte join wrongly, adds a line saying so to the notice at
    // anchor, if it still shows summary by then.
    void AddByteJoinHint(QWidget *anchor, const QString &summary);

private:
    JoinSession &session_;
    framework::TListView *list_;
    QList<QWidget *> bars_;
    const JoinProgressView &progress_;
    ClipFactsReader *clips_;
};

} // namespace app
