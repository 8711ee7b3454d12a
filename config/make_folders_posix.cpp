#include <sys/stat.h>

#include <cerrno>

#include "config/folder_steps.h"

namespace {

class PosixFolderSteps final : public FolderSteps {
public:
    std::string_view Separators() const override { return "/"; }

    std::size_t FirstCreatable(const std::string&) const override { return 1; }

    bool IsFolder(const std::string& path) override {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }

    // 0700, as the XDG base directory rules ask of the user's folders.
    StepOutcome CreateFolder(const std::string& path) override {
        if (::mkdir(path.c_str(), 0700) == 0) {
            return {};
        }
        const int code = errno;
        return {code == EEXIST ? StepResult::Exists : StepResult::Failed, code};
    }
};

}  // namespace

FolderSteps& NativeFolderSteps() {
    static PosixFolderSteps steps;
    return steps;
}
