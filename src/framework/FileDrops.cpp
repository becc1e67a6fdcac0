// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/FileDrops.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "framework/TApplication.h"

namespace framework {

FileDropTarget::FileDropTarget(QWidget *window, DropHandler onDrop)
    : QObject(window), window_(window), onDrop_(std::move(onDrop))
{
    qApp->installEventFilter(this);
}

FileDropTarget::~FileDropTarget() { qApp->removeEventFilter(this); }

bool FileDropTarget::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    auto *drag = static_cast<QDropEvent *>(event);
    if (!widget || !window_ || widget->window() != window_ || !drag->mimeData()->hasUrls())
        return false;
    if (widget == except_ && except_->acceptDrops())
        return false;
    // A copy, whatever the file manager proposes: after a move it would delete its files.
    drag->setDropAction(Qt::CopyAction);
    drag->accept();
    if (type == QEvent::Drop) {
        const std::vector<platform::FileName> names = platform::NamesFromUrls(drag->mimeData()->urls());
        Application().Guard([&] { onDrop_(names); });
    }
    return true;
}

} // namespace framework
