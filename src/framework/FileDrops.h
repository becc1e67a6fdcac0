// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Files dropped from the file manager onto a window. Every drag that carries
// file addresses, over any widget of the window, is taken by the window: a
// file drop adds files and never inserts its text into a child such as an
// edit box (file managers send the addresses as text too).
#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

#include "platform/FileName.h"

class QWidget;

namespace framework {

class FileDropTarget : public QObject {
public:
    using DropHandler = std::function<void(const std::vector<platform::FileName> &names)>;
    // Watches the whole application for drags onto window, for window's life.
    FileDropTarget(QWidget *window, DropHandler onDrop);
    ~FileDropTarget() override;
    // A widget of the window that takes file drops itself (where they land
    // matters there); while it accepts drops, drags over it are its own.
    void Except(QWidget *site) { except_ = site; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> window_;
    QPointer<QWidget> except_;
    DropHandler onDrop_;
};

} // namespace framework
