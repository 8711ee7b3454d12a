#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "config/transfer_path_check.h"

namespace {

/// Access as the safe replace would get it: the effective user's, not the real one's.
StepOutcome Access(const std::string& path, int mode) {
    if (::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0) {
        return {};
    }
    const int code = errno;
    const bool denied = code == EACCES || code == EPERM || code == EROFS;
    return {denied ? StepResult::Denied : StepResult::Failed, code};
}

class PosixTransferPathSteps final : public TransferPathSteps {
public:
    std::string_view Separators() const override { return "/"; }

    std::string_view ForbiddenCharacters() const override { return {}; }

    PathKind KindOf(const std::string& path, long* systemError) override {
        // "out.csv/" of a file fails with ENOTDIR, but the question is what "out.csv" is.
        std::string name = path;
        while (name.size() > 1 && name.back() == '/') {
            name.pop_back();
        }
        struct stat info {};
        if (::stat(name.c_str(), &info) != 0) {
            const int code = errno;
            if (code == ENOENT || code == ENOTDIR) {
                return PathKind::Missing;
            }
            *systemError = code;
            return PathKind::Unreachable;
        }
        return S_ISREG(info.st_mode)   ? PathKind::File
               : S_ISDIR(info.st_mode) ? PathKind::Folder
                                       : PathKind::Other;
    }

    StepOutcome MayCreateIn(const std::string& folder) override {
        return Access(folder.empty() ? "." : folder, W_OK | X_OK);
    }

    StepOutcome MayWrite(const std::string& path) override { return Access(path, W_OK); }

    bool FolderRightsReplaceAnyFile() const override { return true; }
};

}  // namespace

TransferPathSteps& NativeTransferPathSteps() {
    static PosixTransferPathSteps steps;
    return steps;
}
