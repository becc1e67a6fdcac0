// SPDX-License-Identifier: GPL-3.0-or-later
// Saves the screen of $DISPLAY as a PNG file, or only the X window whose id
// is given (as xwininfo prints it, e.g. 0x1c00007).
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: screengrab FILE.png [WINDOW-ID]\n");
        return 2;
    }
    bool ok = true;
    const WId window = argc == 3 ? QByteArray(argv[2]).toULongLong(&ok, 0) : 0;
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!ok || !screen) {
        std::fprintf(stderr, "screengrab: no screen or no such window %s\n", argc == 3 ? argv[2] : "");
        return 1;
    }
    const QPixmap shot = screen->grabWindow(window);
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "screengrab: cannot save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
