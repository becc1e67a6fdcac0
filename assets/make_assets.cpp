// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the banner picture, the two list icons and the program's icon
// (the banner's logo on its own, as PNG and SVG) into assets/. The banner
// and the list icons are also drawn at twice the resolution ("@2x"), for
// screens at 200 %; the same drawing, not an enlarged picture.
// Run: build/tools/make_assets assets
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <vector>

#include "framework/Jpeg.h"

namespace {

void roundIcon(QPainter &p, QPointF centre, QColor rim, QColor fill, const QString &glyph, QFont font)
{
    QRadialGradient g(centre - QPointF(4, 4), 16);
    g.setColorAt(0, fill.lighter(160));
    g.setColorAt(1, fill);
    p.setPen(QPen(rim, 2));
    p.setBrush(g);
    p.drawEllipse(centre, 12.5, 12.5);
    p.setPen(Qt::white);
    p.setFont(font);
    p.drawText(QRectF(centre.x() - 12, centre.y() - 13, 24, 26), Qt::AlignCenter, glyph);
}

const QColor Night(24, 20, 70), Dusk(70, 60, 150), Gold(230, 190, 60);

struct Box {
    QRectF rect;
    qreal radius;
    QColor colour;
};

// The logo: two film strips joined into one, the second over the first.
// Laid out in the banner's pixels with its top-left corner at `origin`.
std::vector<Box> logo(QPointF origin, qreal scale)
{
    std::vector<Box> boxes;
    const auto at = [&](qreal x, qreal y, qreal w, qreal h) {
        return QRectF(origin.x() + x * scale, origin.y() + y * scale, w * scale, h * scale);
    };
    for (int i = 0; i < 2; ++i) {
        const qreal left = i * 18, top = i * 8;
        boxes.push_back({at(left, top, 26, 30), 3 * scale, Gold});
        for (int h = 0; h < 4; ++h) {
            boxes.push_back({at(left + 3, top + 3 + h * 7, 4, 4), 0, Night});
            boxes.push_back({at(left + 19, top + 3 + h * 7, 4, 4), 0, Night});
        }
    }
    return boxes;
}

void paint(QPainter &p, const std::vector<Box> &boxes)
{
    p.setPen(Qt::NoPen);
    for (const Box &b : boxes) {
        p.setBrush(b.colour);
        p.drawRoundedRect(b.rect, b.radius, b.radius);
    }
}

// The program's icon on a 128-unit square: the logo on a rounded tile in
// the banner's colours.
constexpr qreal IconUnits = 128, TileRadius = 22, LogoScale = 2.2;
const QRectF Tile(4, 4, 120, 120);
const QPointF LogoOrigin((IconUnits - 44 * LogoScale) / 2, (IconUnits - 38 * LogoScale) / 2);

QImage appIcon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / IconUnits, size / IconUnits);
    QLinearGradient bg(Tile.topLeft(), Tile.bottomRight());
    bg.setColorAt(0, Night);
    bg.setColorAt(1, Dusk);
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(Tile, TileRadius, TileRadius);
    paint(p, logo(LogoOrigin, LogoScale));
    return img;
}

QByteArray appIconSvg()
{
    const auto n = [](qreal v) { return QByteArray::number(v, 'g', 6); };
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\" "
                     "viewBox=\"0 0 128 128\">\n"
                     "  <defs><linearGradient id=\"bg\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\">"
                     "<stop offset=\"0\" stop-color=\"" +
                     Night.name().toLatin1() +
                     "\"/>"
                     "<stop offset=\"1\" stop-color=\"" +
                     Dusk.name().toLatin1() +
                     "\"/>"
                     "</linearGradient></defs>\n";
    const auto rect = [&](const QRectF &r, qreal radius, const QByteArray &fill) {
        svg += "  <rect x=\"" + n(r.x()) + "\" y=\"" + n(r.y()) + "\" width=\"" + n(r.width()) + "\" height=\"" +
               n(r.height()) + "\" rx=\"" + n(radius) + "\" fill=\"" + fill + "\"/>\n";
    };
    rect(Tile, TileRadius, "url(#bg)");
    for (const Box &b : logo(LogoOrigin, LogoScale))
        rect(b.rect, b.radius, b.colour.name().toLatin1());
    return svg + "</svg>\n";
}

