// Saves a picture of the whole screen of $DISPLAY: screen_grab <file.png>. Used by
// scripts/run.sh to record what the utility shows under a virtual X server.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: screen_grab <file.png>\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "screen_grab: could not save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
