#pragma once
// The platform half of ShellOpen, one implementation file per platform.

#include <string>

/// Opens `targetCp1252` with the platform's shell; ignores every failure.
void ShellOpenNative(const std::string& targetCp1252);
