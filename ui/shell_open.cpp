#include "ui/shell_open.h"

#include <utility>

#include "ui/shell_open_native.h"

namespace {
ShellOpenHook& Hook() {
    static ShellOpenHook hook;
    return hook;
}
}  // namespace

void ShellOpen(const std::string& targetCp1252) {
    if (Hook()) {
        Hook()(targetCp1252);
        return;
    }
    ShellOpenNative(targetCp1252);
}

bool ShellOpenFolder(const std::string& pathUtf8) {
    if (Hook()) {
        Hook()(pathUtf8);
        return true;
    }
    return ShellOpenFolderNative(pathUtf8);
}

void SetShellOpenHook(ShellOpenHook hook) {
    Hook() = std::move(hook);
}
