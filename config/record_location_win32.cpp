// windows.h first: shlobj.h relies on its definitions.
#include <windows.h>

#include <shlobj.h>

#include "config/record_location.h"
#include "config/wide_path_win32.h"

std::string SessionRecordFolder() {
    // The known folder, never an environment variable: a Windows program may find Unix
    // ones in its environment under Wine, and %LOCALAPPDATA% can be redirected.
    wchar_t* folder = nullptr;
    std::string path;
    if (SUCCEEDED(
            SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &folder))) {
        path = PathFromSystem(folder) + "\\Fumilink\\Logs";
    }
    CoTaskMemFree(folder);
    return path;
}
