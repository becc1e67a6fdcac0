// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the main window's tests share: a window on its own settings file in a
// temporary folder, message boxes answered by a stand-in, the list read back,
// and drags delivered as the desktop delivers them.
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <memory>

#include "Fakes.h"
#include "app/MainWindow.h"
#include "framework/TApplication.h"

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        framework::Application().SetTitle(QStringLiteral("Zantrope"));
        form = std::make_unique<app::TForm1>(Name(path(QStringLiteral("misuc.dat"))));
    }

    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    QStringList captions() const
    {
        QStringList c;
        for (int i = 0; i < form->Lv1->Count(); ++i)
            c << form->Lv1->ItemCaption(i);
        return c;
    }
    QList<int> icons() const
    {
        QList<int> c;
        for (int i = 0; i < form->Lv1->Count(); ++i)
            c << form->Lv1->ItemImageIndex(i);
        return c;
    }
    QTreeWidget *view() const { return form->Lv1->View(); }

    QTemporaryDir dir;
    FakeMessageBoxes boxes;
    platform::Override<platform::MessageBoxes> boxesOverride{boxes};
    std::unique_ptr<app::TForm1> form;
};

// A drag that enters target at pos, moves and drops there, proposing an
// action; the action the drop was taken with, or none.
inline Qt::DropAction DropOnto(QWidget *target, const QMimeData &mime, QPoint pos,
                               Qt::DropAction proposed = Qt::CopyAction)
{
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(pos, offered, &mime, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(proposed);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(pos, offered, &mime, Qt::LeftButton, Qt::NoModifier);
    move.setDropAction(proposed);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(pos, offered, &mime, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(proposed);
    QApplication::sendEvent(target, &drop);
    return enter.isAccepted() && drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

inline Qt::DropAction DropOnto(QWidget *target, const QMimeData &mime)
{
    return DropOnto(target, mime, target->rect().center());
}
