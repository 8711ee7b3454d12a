#include "config/record_settings.h"

#include <algorithm>

#include "config/file_bytes.h"
#include "config/ini_file.h"
#include "config/settings.h"
#include "config/text_form.h"
#include "data/cp1252.h"

namespace {

constexpr const char* kSection = "Main";

/// Protokolltage: digits only; the days of a few lifetimes at most.
bool ParseDays(const std::string& text, int& days) {
    if (text.empty() || text.size() > 6 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    days = std::stoi(text);
    return true;
}

}  // namespace

void ReadRecordSettings(const std::string& path, RecordSettings& settings) {
    std::string bytes;
    if (path.empty() ||
        ReadFileBytes(path, kMaxSettingsFileBytes, &bytes, nullptr) != ReadFileResult::Ok) {
        return;
    }
    const FileText text = DecodeFileText(bytes);
    const IniFile file = IniFile::Parse(text.text);
    if (const auto enabled = file.Value(kSection, "Protokolle")) {
        settings.enabled = *enabled != "0";
    }
    if (const auto folder = file.Value(kSection, "Protokollordner")) {
        // The Unicode forms come as UTF-8 already.
        settings.folder = text.form != TextForm::Ansi || IsWellFormedUtf8(*folder)
                              ? *folder
                              : Cp1252ToUtf8(*folder);
    }
    if (const auto days = file.Value(kSection, "Protokolltage")) {
        ParseDays(*days, settings.keptDays);
    }
}

RecordSettings RecordSettingsFrom(const std::string& userFile, const std::string& adminFile) {
    RecordSettings settings;
    ReadRecordSettings(userFile, settings);
    if (adminFile != userFile) {
        ReadRecordSettings(adminFile, settings);
    }
    ApplyRecordPolicy(settings);
    return settings;
}

#ifndef _WIN32
void ApplyRecordPolicy(RecordSettings&) {}
#endif
