// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop's opener of files and addresses, which starts the program
// associated with a file's type, or the browser: xdg-open on Linux, the
// shell on Windows.
#include <QString>
#include <functional>

class QUrl;

namespace platform {

// Hands url to the opener; false when there is none. Where the opener tells
// only later that it could not open url (xdg-open knows no program for the
// type), failed gets its reason then, on the GUI thread. Never waits.
bool StartOpener(const QUrl &url, std::function<void(const QString &reason)> failed);

// Where the opener comes from, for a message that says none was found.
QString OpenerAdvice();

} // namespace platform
