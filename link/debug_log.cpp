#include "link/debug_log.h"

#include "config/atomic_write.h"
#include "config/make_folders.h"
#include "config/path_parts.h"

bool DebugLog::Save(const std::string& path, std::string& error) const {
    std::string bytes;
    for (const std::string& line : lines_) {
        bytes += line;
        bytes += "\r\n";
    }
    return MakeFolders(DirectoryPart(path, PathSeparators()), &error) &&
           WriteFileAtomically(path, bytes, &error);
}
