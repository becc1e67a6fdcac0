// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the main window's tests share: a window on its own settings file in a
// temporary folder, message boxes answered by a stand-in, the list read back,
// and drags delivered as the desktop delivers them.
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>

#include "Fakes.h"
#include "core/JoinEngine.h"
#include "framework/TApplication.h"
#include "window/MainWindow.h"

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        framework::Application().SetTitle(QStringLiteral("Zantrope"));
        form = std::make_unique<app::TForm1>(Name(path(QStringLiteral("misuc.dat"))));
    }

    // As the window shows names: with "\\" on Windows.
    QString path(const QString &name) const { return QDir::toNativeSeparators(dir.path() + QLatin1Char('/') + name); }
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
    // Waits until the session's scan or join has finished.
    void settle() const
    {
        if (form->Session().CurrentState() == app::JoinSession::State::Idle)
            return;
        QSignalSpy finished(&form->Session(), &app::JoinSession::finished);
        ASSERT_TRUE(finished.wait(60000));
    }

    // Every join of the window's session waits after its first block until
    // the window stops or resumes it, as while the stop question is open.
    void holdJoinsAtFirstBlock()
    {
        struct Hold final : app::JoinObserver {
            app::JoinSession &session;
            app::JoinObserver &next;
            std::atomic<int> &holds;
            bool held = false;
            Hold(app::JoinSession &s, app::JoinObserver &n, std::atomic<int> &h) : session(s), next(n), holds(h) {}
            void JoinStarted(qint64 total) override { next.JoinStarted(total); }
            void OutputCreated() override { next.OutputCreated(); }
            void FileStarted(int index, qint64 size) override { next.FileStarted(index, size); }
            void BlockCopied(int index, qint64 got) override
            {
                next.BlockCopied(index, got);
                if (!std::exchange(held, true)) {
                    session.Hold();
                    ++holds;
                }
            }
            void FileFinished(int index) override { next.FileFinished(index); }
            bool StopRequested() override { return next.StopRequested(); }
        };
        app::JoinSession &session = form->Session();
        session.WrapObserver([&session, this](app::JoinObserver &observer) -> std::unique_ptr<app::JoinObserver> {
            return std::make_unique<Hold>(session, observer, holds_);
        });
    }
    // Until the join is held and the window shows its first block.
    void waitForHeldJoin()
    {
        const int n = ++joinsHeld_;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return holds_ >= n && form->Fpbar2->Position() == app::JoinEngine::BlockSize &&
                       form->windowTitle() != framework::Application().Title();
            },
            10000));
    }
    QTemporaryDir dir;
    FakeMessageBoxes boxes;
    platform::Override<platform::MessageBoxes> boxesOverride{boxes};
    std::unique_ptr<app::TForm1> form;
    std::atomic<int> holds_ = 0;
    int joinsHeld_ = 0;
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
