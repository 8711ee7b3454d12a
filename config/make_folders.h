#pragma once
// Creating the folders a new file needs: the settings file in the user's configuration
// folder is created on the first save, its folders included.

#include <string>

class FolderSteps;

/// Creates `directory` and every missing folder above it; folders that exist stay as they
/// are. New folders are for their owner only (0700 on POSIX, as the XDG base directory
/// rules ask). True when `directory` exists afterwards (an empty path counts as the
/// current folder); otherwise `*error` (when not null) says why and the result is false.
bool MakeFolders(const std::string& directory, std::string* error);

/// The same loop taking the given steps (folder_steps.h) in place of the system's.
bool MakeFolders(const std::string& directory, std::string* error, FolderSteps& steps);
