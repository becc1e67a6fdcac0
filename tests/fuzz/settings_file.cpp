// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: any bytes in misuc.dat, read as the window reads it at
// start and written back as it writes at closing. A name read must come back
// whole from the file written.
#include "FuzzFiles.h"
#include "core/Settings.h"
#include "platform/Exceptions.h"

namespace {

class Window final : public app::SettingsTarget {
public:
    QRect frame{46, 103, 566, 439};
    platform::FileName outputName, openPath;
    bool oneMovie = false;

    QRect FrameGeometry() const override { return frame; }
    QRect MoveHandle() const override { return {0, 0, frame.width(), 21}; }
    QList<QRect> Screens() const override { return {QRect(0, 0, 1024, 768), QRect(1024, 0, 1280, 1024)}; }
    void SetTop(int top) override { frame.moveTop(top); }
    void SetLeft(int left) override { frame.moveLeft(left); }
    platform::FileName OutputName() const override { return outputName; }
    void SetOutputName(const platform::FileName &name) override { outputName = name; }
    platform::FileName OpenPath() const override { return openPath; }
    void SetOpenDialogFolder(const platform::FileName &folder) override { openPath = folder; }
    bool JoinAsOneMovie() const override { return oneMovie; }
    void SetJoinAsOneMovie(bool on) override { oneMovie = on; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const platform::FileName path = fuzz::Scratch("misuc.dat", data, size);
    Window read;
    try {
        app::ReadSettings(path, read);
        app::WriteSettings(path, read);
    } catch (const platform::Exception &) {
        return 0; // refused, as a file too large or a name that breaks a line is
    }
    Window again;
    app::ReadSettings(path, again);
    if (again.outputName != read.outputName || again.openPath != read.openPath || again.oneMovie != read.oneMovie)
        fuzz::Broken("the settings written read back as they were");
    return 0;
}
