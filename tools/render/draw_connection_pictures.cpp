// Draws the four connection pictures (32 x 44) of the main window into a folder:
// connection0.png .. connection3.png. Run once; the results live in ui/resources/.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "ui/connection_artwork.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    for (int i = 0; i < 4; ++i) {
        const QString path = dir.filePath(QStringLiteral("connection%1.png").arg(i));
        if (!DrawConnectionPicture(static_cast<ConnectionState>(i)).save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
