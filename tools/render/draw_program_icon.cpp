// Draws the program icon at the usual hicolor sizes into an icon theme folder:
// OUTPUT_DIR/<n>x<n>/apps/fumilink.png. The build runs it for the Linux package.

#include <QDir>
#include <QImage>
#include <cstdio>

#include "ui/connection_artwork.h"

int main(int argc, char** argv) {
    // Painting into a QImage needs no application object and so no display.
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = root.filePath(folder + QStringLiteral("/fumilink.png"));
        if (!root.mkpath(folder) || !DrawProgramIcon(size).save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
