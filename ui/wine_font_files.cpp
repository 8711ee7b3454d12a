#include "ui/wine_font_files.h"

const std::vector<std::string>& WineFontFilesOnUnix() {
    static const std::vector<std::string> files = {
        "/usr/share/wine/fonts/tahoma.ttf",
        "/usr/share/wine/fonts/tahomabd.ttf",
    };
    return files;
}
