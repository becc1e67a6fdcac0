// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/Screens.h"

#include <QGuiApplication>
#include <QScreen>
#include <utility>

namespace platform {
namespace {

std::optional<QList<QRect>> &overridden()
{
    static std::optional<QList<QRect>> screens;
    return screens;
}

} // namespace

QList<QRect> ScreenGeometries()
{
    if (overridden())
        return *overridden();
    QList<QRect> result;
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (primary)
        result.append(primary->geometry());
    for (const QScreen *screen : QGuiApplication::screens()) {
        if (screen != primary)
            result.append(screen->geometry());
    }
    return result;
}

QSize PrimaryScreenSize()
{
    const QList<QRect> screens = ScreenGeometries();
    return screens.isEmpty() ? QSize() : screens.first().size();
}

ScreenOverride::ScreenOverride(QList<QRect> screens) : previous_(std::exchange(overridden(), std::move(screens))) {}

ScreenOverride::~ScreenOverride() { overridden() = std::move(previous_); }

} // namespace platform
