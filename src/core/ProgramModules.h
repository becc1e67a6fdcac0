// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own modules on Linux: the window (zantrope-window.so) and
// FFmpeg's work (zantrope-media.so). Each is loaded only when needed, so
// that the command line's join starts with Qt Core alone instead of binding
// the libraries of Qt's widgets and FFmpeg, which made every start some
// 35 ms slower. The modules lie in one folder, found from the program's
// own: installed, lib/<triplet>/zantrope beside its bin folder, and the
// build lays them out the same way. Windows links both in.

// Marks a module's entry: the one name it exports.
// (MinGW takes the attribute too, and has nothing to hide.)
#define ZANTROPE_MODULE_ENTRY extern "C" __attribute__((visibility("default")))

namespace app {

// The named entry of the module file, which is loaded once and stays for
// the program's life. Throws platform::EInOutError, naming the file and
// why, when it cannot be found or loaded. A module that someone other than
// this user and root could have changed (the file, or a folder on its way)
// is refused, as standard error says once: it would run as this user.
void *ProgramModuleEntry(const char *file, const char *entry);

} // namespace app
