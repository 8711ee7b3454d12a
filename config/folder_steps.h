#pragma once
// The steps of creating a folder with the folders above it that each operating system
// takes its own way. The loop (make_folders.cpp) is the same everywhere;
// make_folders_posix.cpp and make_folders_win32.cpp implement the steps.

#include <cstddef>
#include <string>
#include <string_view>

#include "config/step_outcome.h"

/// The system calls of MakeFolders. Paths are in the platform's file name form.
class FolderSteps {
public:
    virtual ~FolderSteps() = default;

    /// Characters that end a folder name.
    virtual std::string_view Separators() const = 0;
    /// Where in `directory` the search for the first folder to create begins: past the
    /// root ("/", "C:\", "\\server\share\"), which is never created.
    virtual std::size_t FirstCreatable(const std::string& directory) const = 0;
    virtual bool IsFolder(const std::string& path) = 0;
    /// Creates the folder `path`, for its owner only where the system has such modes;
    /// Exists when something of that name is there.
    virtual StepOutcome CreateFolder(const std::string& path) = 0;
};

/// The steps of this operating system.
FolderSteps& NativeFolderSteps();
