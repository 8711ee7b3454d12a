#include <unistd.h>

#include "ui/wine_font_files.h"

std::vector<std::string> WineFontFiles() {
    std::vector<std::string> present;
    for (const std::string& file : WineFontFilesOnUnix()) {
        if (access(file.c_str(), R_OK) == 0) {
            present.push_back(file);
        }
    }
    return present;
}
