// Draws the banner picture and the two list icons into assets/.
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

QImage banner()
{
    QImage img(568, 58, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 568, 0);
    bg.setColorAt(0, QColor(24, 20, 70));
    bg.setColorAt(0.55, QColor(70, 60, 150));
    bg.setColorAt(1, QColor(128, 128, 192));
    p.fillRect(img.rect(), bg);
    // Logo: two film strips joined into one.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 2; ++i) {
        const QRectF strip(14 + i * 18, 10 + i * 8, 26, 30);
        p.setBrush(QColor(230, 190, 60));
        p.drawRoundedRect(strip, 3, 3);
        p.setBrush(QColor(24, 20, 70));
        for (int h = 0; h < 4; ++h) {
            p.drawRect(QRectF(strip.left() + 3, strip.top() + 3 + h * 7, 4, 4));
            p.drawRect(QRectF(strip.right() - 7, strip.top() + 3 + h * 7, 4, 4));
        }
    }
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
QImage icon(bool joined)
{
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(QColor(255, 0, 255));
    QPainter p(&img);
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
    QFile jpeg(dir + QStringLiteral("/banner.jpg"));
    if (!jpeg.open(QIODevice::WriteOnly) || jpeg.write(framework::EncodeJpeg(banner(), 90)) < 0)
        return std::fprintf(stderr, "cannot write banner\n"), 1;
    if (!icon(false).save(dir + QStringLiteral("/queued.png")) ||
        !icon(true).save(dir + QStringLiteral("/joined.png")))
        return std::fprintf(stderr, "cannot write icons\n"), 1;
    return 0;
}
