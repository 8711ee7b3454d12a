#include "config/make_folders.h"

#include "config/folder_steps.h"
#include "config/system_error.h"

bool MakeFolders(const std::string& directory, std::string* error, FolderSteps& steps) {
    if (directory.empty() || steps.IsFolder(directory)) {
        return true;
    }
    const std::string_view separators = steps.Separators();
    // Each prefix up to a separator is one folder, from the top down. A doubled separator
    // names no new folder.
    for (size_t end = directory.find_first_of(separators, steps.FirstCreatable(directory));;
         end = directory.find_first_of(separators, end + 1)) {
        const std::string folder = directory.substr(0, end);
        if (!folder.empty() && separators.find(folder.back()) == std::string_view::npos) {
            const StepOutcome outcome = steps.CreateFolder(folder);
            // Another process may have made it meanwhile.
            if (!outcome.Done() &&
                !(outcome.result == StepResult::Exists && steps.IsFolder(folder))) {
                if (error != nullptr) {
                    *error =
                        "cannot create " + folder + ": " + DescribeSystemError(outcome.systemError);
                }
                return false;
            }
        }
        if (end == std::string::npos) {
            return true;
        }
    }
}

bool MakeFolders(const std::string& directory, std::string* error) {
    return MakeFolders(directory, error, NativeFolderSteps());
}
