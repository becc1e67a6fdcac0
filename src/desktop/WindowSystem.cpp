// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/WindowSystem.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <utility>

#include "desktop/Screens.h"

namespace platform {
namespace {

std::optional<WindowSystemOverride::Answers> &overridden()
{
    static std::optional<WindowSystemOverride::Answers> answers;
    return answers;
}

} // namespace

bool WindowPositionsKnown()
{
    if (overridden())
        return overridden()->positionsKnown;
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool StartSystemMove(QWindow *window)
{
    if (overridden()) {
        ++overridden()->owner->moves_;
        return overridden()->systemMoves;
    }
    return window && window->startSystemMove();
}

QRect HintArea(const QWidget *near, QPoint point)
{
    if (WindowPositionsKnown()) {
        const QList<QRect> screens = ScreenGeometries();
        for (const QRect &screen : screens)
            if (screen.contains(point))
                return screen;
        return screens.isEmpty() ? QRect() : screens.first();
    }
    const QWidget *window = near ? near->window() : QApplication::activeWindow();
    return window ? window->frameGeometry() : QRect();
}

WindowSystemOverride::WindowSystemOverride(bool positionsKnown, bool systemMoves)
    : previous_(std::exchange(overridden(), Answers{positionsKnown, systemMoves, this}))
{}

WindowSystemOverride::~WindowSystemOverride() { overridden() = std::move(previous_); }

} // namespace platform
