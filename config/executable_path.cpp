#include "config/executable_path.h"

#include "config/path_parts.h"

std::string ExecutableDirectory() {
    return DirectoryPart(ExecutablePath(), PathSeparators());
}

std::string ExecutableFileName() {
    return FileNamePart(ExecutablePath(), PathSeparators());
}
