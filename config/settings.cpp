#include "config/settings.h"

#include "config/atomic_write.h"
#include "config/file_bytes.h"
#include "config/ini_file.h"
#include "config/make_folders.h"
#include "config/path_parts.h"
#include "data/conversions.h"
#include "data/single_line.h"

namespace {

constexpr const char* kSection = "Main";
constexpr const char* kPortKey = "comport";
constexpr const char* kIdentificationKey = "SerNr";
constexpr const char* kSo2Key = "SO2Key";

}  // namespace

bool LoadSettings(const std::string& path, Settings& settings, std::string* error) {
    std::string bytes;
    switch (ReadFileBytes(path, kMaxSettingsFileBytes, &bytes, error)) {
        case ReadFileResult::Failed:
            return false;
        case ReadFileResult::Missing:
            settings.settingsFound = false;
            return true;
        case ReadFileResult::Ok:
            break;
    }
    IniFile file = IniFile::Parse(bytes);
    if (!file.HasSection(kSection)) {
        settings.settingsFound = false;
        return true;
    }
    settings.portNumber = ParseIntLoose(file.ReadString(kSection, kPortKey, "1"));
    settings.identification = file.ReadString(kSection, kIdentificationKey, "1");
    settings.so2Key = file.ReadString(kSection, kSo2Key, "");
    settings.settingsFound = true;
    return true;
}

bool SaveSettings(const std::string& path, const Settings& settings, std::string* error) {
    // The existing file is read first so that everything but our two keys survives; if it
    // cannot be read, writing would destroy what we could not see.
    std::string bytes;
    if (ReadFileBytes(path, kMaxSettingsFileBytes, &bytes, error) == ReadFileResult::Failed) {
        return false;
    }
    IniFile file = IniFile::Parse(bytes);
    file.SetValue(kSection, kPortKey, IntToStrPad(settings.portNumber, 0));
    // The analyser's reply may hold a line break, which would split the SerNr line.
    file.SetValue(kSection, kIdentificationKey, SingleLine(settings.identification));
    if (!MakeFolders(DirectoryPart(path, PathSeparators()), error)) {
        return false;
    }
    return WriteFileAtomically(path, file.Serialize(), error);
}
