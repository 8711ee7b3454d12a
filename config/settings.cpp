#include "config/settings.h"

#include "config/atomic_write.h"
#include "config/file_bytes.h"
#include "config/file_failure_text.h"
#include "config/ini_file.h"
#include "config/make_folders.h"
#include "config/mean_request.h"
#include "config/path_parts.h"
#include "config/text_form.h"
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
    ReadFileFailure failure;
    switch (ReadFileBytes(path, kMaxSettingsFileBytes, &bytes, nullptr, &failure)) {
        case ReadFileResult::Failed:
            if (error != nullptr) {
                *error = ReadFailureText(failure, kMaxSettingsFileBytes);
            }
            return false;
        case ReadFileResult::Missing:
            settings.settingsFound = false;
            return true;
        case ReadFileResult::Ok:
            break;
    }
    const FileText text = DecodeFileText(bytes);
    IniFile file = IniFile::Parse(text.text);
    if (!file.HasSection(kSection)) {
        settings.settingsFound = false;
        return true;
    }
    const auto read = [&](const char* key, const char* defaultValue) {
        return TextToCp1252(text.form, file.ReadString(kSection, key, defaultValue));
    };
    settings.portNumber = ParseIntLoose(read(kPortKey, "1"));
    settings.identification = read(kIdentificationKey, "1");
    settings.so2Key = read(kSo2Key, "");
    settings.meanSeconds = read(kMeanSettingsKey, "");
    settings.settingsFound = true;
    return true;
}

bool SaveSettings(const std::string& path, const Settings& settings, std::string* error) {
    // The existing file is read first so that everything but our two keys survives; if it
    // cannot be read, writing would destroy what we could not see.
    std::string bytes;
    ReadFileFailure readFailure;
    if (ReadFileBytes(path, kMaxSettingsFileBytes, &bytes, nullptr, &readFailure) ==
        ReadFileResult::Failed) {
        if (error != nullptr) {
            *error = ReadFailureText(readFailure, kMaxSettingsFileBytes);
        }
        return false;
    }
    // Written back in the form an editor saved it in; a new file is ANSI.
    FileText text = DecodeFileText(bytes);
    IniFile file = IniFile::Parse(text.text);
    file.SetValue(kSection, kPortKey, IntToStrPad(settings.portNumber, 0));
    // The analyser's reply may hold a line break, which would split the SerNr line.
    file.SetValue(kSection, kIdentificationKey,
                  Cp1252ToText(text.form, SingleLine(settings.identification)));
    std::string folderError;
    if (!MakeFolders(DirectoryPart(path, PathSeparators()), &folderError)) {
        if (error != nullptr) {
            *error = "Der Ordner der Datei lässt sich nicht anlegen (" + folderError + ").";
        }
        return false;
    }
    text.text = file.Serialize();
    WriteFileFailure writeFailure;
    if (!WriteFileAtomically(path, EncodeFileText(text), nullptr, &writeFailure)) {
        if (error != nullptr) {
            *error = WriteFailureText(writeFailure);
        }
        return false;
    }
    return true;
}
