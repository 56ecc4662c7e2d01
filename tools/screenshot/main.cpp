// Saves a PNG of the X screen named by DISPLAY, whole or only the rectangle
// X Y WIDTH HEIGHT of it: the README's picture of the running dialog is taken
// with it under Xvfb.
#include <QGuiApplication>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

namespace {

bool ParseCoordinate(const char* text, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < 0 || parsed > 65535) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QRect area;  // null for the whole screen
    bool usable = argc == 2;
    if (argc == 6) {
        int v[4] = {};
        usable = ParseCoordinate(argv[2], v[0]) && ParseCoordinate(argv[3], v[1]) &&
                 ParseCoordinate(argv[4], v[2]) && ParseCoordinate(argv[5], v[3]);
        area = QRect(v[0], v[1], v[2], v[3]);
        usable = usable && !area.isEmpty();
    }
    if (!usable) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [X Y WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    QGuiApplication application(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (area.isNull()) {
        area = screen->geometry();
    } else if (!screen->geometry().contains(area)) {
        // grabWindow would pad the part off the screen rather than refuse it.
        std::fprintf(stderr, "%s %s %s %s is not inside the screen\n", argv[2], argv[3], argv[4],
                     argv[5]);
        return 1;
    }
    const QPixmap picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "could not save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
