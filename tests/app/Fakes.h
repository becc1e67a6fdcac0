#pragma once
// Stand-ins for the person at the dialogs and for the desktop.
#include <QFile>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "TestFiles.h"
#include "platform/Desktop.h"

struct FakeDialogs : platform::Dialogs {
    std::deque<QStringList> openAnswers;
    std::deque<QString> saveAnswers, folderAnswers;
    std::vector<platform::OpenDialogRequest> openRequests;
    std::vector<platform::SaveDialogRequest> saveRequests;
    QStringList folderTitles;

    QStringList Open(QWidget *, const platform::OpenDialogRequest &r) override
    {
        openRequests.push_back(r);
        if (openAnswers.empty())
            return {};
        QStringList a = openAnswers.front();
        openAnswers.pop_front();
        return a;
    }
    QString Save(QWidget *, const platform::SaveDialogRequest &r) override
    {
        saveRequests.push_back(r);
        if (saveAnswers.empty())
            return {};
        QString a = saveAnswers.front();
        saveAnswers.pop_front();
        return a;
    }
    QString BrowseFolder(QWidget *, const QString &title) override
    {
        folderTitles << title;
        if (folderAnswers.empty())
            return {};
        QString a = folderAnswers.front();
        folderAnswers.pop_front();
        return a;
    }
};

struct Box {
    QString text, caption;
    platform::MsgIcon icon;
};

struct FakeMessageBoxes : platform::MessageBoxes {
    std::vector<Box> shown;
    void Show(QWidget *, const QString &text, const QString &caption, platform::MsgIcon icon) override
    {
        shown.push_back({text, caption, icon});
    }
};

struct FakeShell : platform::Shell {
    QStringList files, addresses;
    void OpenFile(QWidget *, const QString &path) override { files << path; }
    void OpenAddress(QWidget *, const QString &url) override { addresses << url; }
};
