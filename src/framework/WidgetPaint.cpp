// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/WidgetPaint.h"

#include <QPainter>

namespace framework {

void PaintWidgetInto(QWidget *widget, TCanvas &canvas, int x, int y)
{
    if (!widget)
        return;
    canvas.PaintWith(
        [&](QPainter &p) { widget->render(&p, QPoint(x, y), QRegion(widget->rect()), QWidget::DrawWindowBackground); });
}

} // namespace framework
