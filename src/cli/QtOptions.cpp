// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/QtOptions.h"

#include <array>
#include <string_view>

namespace app {
namespace {

// Those of Qt 6's application objects and its X11 platform. Qt keeps what
// it does not know, and the window would take it for a file name.
constexpr std::array<std::string_view, 17> WithValue = {"platform",        "platformpluginpath",
                                                        "platformtheme",   "plugin",
                                                        "qwindowgeometry", "geometry",
                                                        "qwindowtitle",    "title",
                                                        "qwindowicon",     "icon",
                                                        "session",         "style",
                                                        "stylesheet",      "qmljsdebugger",
                                                        "display",         "name",
                                                        "visual"};
constexpr std::array<std::string_view, 7> Alone = {"reverse", "testability", "widgetcount", "qdevel",
                                                   "qdebug",  "nograb",      "dograb"};
// Written with their value after "=" ("-style=fusion").
constexpr std::array<std::string_view, 3> WithEquals = {"style=", "stylesheet=", "qmljsdebugger="};

} // namespace

std::optional<int> QtOptionValueCount(const QByteArray &word)
{
    std::string_view name(word.constData(), std::size_t(word.size()));
    if (name.starts_with("--"))
        name.remove_prefix(2);
    else if (name.starts_with('-'))
        name.remove_prefix(1);
    else
        return std::nullopt;
    for (std::string_view option : WithValue)
        if (name == option)
            return 1;
    for (std::string_view option : Alone)
        if (name == option)
            return 0;
    for (std::string_view option : WithEquals)
        if (name.starts_with(option))
            return 0;
    return std::nullopt;
}

} // namespace app
