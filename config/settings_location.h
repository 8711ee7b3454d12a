#pragma once
// Where the settings file lives. One rule on every system: beside the program when the
// user may write it there, otherwise in the user's own settings folder. A calling program
// installed under Program Files, or a package in /usr/bin, cannot keep it beside itself;
// an unpacked copy in a folder of its own can, as can a prepared file the user may write
// in a folder the user may not.

#include <string>
#include <vector>

/// What the caller does with the settings file: a demo only reads it, and then nothing
/// may be written on its behalf, the copy below included.
enum class SettingsUse { ReadAndWrite, ReadOnly };

/// The settings file for a program in `executableDirectory` (with its trailing separator;
/// empty when unknown), `perUserPath` being the user's own (empty when unknown):
/// - executableDirectory + "fumilink.ini" when that file exists and may be written, or
///   when it does not exist and may be created there;
/// - otherwise `perUserPath`. When the per-user file does not exist yet and a file the
///   user may read but not write stands beside the program (an installer's, with SO2Key
///   say), the per-user file is first made a copy of it, folders included, so its keys
///   keep working. Where that copy cannot be made, or for SettingsUse::ReadOnly, the file
///   beside the program is the answer: its keys are read, and saving it reports the failure.
/// - the file beside the program when no per-user file is known.
std::string ChooseSettingsFilePath(const std::string& executableDirectory,
                                   const std::string& perUserPath,
                                   SettingsUse use = SettingsUse::ReadAndWrite);

/// The settings file of a program in `executableDirectory`: the user's own file
/// `perUserPath` only when the program is the installed one (its folder is
/// `installedFolder`, see InstalledProgramFolders), else ChooseSettingsFilePath. A package
/// removes what it installed and nothing more: a file the program left in /usr/bin or
/// under Program Files (root and an elevated run may write there) would stay behind after
/// `apt purge` or the MSI's removal, and every new user would start from it. A user's own
/// file that does not exist yet starts as a copy of a file beside the installed program
/// (an administrator's), whether or not the user could write that one; for
/// SettingsUse::ReadOnly that file is read in place instead.
std::string SettingsFilePathFor(const std::string& executableDirectory,
                                const std::string& installedFolder, const std::string& perUserPath,
                                SettingsUse use = SettingsUse::ReadAndWrite);

/// Path of the settings file of this program: SettingsFilePathFor the executable's folder,
/// the installed folder and the user's own settings file. May copy a read-only file beside
/// the program to the user's folder, unless `use` is SettingsUse::ReadOnly.
std::string SettingsFilePath(SettingsUse use = SettingsUse::ReadAndWrite);

/// The folders an installed program runs from, each with a trailing separator. Linux: the
/// one `cmake --install` puts it into (the build's prefix's bindir) and the Debian
/// package's (/usr/bin). Windows: the MSI's (MsiProgramFolder); a copy unpacked from the
/// zip anywhere else keeps the rule beside the program.
std::vector<std::string> InstalledProgramFolders();

#ifdef _WIN32
/// The folder the MSI installs into, "Fumilink\" in the 64-bit Program Files folder
/// (settings_location_win32.cpp); the package does not let it be moved. Empty when the
/// system does not name that folder.
std::string MsiProgramFolder();
#endif

/// True when the folders `a` and `b` are one and the same, however they are spelled
/// (links, doubled separators); false when either does not exist
/// (settings_location_*.cpp).
bool IsSameFolder(const std::string& a, const std::string& b);

/// The user's own settings file (settings_location_*.cpp): Linux
/// $XDG_CONFIG_HOME/fumilink/fumilink.ini (see PerUserSettingsFilePathFor); Windows
/// %LOCALAPPDATA%\Fumilink\fumilink.ini. Empty when the system does not say.
std::string PerUserSettingsFilePath();

/// True when this user may write the existing file `path` (settings_location_*.cpp).
bool MayWriteFile(const std::string& path);

/// True when this user may create a file in `folder`, which ends with a separator
/// (settings_location_*.cpp).
bool MayCreateFileIn(const std::string& folder);
