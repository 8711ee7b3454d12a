#include <windows.h>

#include "config/folder_steps.h"
#include "config/wide_path_win32.h"

namespace {

class Win32FolderSteps final : public FolderSteps {
public:
    std::string_view Separators() const override { return "\\/"; }

    // After "C:\", after "\\server\share\", else after the first character.
    std::size_t FirstCreatable(const std::string& directory) const override {
        if (directory.size() >= 2 && directory[1] == ':') {
            return 3;
        }
        if (directory.rfind("\\\\", 0) == 0) {
            const size_t share = directory.find_first_of("\\/", 2);
            const size_t below =
                share == std::string::npos ? share : directory.find_first_of("\\/", share + 1);
            return below == std::string::npos ? directory.size() : below + 1;
        }
        return 1;
    }

    bool IsFolder(const std::string& path) override {
        const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    // The folder inherits the access rights of the one above it (under %LOCALAPPDATA%:
    // the user's own).
    StepOutcome CreateFolder(const std::string& path) override {
        if (CreateDirectoryW(WidePath(path).c_str(), nullptr)) {
            return {};
        }
        const DWORD code = GetLastError();
        return {code == ERROR_ALREADY_EXISTS ? StepResult::Exists : StepResult::Failed,
                static_cast<long>(code)};
    }
};

}  // namespace

FolderSteps& NativeFolderSteps() {
    static Win32FolderSteps steps;
    return steps;
}
