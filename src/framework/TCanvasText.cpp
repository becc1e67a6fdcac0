// SPDX-License-Identifier: GPL-3.0-or-later
// The canvas's text: fonts and their measures, TextOut and DrawText with
// its mnemonic marks, word breaks and alignment.
#include "framework/TCanvas.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace framework {
namespace {

// A paragraph with its mnemonic marks taken out.
struct PrefixedText {
    QString shown;
    int underline = -1; // index into shown of the underlined character
};

PrefixedText stripPrefix(const QString &text)
{
    PrefixedText out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) {
            out.shown += text[i];
            continue;
        }
        if (i + 1 >= text.size())
            break; // a lone "&" at the end marks nothing
        ++i;
        if (text[i] != QLatin1Char('&'))
            out.underline = static_cast<int>(out.shown.size());
        out.shown += text[i];
    }
    return out;
}

struct TextLine {
    QString text;
    int underline = -1;
};

QStringList paragraphsOf(const QString &text, bool singleLine)
{
    if (singleLine)
        return {text};
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t.split(QLatin1Char('\n'));
}

// Greedy breaking at blanks; a word wider than the room stands on its own line.
std::vector<TextLine> wrap(const PrefixedText &para, int room, const QFontMetrics &fm)
{
    std::vector<TextLine> lines;
    QString rest = para.shown;
    int offset = 0; // index of rest[0] in para.shown
    auto push = [&](int length) {
        const int u = para.underline - offset;
        lines.push_back({rest.left(length), (u >= 0 && u < length) ? u : -1});
    };
    for (;;) {
        if (fm.horizontalAdvance(rest) <= room) {
            push(static_cast<int>(rest.size()));
            return lines;
        }
        int breakAt = -1;
        for (int i = 1; i < rest.size(); ++i) {
            if (rest[i] != QLatin1Char(' '))
                continue;
            if (fm.horizontalAdvance(rest.left(i)) > room)
                break;
            breakAt = i;
        }
        if (breakAt < 0) {
            breakAt = static_cast<int>(rest.indexOf(QLatin1Char(' '), 1));
            if (breakAt < 0) {
                push(static_cast<int>(rest.size()));
                return lines;
            }
        }
        push(breakAt);
        int next = breakAt;
        while (next < rest.size() && rest[next] == QLatin1Char(' '))
            ++next;
        rest = rest.mid(next);
        offset += next;
        if (rest.isEmpty())
            return lines;
    }
}

} // namespace

TTextMetric GetTextMetrics(const TFont &font)
{
    const QFont f = font.ToQFont();
    const QFontMetrics fm(f);
    TTextMetric tm;
    tm.tmAscent = fm.ascent();
    tm.tmDescent = fm.descent();
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max(0, tm.tmHeight - QFontInfo(f).pixelSize());
    tm.tmExternalLeading = std::max(0, fm.leading());
    tm.tmAveCharWidth = fm.averageCharWidth();
    tm.tmMaxCharWidth = fm.maxWidth();
    return tm;
}

const QFont &TCanvas::qfont() const
{
    if (!fontCached_ || !(cachedFont_ == Font) || cachedRatio_ != dpr_) {
        cachedFont_ = Font;
        cachedRatio_ = dpr_;
        cachedQFont_ = Font.ToQFont(dpr_);
        cachedLineFont_ = dpr_ == 1 ? cachedQFont_ : Font.ToQFont();
        fontCached_ = true;
    }
    return cachedQFont_;
}

const QFont &TCanvas::lineFont() const
{
    qfont();
    return cachedLineFont_;
}

int TCanvas::TextWidth(const QString &text) const { return QFontMetrics(qfont()).horizontalAdvance(text); }

int TCanvas::TextHeight(const QString &) const { return QFontMetrics(lineFont()).height(); }

TSize TCanvas::TextExtent(const QString &text) const { return {TextWidth(text), TextHeight(text)}; }

void TCanvas::TextOut(int x, int y, const QString &text)
{
    const QFontMetrics fm(qfont()), lm(lineFont());
    const int w = fm.horizontalAdvance(text);
    const QColor ink = QColor::fromRgb(deviceColor(Font.Color));
    const QColor back = QColor::fromRgb(deviceColor(bkColor_));
    PaintWith([&](QPainter &p) {
        if (bkMode_ == OPAQUE)
            p.fillRect(QRect(x, y, w, lm.height()), back);
        p.setFont(qfont());
        p.setPen(ink);
        p.drawText(QPoint(x, y + lm.ascent()), text);
    });
    penPos_ = {x + w, y};
}

int TCanvas::DrawText(const QString &text, TRect &r, unsigned format)
{
    const QFontMetrics fm(qfont()), lm(lineFont());
    const bool single = format & DT_SINGLELINE;
    std::vector<TextLine> lines;
    for (const QString &para : paragraphsOf(text, single)) {
        const PrefixedText shown = (format & DT_NOPREFIX) ? PrefixedText{para, -1} : stripPrefix(para);
        if ((format & DT_WORDBREAK) && !single) {
            for (TextLine &l : wrap(shown, r.Width(), fm))
                lines.push_back(std::move(l));
        } else {
            lines.push_back({shown.shown, shown.underline});
        }
    }
    if (text.isEmpty())
        lines.clear();

    const int lineHeight = lm.height();
    const int height = static_cast<int>(lines.size()) * lineHeight;
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const TextLine &l : lines)
            widest = std::max(widest, fm.horizontalAdvance(l.text));
        r.Right = r.Left + widest;
        r.Bottom = r.Top + height;
        return height;
    }

    int y = r.Top;
    if (single && (format & DT_VCENTER))
        y = r.Top + (r.Height() - lineHeight) / 2;
    else if (single && (format & DT_BOTTOM))
        y = r.Bottom - lineHeight;

    const QColor ink = QColor::fromRgb(deviceColor(Font.Color));
    const QColor back = QColor::fromRgb(deviceColor(bkColor_));
    PaintWith([&](QPainter &p) {
        if (!(format & DT_NOCLIP))
            p.setClipRect(r.ToQRect(), Qt::IntersectClip);
        p.setFont(qfont());
        p.setPen(ink);
        p.setLayoutDirection((format & DT_RTLREADING) ? Qt::RightToLeft : Qt::LeftToRight);
        for (const TextLine &l : lines) {
            const int w = fm.horizontalAdvance(l.text);
            int x = r.Left;
            if (format & DT_CENTER)
                x = r.Left + (r.Width() - w) / 2;
            else if (format & DT_RIGHT)
                x = r.Right - w;
            if (bkMode_ == OPAQUE)
                p.fillRect(QRect(x, y, w, lineHeight), back);
            p.drawText(QPoint(x, y + lm.ascent()), l.text);
            if (l.underline >= 0) {
                const int ux = x + fm.horizontalAdvance(l.text.left(l.underline));
                const int uw = fm.horizontalAdvance(l.text.mid(l.underline, 1));
                const int uy = y + lm.ascent() + std::max(1, fm.underlinePos());
                p.fillRect(QRect(ux, uy, uw, std::max(1, static_cast<int>(fm.lineWidth()))), ink);
            }
            y += lineHeight;
        }
    });
    return height;
}

} // namespace framework
