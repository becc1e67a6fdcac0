// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the window system lets a program do with its windows. On Wayland a
// window never learns where it is on the screen, and only the compositor
// moves windows; on X11 both are the program's. Tests choose the answers
// with WindowSystemOverride.
#include <QRect>
#include <optional>

class QWidget;
class QWindow;

namespace platform {

// Whether window positions can be read and set: false on Wayland, where
// every window reports 0/0 and a move is ignored.
bool WindowPositionsKnown();

// Hands window to the desktop to move with the pointer while the button is
// held. False where the desktop does not offer it (a bare X server with no
// window manager, offscreen): the program then moves the window itself.
bool StartSystemMove(QWindow *window);

// The rectangle a hint at point (screen pixels) is placed within: where
// positions are known the screen that holds point, or the primary screen
// when none does; otherwise the window of near (or the active window), the
// only frame of reference there is. Empty when there is none.
QRect HintArea(const QWidget *near, QPoint point);

// While it lives, the functions above answer as given instead of asking the
// window system; StartSystemMove then counts its calls. Overrides nest.
class WindowSystemOverride {
public:
    WindowSystemOverride(bool positionsKnown, bool systemMoves);
    ~WindowSystemOverride();
    WindowSystemOverride(const WindowSystemOverride &) = delete;
    WindowSystemOverride &operator=(const WindowSystemOverride &) = delete;

    int SystemMoves() const { return moves_; }

    struct Answers {
        bool positionsKnown;
        bool systemMoves;
        WindowSystemOverride *owner;
    };

private:
    friend bool StartSystemMove(QWindow *);
    std::optional<Answers> previous_;
    int moves_ = 0;
};

} // namespace platform
