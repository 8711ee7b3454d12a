#include "ui/ui_fonts.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QString>

namespace {

// The one place where the platforms differ. Windows: the designed face under its current
// name; where it is missing (Wine) the Linux choice, which Wine finds among the system's
// fonts, then Windows' own Tahoma and Arial. Linux: Liberation Sans, Arial's twin; Tahoma
// also fits the design widths; DejaVu Sans is wider (up to 13 %) but is on every Debian
// desktop.
#ifdef _WIN32
const char* const kFamilies[] = {"Microsoft Sans Serif", "Liberation Sans", "Tahoma", "Arial"};
#else
const char* const kFamilies[] = {"Liberation Sans", "Arial", "Tahoma", "DejaVu Sans"};
#endif

bool HasGreekCaptions(const QString& family) {
    if (!QFontDatabase::hasFamily(family)) {
        return false;
    }
    QFontMetrics metrics{QFont(family)};
    return metrics.inFontUcs4(0x03BB) && metrics.inFontUcs4(0x03B7);
}

}  // namespace

void LoadUiFonts() {
    static bool loaded = false;
    if (loaded) {
        return;
    }
    loaded = true;
#ifndef _WIN32
    // Tahoma, the last fallback before DejaVu Sans, where Linux has it only among Wine's
    // files (Debian's fonts-wine). The .fon bitmap files beside them are deliberately not
    // loaded: FreeType warns about them and scales them badly. Windows has its own.
    for (const char* path :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        if (QFile::exists(QString::fromLatin1(path))) {
            QFontDatabase::addApplicationFont(QString::fromLatin1(path));
        }
    }
#endif
}

void UseUiFontAsApplicationFont() {
    LoadUiFonts();
    QApplication::setFont(UiFont(11));
}

QStringList UiFontFamilies() {
    QStringList families;
    for (const char* family : kFamilies) {
        families << QString::fromLatin1(family);
    }
    return families;
}

QFont UiFont(int pixelSize, bool bold) {
    QFont font;
    font.setFamilies(UiFontFamilies());
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont GreekFont(int pixelSize, bool bold) {
    QFont font = UiFont(pixelSize, bold);
    for (const QString& family : UiFontFamilies()) {
        if (HasGreekCaptions(family)) {
            font.setFamilies({family});
            break;
        }
    }
    return font;
}
