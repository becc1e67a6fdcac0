// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the mouse pointer is, in virtual desktop pixels. Tests put it where
// they need it with CursorOverride, without moving the real pointer or
// generating mouse events.
#include <QPoint>
#include <optional>

namespace platform {

QPoint GetCursorPos();

// While it lives, GetCursorPos() reports the given position. Overrides nest;
// each restores the one before.
class CursorOverride {
public:
    explicit CursorOverride(QPoint pos);
    ~CursorOverride();
    CursorOverride(const CursorOverride &) = delete;
    CursorOverride &operator=(const CursorOverride &) = delete;

    void MoveTo(QPoint pos);

private:
    std::optional<QPoint> previous_;
};

} // namespace platform
