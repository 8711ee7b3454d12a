#include "link/debug_log.h"

#include "config/atomic_write.h"
#include "config/file_failure_text.h"
#include "config/make_folders.h"
#include "config/path_parts.h"

bool DebugLog::Save(const std::string& path, std::string& error) const {
    std::string bytes;
    for (const std::string& line : lines_) {
        bytes += line;
        bytes += "\r\n";
    }
    std::string folderError;
    if (!MakeFolders(DirectoryPart(path, PathSeparators()), &folderError)) {
        error = "Der Ordner der Datei lässt sich nicht anlegen (" + folderError + ").";
        return false;
    }
    WriteFileFailure failure;
    if (!WriteFileAtomically(path, bytes, nullptr, &failure)) {
        error = WriteFailureText(failure);
        return false;
    }
    return true;
}
