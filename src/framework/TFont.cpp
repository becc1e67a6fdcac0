// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/TFont.h"

#include <QFontMetrics>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "desktop/SystemFonts.h"

namespace framework {

int TFont::Size() const { return static_cast<int>(std::lround(-Height * 72.0 / 96.0)); }

void TFont::SetSize(int points) { Height = -static_cast<int>(std::lround(points * 96.0 / 72.0)); }

namespace {

// Text to compare the widths of two faces by.
const QString WidthSample = QStringLiteral("The quick brown fox jumps over the lazy dog. 0123456789 /clip_1.mpg");

// The stand-in's pixel size whose text is as wide as exact's.
int matchingPixelSize(const QFont &exact, QFont standIn)
{
    struct Key {
        QString exact, standIn;
        int px;
        bool bold, italic;
        bool operator==(const Key &) const = default;
    };
    static std::vector<std::pair<Key, int>> known;
    const Key key{exact.family(), standIn.family(), exact.pixelSize(), exact.bold(), exact.italic()};
    for (const auto &[k, px] : known)
        if (k == key)
            return px;
    const int want = QFontMetrics(exact).horizontalAdvance(WidthSample);
    int best = exact.pixelSize(), bestMiss = std::numeric_limits<int>::max();
    for (int px = std::max(1, exact.pixelSize() / 2); px <= exact.pixelSize() * 2; ++px) {
        standIn.setPixelSize(px);
        const int miss = std::abs(QFontMetrics(standIn).horizontalAdvance(WidthSample) - want);
        if (miss < bestMiss) {
            best = px;
            bestMiss = miss;
        }
    }
    known.emplace_back(key, best);
    return best;
}

} // namespace

QFont TFont::ToQFont(qreal devicePixelRatio) const
{
    QFont f(Name);
    // Faces of the other desktop are missing here; a plain sans face stands in.
    f.setStyleHint(QFont::SansSerif);
    f.setBold(Style & fsBold);
    f.setItalic(Style & fsItalic);
    f.setUnderline(Style & fsUnderline);
    f.setStrikeOut(Style & fsStrikeOut);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setStyleStrategy(QFont::NoAntialias);
    if (Height < 0) {
        f.setPixelSize(-Height);
    } else if (Height > 0) {
        // A cell height includes the internal leading: take the largest pixel
        // size whose line fits the cell.
        int px = Height;
        f.setPixelSize(px);
        while (px > 1 && QFontMetrics(f).height() > Height) {
            --px;
            f.setPixelSize(px);
        }
    } else {
        f.setPixelSize(13);
    }
    if (devicePixelRatio == 1)
        return f;
    const QString face = platform::ScalableFace(Name);
    if (face.compare(Name, Qt::CaseInsensitive) == 0)
        return f;
    QFont standIn = f;
    standIn.setFamily(face);
    standIn.setPixelSize(matchingPixelSize(f, standIn));
    return standIn;
}

} // namespace framework
