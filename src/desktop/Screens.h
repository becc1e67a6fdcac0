// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop's screens: the primary screen's size and every screen's
// geometry in virtual desktop pixels. Tests fix them with ScreenOverride.
#include <QList>
#include <QRect>
#include <QSize>
#include <optional>

namespace platform {

// Size of the primary screen; empty when there is no screen.
QSize PrimaryScreenSize();

// Geometry of every screen, the primary one first.
QList<QRect> ScreenGeometries();

// While it lives, the functions above report the given screens instead of the
// real ones (the first is the primary). Overrides nest; each restores the one before.
class ScreenOverride {
public:
    explicit ScreenOverride(QList<QRect> screens);
    ~ScreenOverride();
    ScreenOverride(const ScreenOverride &) = delete;
    ScreenOverride &operator=(const ScreenOverride &) = delete;

private:
    std::optional<QList<QRect>> previous_;
};

} // namespace platform
