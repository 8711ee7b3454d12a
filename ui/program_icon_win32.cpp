#include <windows.h>

#include <QImage>
#include <QPixmap>

#include "ui/program_icon.h"

QIcon ProgramIcon() {
    // The sizes the icon file holds; the system and Qt scale from them for the others.
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        auto* const handle = static_cast<HICON>(LoadImageW(
            GetModuleHandleW(nullptr), L"IDI_FUMILINK", IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        if (handle == nullptr) {
            continue;
        }
        const QImage image = QImage::fromHICON(handle);
        DestroyIcon(handle);
        if (!image.isNull()) {
            icon.addPixmap(QPixmap::fromImage(image));
        }
    }
    return icon;
}
