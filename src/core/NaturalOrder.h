// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The order people expect of names: numbers compare by value, so clip2
// comes before clip10, and case is ignored.
#include <QByteArray>

namespace app {

// True when a sorts before b. Runs of digits compare by their value (then,
// when equal, the shorter run first: 2 before 02); other bytes compare with
// ASCII letters folded to lower case. Names that differ only in case or in
// leading zeros keep a fixed order by their bytes, so sorting is stable
// across runs.
bool NaturalLess(const QByteArray &a, const QByteArray &b);

// A key whose plain byte order is NaturalLess's order of the names: a long
// list is sorted by keys made once per name, not by reading both names again
// at every comparison.
QByteArray NaturalKey(const QByteArray &name);

} // namespace app
