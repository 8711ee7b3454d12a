// windows.h first: shlobj.h relies on its definitions.
#include <windows.h>

#include <shlobj.h>

#include "config/record_location.h"
#include "config/wide_path_win32.h"

std::string SessionRecordFolder() {
    const std::string folder = KnownFolderPath(FOLDERID_LocalAppData);
    return folder.empty() ? folder : folder + "\\Fumilink\\Logs";
}