QImage banner(int scale)
{
    QImage img(568 * scale, 58 * scale, QImage::Format_RGB32);
    QPainter p(&img);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 568, 0);
    bg.setColorAt(0, Night);
    bg.setColorAt(0.55, Dusk);
    bg.setColorAt(1, QColor(128, 128, 192));
    p.fillRect(QRect(0, 0, 568, 58), bg);
    paint(p, logo(QPointF(14, 10), 1));
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(30);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 120));
    p.drawText(QPointF(76, 41), QStringLiteral("Zantrope"));
    p.setPen(QColor(255, 236, 150));
    p.drawText(QPointF(74, 39), QStringLiteral("Zantrope"));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(11);
    p.setFont(small);
    p.setPen(QColor(210, 210, 255));
    p.drawText(QPointF(232, 38), QStringLiteral("MPEG & VCD joiner"));
    QFont glyph(QStringLiteral("DejaVu Sans"));
    glyph.setPixelSize(18);
    glyph.setBold(true);
    // Under the help hot-spot (405, 11, 28 x 27) and the web hot-spot (518, 7, 28 x 27).
    roundIcon(p, QPointF(419, 24.5), QColor(20, 60, 20), QColor(40, 150, 60), QStringLiteral("?"), glyph);
    roundIcon(p, QPointF(532, 20.5), QColor(10, 30, 90), QColor(30, 90, 200), QStringLiteral("e"), glyph);
    return img;
}

// 16 x 16 icons on a fuchsia key that the image list makes transparent.
// Without antialiasing, so that no edge blends with the key.
QImage icon(bool joined, int scale)
{
    QImage img(16 * scale, 16 * scale, QImage::Format_RGB32);
    img.fill(QColor(255, 0, 255));
    QPainter p(&img);
    p.scale(scale, scale);
    if (joined) {
        p.setPen(QPen(QColor(0, 150, 0), 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        QPainterPath tick;
        tick.moveTo(3, 8);
        tick.lineTo(6, 12);
        tick.lineTo(13, 3);
        p.drawPath(tick);
    } else {
        p.setPen(QPen(QColor(0, 60, 220), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        for (int dx : {0, 5}) {
            QPainterPath chevron;
            chevron.moveTo(3 + dx, 3);
            chevron.lineTo(8 + dx, 8);
            chevron.lineTo(3 + dx, 13);
            p.drawPath(chevron);
        }
    }
    return img;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("assets");
    for (int scale : {1, 2}) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
        QFile jpeg(dir + QStringLiteral("/banner%1.jpg").arg(suffix));
        if (!jpeg.open(QIODevice::WriteOnly) || jpeg.write(framework::EncodeJpeg(banner(scale), 90)) < 0)
            return std::fprintf(stderr, "cannot write banner\n"), 1;
        if (!icon(false, scale).save(dir + QStringLiteral("/queued%1.png").arg(suffix)) ||
            !icon(true, scale).save(dir + QStringLiteral("/joined%1.png").arg(suffix)))
            return std::fprintf(stderr, "cannot write icons\n"), 1;
    }
    // Every size Windows shows an icon at, up to 256 for its large views; 48
    // and 128 also for the window and the Linux desktop.
    for (int size : {16, 20, 24, 32, 40, 48, 64, 128, 256})
        if (!appIcon(size).save(dir + QStringLiteral("/zantrope-%1.png").arg(size)))
            return std::fprintf(stderr, "cannot write the program's icon\n"), 1;
    QFile svg(dir + QStringLiteral("/zantrope.svg"));
    if (!svg.open(QIODevice::WriteOnly) || svg.write(appIconSvg()) < 0)
        return std::fprintf(stderr, "cannot write the program's icon\n"), 1;
    return 0;
}
