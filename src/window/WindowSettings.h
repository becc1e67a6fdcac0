// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's settings file: read while the window is made, written
// once when it closes, or given up with the person's consent.
#include "platform/FileName.h"

class QWidget;

namespace platform {
class Exception;
}

namespace app {

class TForm1;

class WindowSettingsFile {
public:
    explicit WindowSettingsFile(platform::FileName path) : path_(std::move(path)) {}

    // Applies the stored settings to form. Throws platform::EInOutError
    // naming the file when it cannot be created.
    void Read(TForm1 &form) const;
    // Stores form's settings unless that was done or given up already. False
    // when they cannot be stored and the person keeps the window open to mend it.
    bool Write(TForm1 &form);

private:
    // Where the person cannot mend the cause, keeping the window open for
    // ever would trap them: they choose.
    bool CloseWithoutSettings(QWidget *owner, const platform::Exception &error) const;

    platform::FileName path_;
    bool done_ = false;
};

} // namespace app
