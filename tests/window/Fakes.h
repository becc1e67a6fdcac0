// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stand-ins for the person at the dialogs and for the desktop.
#include <QFile>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "TestFiles.h"
#include "desktop/Desktop.h"

struct FakeDialogs : platform::Dialogs {
    std::deque<QStringList> openAnswers;
    std::deque<QString> saveAnswers, folderAnswers;
    std::vector<platform::OpenDialogRequest> openRequests;
    std::vector<platform::SaveDialogRequest> saveRequests;
    QStringList folderTitles;

    std::vector<platform::FileName> Open(QWidget *, const platform::OpenDialogRequest &r) override
    {
        openRequests.push_back(r);
        std::vector<platform::FileName> names;
        if (!openAnswers.empty()) {
            for (const QString &a : openAnswers.front())
                names.push_back(Name(a));
            openAnswers.pop_front();
        }
        return names;
    }
    platform::FileName Save(QWidget *, const platform::SaveDialogRequest &r) override
    {
        saveRequests.push_back(r);
        if (saveAnswers.empty())
            return {};
        QString a = saveAnswers.front();
        saveAnswers.pop_front();
        return Name(a);
    }
    platform::FileName BrowseFolder(QWidget *, const QString &title) override
    {
        folderTitles << title;
        if (folderAnswers.empty())
            return {};
        QString a = folderAnswers.front();
        folderAnswers.pop_front();
        return Name(a);
    }
};

struct Box {
    QString text, caption;
    platform::MsgIcon icon;
    QString details;
};

struct FakeMessageBoxes : platform::MessageBoxes {
    std::vector<Box> shown;
    std::vector<platform::Question> asked;
    std::deque<int> answers; // the person's answers; without one, Enter
    void Show(QWidget *, const QString &text, const QString &caption, platform::MsgIcon icon,
              const QString &details) override
    {
        shown.push_back({text, caption, icon, details});
    }
    // With pose set, a posed question waits until the test answers it through pending.
    bool pose = false;
    std::function<void(int)> pending;
    void Pose(QWidget *owner, const platform::Question &q, std::function<void(int)> answered) override
    {
        if (!pose)
            return MessageBoxes::Pose(owner, q, std::move(answered));
        asked.push_back(q);
        pending = std::move(answered);
    }
    int Ask(QWidget *, const platform::Question &q) override
    {
        asked.push_back(q);
        if (answers.empty())
            return q.DefaultAnswer;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
};

// The taskbar's states in the order shown, each change once.
struct FakeTaskbar : platform::Taskbar {
    std::vector<platform::TaskbarProgress> states;
    void ShowProgress(QWidget *, platform::TaskbarProgress state, int) override
    {
        if (states.empty() || states.back() != state)
            states.push_back(state);
    }
};

struct FakeShell : platform::Shell {
    QStringList files, addresses;
    void OpenFile(QWidget *, const platform::FileName &path, const platform::OpenFailed &) override
    {
        files << path.Display();
    }
    void OpenAddress(QWidget *, const QString &url, const platform::OpenFailed &) override { addresses << url; }
};
