// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/NaturalOrder.h"

namespace app {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Folded(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// -1, 0 or 1 as a sorts before, with or after b, ignoring case and leading zeros.
int Compare(const QByteArray &a, const QByteArray &b)
{
    qsizetype i = 0, j = 0;
    int zerosTie = 0; // the first difference in leading zeros, for runs of equal value
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const qsizetype runA = i, runB = j;
            while (i < a.size() && a[i] == '0')
                ++i;
            while (j < b.size() && b[j] == '0')
                ++j;
            const qsizetype startA = i, startB = j;
            while (i < a.size() && IsDigit(a[i]))
                ++i;
            while (j < b.size() && IsDigit(b[j]))
                ++j;
            // Without leading zeros, the longer run is the larger number.
            const qsizetype lengthA = i - startA, lengthB = j - startB;
            if (lengthA != lengthB)
                return lengthA < lengthB ? -1 : 1;
            for (qsizetype k = 0; k < lengthA; ++k)
                if (a[startA + k] != b[startB + k])
                    return a[startA + k] < b[startB + k] ? -1 : 1;
            if (zerosTie == 0 && (startA - runA) != (startB - runB))
                zerosTie = (startA - runA) < (startB - runB) ? -1 : 1;
            continue;
        }
        const unsigned char x = static_cast<unsigned char>(Folded(a[i]));
        const unsigned char y = static_cast<unsigned char>(Folded(b[j]));
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1; // the one that goes on comes later
    return zerosTie;
}

} // namespace

bool NaturalLess(const QByteArray &a, const QByteArray &b)
{
    const int c = Compare(a, b);
    return c != 0 ? c < 0 : a < b;
}

QByteArray NaturalKey(const QByteArray &name)
{
    // Letters folded to lower case; a run of digits as '0', its length
    // without leading zeros in two bytes, and those digits. Folded bytes are
    // never digits, so the '0' sorts against them as any digit would, and
    // two runs meet at the same place in both keys. Then, for names equal so
    // far, each run's leading zeros, and last the name's own bytes. A zero
    // byte, which no name holds, separates the parts so that the shorter
    // sorts first.
    QByteArray key, zeros;
    key.reserve(name.size() + 8);
    for (qsizetype i = 0; i < name.size();) {
        if (!IsDigit(name[i])) {
            key += Folded(name[i++]);
            continue;
        }
        const qsizetype run = i;
        while (i < name.size() && name[i] == '0')
            ++i;
        const qsizetype start = i;
        while (i < name.size() && IsDigit(name[i]))
            ++i;
        const qsizetype length = i - start;
        key += '0';
        key += char((length >> 8) & 0xff);
        key += char(length & 0xff);
        key += name.mid(start, length);
        zeros += char(((start - run) >> 8) & 0xff);
        zeros += char((start - run) & 0xff);
    }
    key += '\0';
    key += zeros;
    key += '\0';
    key += name;
    return key;
}

} // namespace app
