#pragma once
// Names of the temporary files a safe replace writes beside its target. Both platform
// versions of WriteFileAtomically use them, and recognise by them the temporary files that
// a killed writer left behind.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// Longest file name (one path component, in bytes) the file systems we write to allow.
inline constexpr size_t kMaxFileNameBytes = 255;

/// Name (without folder) of a temporary file for the file called `fileName`:
/// `fileName` + ".tmp-" + `writer` + "-" + `counter`, with `fileName` cut short where the
/// whole would be longer than kMaxFileNameBytes.
std::string TemporaryFileName(std::string_view fileName, uint32_t writer, uint32_t counter);

/// The writer (process id) of `candidate` when it is a name TemporaryFileName makes for
/// `fileName`; nothing for any other name.
std::optional<uint32_t> TemporaryFileWriter(std::string_view candidate, std::string_view fileName);
