// windows.h first: the registry functions rely on its definitions.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/record_settings.h"
#include "config/wide_path_win32.h"

namespace {

// Machine policy, where Group Policy and Intune put what the administrative template sets.
constexpr const wchar_t* kPolicyKey = L"SOFTWARE\\Policies\\Fumilink";

bool ReadDword(const wchar_t* name, DWORD& value) {
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_LOCAL_MACHINE, kPolicyKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                        &size) == ERROR_SUCCESS;
}

/// A string value, REG_SZ or REG_EXPAND_SZ, with its environment variables expanded. The
/// template writes REG_SZ, whose variables RegGetValueW leaves alone; RRF_RT_REG_EXPAND_SZ
/// is valid only with RRF_NOEXPAND, so both types are read as written and expanded here.
bool ReadFolder(const wchar_t* name, std::string& folder) {
    DWORD size = 0;
    const DWORD types = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kPolicyKey, name, types, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size < sizeof(wchar_t)) {
        return false;
    }
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1);
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kPolicyKey, name, types, nullptr, text.data(), &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    const DWORD needed = ExpandEnvironmentStringsW(text.data(), nullptr, 0);
    if (needed == 0) {
        return false;
    }
    std::vector<wchar_t> expanded(needed);
    if (ExpandEnvironmentStringsW(text.data(), expanded.data(), needed) == 0) {
        return false;
    }
    folder = Utf16ToUtf8(expanded.data());
    return true;
}

}  // namespace

void ApplyRecordPolicy(RecordSettings& settings) {
    DWORD value = 0;
    if (ReadDword(L"Protokolle", value)) {
        settings.enabled = value != 0;
    }
    if (ReadDword(L"Protokolltage", value)) {
        // More than a few lifetimes is as good as no limit.
        settings.keptDays = static_cast<int>(std::min<DWORD>(value, 999999));
    }
    std::string folder;
    if (ReadFolder(L"Protokollordner", folder)) {
        settings.folder = folder;
    }
}
