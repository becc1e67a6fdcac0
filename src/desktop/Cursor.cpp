// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/Cursor.h"

#include <QCursor>
#include <utility>

namespace platform {
namespace {

std::optional<QPoint> &overridden()
{
    static std::optional<QPoint> pos;
    return pos;
}

} // namespace

QPoint GetCursorPos() { return overridden() ? *overridden() : QCursor::pos(); }

CursorOverride::CursorOverride(QPoint pos) : previous_(std::exchange(overridden(), pos)) {}

CursorOverride::~CursorOverride() { overridden() = previous_; }

void CursorOverride::MoveTo(QPoint pos) { overridden() = pos; }

} // namespace platform
