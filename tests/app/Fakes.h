#pragma once
// Stand-ins for the person at the dialogs and for the desktop.
#include <QFile>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

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

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Bytes that differ from file to file, so order mistakes show.
inline QByteArray pattern(qsizetype size, int seed)
{
    QByteArray b(size, Qt::Uninitialized);
    quint32 x = 2463534242u + static_cast<quint32>(seed) * 7919u;
    for (qsizetype i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b[i] = static_cast<char>(x);
    }
    return b;
}
