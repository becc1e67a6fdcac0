// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/WindowModule.h"

#include "core/ProgramModules.h"
#include "platform/Exceptions.h"

#include <cstdio>

namespace app {

int RunWindowModule(int argc, char **argv)
{
    try {
        using Entry = int (*)(int, char **);
        return reinterpret_cast<Entry>(ProgramModuleEntry("zantrope-window.so", "zantrope_window_main"))(argc, argv);
    } catch (const platform::Exception &e) {
        std::fprintf(stderr, "zantrope: %s\n", e.what());
        return 1;
    }
}

} // namespace app
