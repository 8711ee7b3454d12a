#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "config/file_read_steps.h"

namespace {

StepOutcome Failure(int errorNumber) {
    return {StepResult::Failed, errorNumber};
}

int Descriptor(FileHandle file) {
    return static_cast<int>(file);
}

class PosixFileReadSteps final : public FileReadSteps {
public:
    StepOutcome Open(const std::string& path, FileHandle* file) override {
        // O_NONBLOCK: opening a named pipe would otherwise wait for a writer, for ever.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return errno == ENOENT ? StepOutcome{StepResult::Missing, ENOENT} : Failure(errno);
        }
        *file = fd;
        return {};
    }

    StepOutcome Inspect(FileHandle file, OpenFileKind* kind) override {
        struct stat info {};
        if (::fstat(Descriptor(file), &info) != 0) {
            return Failure(errno);
        }
        using What = OpenFileKind::What;
        if (S_ISREG(info.st_mode)) {
            kind->what = What::Regular;
        } else if (S_ISDIR(info.st_mode)) {
            kind->what = What::Folder;
        } else if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) {
            kind->what = What::Pipe;
        } else if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
            kind->what = What::Device;
        } else {
            kind->what = What::Other;
        }
        kind->size = static_cast<std::uint64_t>(info.st_size);
        return {};
    }

    StepOutcome Read(FileHandle file, char* buffer, std::size_t capacity,
                     std::size_t* count) override {
        for (;;) {
            const ssize_t read = ::read(Descriptor(file), buffer, capacity);
            if (read >= 0) {
                *count = static_cast<std::size_t>(read);
                return {};
            }
            if (errno != EINTR) {
                return Failure(errno);
            }
        }
    }

    void Close(FileHandle file) override { ::close(Descriptor(file)); }
};

}  // namespace

FileReadSteps& NativeFileReadSteps() {
    static PosixFileReadSteps steps;
    return steps;
}
