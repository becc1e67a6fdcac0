// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Lets a widget paint itself into a canvas: its background and its own
// drawing, without its child widgets.
#include <QWidget>

#include "framework/TCanvas.h"

namespace framework {

// The widget's (0, 0) lands on logical point (x, y) of the canvas; the
// canvas's viewport origin and clipping apply.
void PaintWidgetInto(QWidget *widget, TCanvas &canvas, int x = 0, int y = 0);

} // namespace framework
