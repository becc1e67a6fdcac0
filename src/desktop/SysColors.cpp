// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/SysColors.h"

#include <QGuiApplication>
#include <QScreen>
#include <array>

namespace platform {
namespace {

// Standard values of a light desktop theme.
constexpr std::array<std::uint32_t, SysColorCount> kDefaults = {
    0x00C8D0D4, 0x00A56E3A, 0x00A56E3A, 0x00808080, 0x00FFFFFF, 0x00FFFFFF, 0x00000000, 0x00000000,
    0x00000000, 0x00FFFFFF, 0x00C8D0D4, 0x00C8D0D4, 0x00808080, 0x00C56A31, 0x00FFFFFF, 0x00D8E9EC,
    0x0099A8AC, 0x00808080, 0x00000000, 0x00D8E4E8, 0x00FFFFFF, 0x00646F71, 0x00E2EFF1, 0x00000000,
    0x00E1FFFF, 0x00B5B5B5, 0x00800000, 0x00F0CAA6, 0x00C0C0C0, 0x00C56A31, 0x00F0F0F0};

std::array<std::uint32_t, SysColorCount> &table()
{
    static std::array<std::uint32_t, SysColorCount> t = kDefaults;
    return t;
}

} // namespace

std::uint32_t GetSysColor(int index)
{
    if (index < 0 || index >= SysColorCount)
        return 0;
    return table()[static_cast<std::size_t>(index)];
}

void SetSysColor(int index, std::uint32_t bgr)
{
    if (index >= 0 && index < SysColorCount)
        table()[static_cast<std::size_t>(index)] = bgr & 0x00FFFFFFu;
}

void ResetSysColors() { table() = kDefaults; }

int ScreenBitsPerPixel()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 24;
}

} // namespace platform
