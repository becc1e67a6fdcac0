// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file read anywhere in it: media readers look at a file's end (its length,
// its tags) and come back. Names are bytes; opening never waits on a pipe or
// a device, which are refused as the join refuses them.
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/FileName.h"

#include <QtGlobal>

namespace platform {

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(InputFile &&other) noexcept;
    InputFile &operator=(InputFile &&other) noexcept;
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    // An existing regular file, for reading. A folder is refused with code 5;
    // a pipe, socket or device is refused without being opened; failures are
    // EInOutError naming the file.
    static InputFile Open(const FileName &path);

    bool IsOpen() const { return fd_ >= 0; }
    const FileName &Path() const { return path_; }
    qint64 Size() const;
    FileId Identity() const;
    // Up to max bytes from the current position; 0 only at the end.
    qint64 Read(char *buffer, qint64 max);
    // Moves the position to offset bytes from the start; returns it.
    qint64 Seek(qint64 offset);
    qint64 Position() const;
    void Close() noexcept;

private:
    InputFile(int fd, FileName path) : fd_(fd), path_(std::move(path)) {}
    int fd_ = -1;
    FileName path_;
};

} // namespace platform
