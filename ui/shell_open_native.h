#pragma once
// The platform half of ShellOpen, one implementation file per platform.

#include <string>

/// Opens `targetCp1252` with the platform's shell; ignores every failure.
void ShellOpenNative(const std::string& targetCp1252);
/// Opens the folder `pathUtf8` in the platform's file manager, making it when missing;
/// false when no file manager could be asked to.
bool ShellOpenFolderNative(const std::string& pathUtf8);
