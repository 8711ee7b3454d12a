#include <QPixmap>

#include "ui/connection_artwork.h"
#include "ui/program_icon.h"

QIcon ProgramIcon() {
    // Drawn as the build draws the icon theme's files, so that a program run from its
    // build folder looks as the installed one does.
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(QPixmap::fromImage(DrawProgramIcon(size)));
    }
    return icon;
}
