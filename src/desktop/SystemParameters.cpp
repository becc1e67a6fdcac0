// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/SystemParameters.h"

#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <cmath>

#include "desktop/SysColors.h"

namespace platform {
namespace {

NonClientMetricsProvider &provider()
{
    static NonClientMetricsProvider p;
    return p;
}

int &displayBits()
{
    static int bits = 0;
    return bits;
}

LogFont fromQFont(const QFont &f)
{
    LogFont lf;
    lf.faceName = f.family();
    if (f.pixelSize() > 0)
        lf.height = -f.pixelSize();
    else
        lf.height = -static_cast<int>(std::lround(f.pointSizeF() * 96.0 / 72.0));
    lf.weight = f.bold() ? 700 : 400;
    lf.italic = f.italic();
    lf.underline = f.underline();
    lf.strikeOut = f.strikeOut();
    return lf;
}

// The desktop's answer: the application's fonts for menus and the rest.
bool desktopMetrics(NonClientMetrics &out)
{
    if (!qApp)
        return false;
    out.menuFont = fromQFont(QApplication::font("QMenu"));
    out.captionFont = fromQFont(QApplication::font());
    out.statusFont = fromQFont(QApplication::font("QStatusBar"));
    out.messageFont = fromQFont(QApplication::font("QMessageBox"));
    return true;
}

} // namespace

bool GetNonClientMetrics(NonClientMetrics &out)
{
    if (out.cbSize != NONCLIENTMETRICS_SIZE && out.cbSize != NONCLIENTMETRICS_SIZE_PADDED)
        return false;
    NonClientMetrics answer;
    answer.cbSize = out.cbSize;
    const bool ok = provider() ? provider()(answer) : desktopMetrics(answer);
    if (ok)
        out = answer;
    return ok;
}

void SetNonClientMetricsProvider(NonClientMetricsProvider p) { provider() = std::move(p); }

int DisplayBitsPerPixel() { return displayBits() > 0 ? displayBits() : ScreenBitsPerPixel(); }

void SetDisplayBitsPerPixel(int bits) { displayBits() = bits > 0 ? bits : 0; }

} // namespace platform
