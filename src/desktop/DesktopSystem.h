// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the two halves of the desktop services (DesktopLinux.cpp and
// DesktopWin.cpp) tell the code they share in Desktop.cpp.
#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

#include "desktop/Desktop.h"

namespace platform::detail {

// The options every file dialog gets: on Windows the system's own dialog
// (Explorer's, with Quick access and search); on Linux Qt's, which looks
// alike on every desktop. Qt shows its own where the platform has none, as
// the offscreen platform of the tests.
QFileDialog::Options FileDialogOptions();

// The patterns a dialog's filter matches with: the system's dialog ignores
// case itself, Qt's is given each letter in both cases (CaseInsensitivePatterns).
QStringList DialogPatterns(const QStringList &patterns);

// The taskbar as this system has it.
Taskbar &SystemTaskbar();

// Hands url to the desktop's opener, which starts the program associated
// with a file's type, or the browser: xdg-open on Linux, the shell on
// Windows. False when there is none. Where the opener tells only later that
// it could not open url (xdg-open knows no program for the type), failed
// gets its reason then, on the GUI thread. Never waits.
bool StartOpener(const QUrl &url, std::function<void(const QString &reason)> failed);

// Why nothing opened a file or an address, as this system's desktop opens them.
QString NoOpenerDetails();

} // namespace platform::detail
