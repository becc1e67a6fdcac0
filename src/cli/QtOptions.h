// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The options Qt itself reads from the command line before the window
// opens (-style, -platform, -reverse, ...), so that the program's own
// parsing can tell them from mistyped options of its own.
#include <QByteArray>
#include <optional>

namespace app {

// How many of the words after word are its value when word is one of Qt's
// options (written with "-" or "--", as Qt accepts both); none otherwise.
std::optional<int> QtOptionValueCount(const QByteArray &word);

} // namespace app
