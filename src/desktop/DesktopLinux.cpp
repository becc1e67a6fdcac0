// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop services on Linux.
#include "desktop/Desktop.h"
#include "desktop/DesktopSystem.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace platform {

QFileDialog::Options detail::FileDialogOptions() { return QFileDialog::DontUseNativeDialog; }

QStringList detail::DialogPatterns(const QStringList &patterns) { return CaseInsensitivePatterns(patterns); }

namespace {

// xdg-open's exit statuses, as its manual lists them.
QString ReasonFor(int status)
{
    switch (status) {
    case 2: return QStringLiteral("It does not exist.");
    case 3: return QStringLiteral("No program for this kind of file or address is installed.");
    case 4: return QStringLiteral("The program that opens it failed.");
    default: return QStringLiteral("xdg-open ended with status %1.").arg(status);
    }
}

} // namespace

bool detail::StartOpener(const QUrl &url, std::function<void(const QString &reason)> failed)
{
    // Qt starts xdg-open and forgets it, so it never learns that xdg-open
    // found no program ("no method available", status 3); run here, its
    // status is heard.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return QDesktopServices::openUrl(url); // a desktop's own opener or a browser, if any
    // Owned by no one: were the program to end first, deleting xdg-open's
    // process would kill it, and with it the player it may be waiting for.
    auto *process = new QProcess;
    process->setProgram(opener);
    process->setArguments({QString::fromLatin1(url.toEncoded())});
    process->setStandardInputFile(QProcess::nullDevice());
    // No pipes: a player xdg-open waits for keeps writing where the program
    // would, also after the program has ended.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(process, &QProcess::finished, process, [process, failed](int status, QProcess::ExitStatus how) {
        process->deleteLater();
        if (how != QProcess::NormalExit)
            failed(QStringLiteral("xdg-open ended abnormally."));
        else if (status != 0)
            failed(ReasonFor(status));
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, failed](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // the end follows through finished
        process->deleteLater();
        failed(process->errorString());
    });
    // Ending now, the program wants no more news of it.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, process,
                     [process] { process->disconnect(); });
    process->start();
    return true;
}

QString detail::NoOpenerDetails()
{
    return QStringLiteral("Files and addresses are opened through xdg-open, from the package xdg-utils.");
}

// Qt gives no way to the launchers' progress on Linux desktops: the
// window's title tells how far a join is (JoinProgressView).
Taskbar &detail::SystemTaskbar()
{
    class NoProgress final : public Taskbar {
    public:
        void ShowProgress(QWidget *, TaskbarProgress, int) override {}
    };
    static NoProgress taskbar;
    return taskbar;
}

QUrl UrlOfFile(const FileName &path)
{
    return QUrl::fromEncoded("file://" + AbsoluteName(path).Bytes().toPercentEncoding("/"), QUrl::StrictMode);
}

} // namespace platform
