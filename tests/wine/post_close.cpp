// post_close.exe IMAGE LOG TEXT [DELAY_MS [HOLD_MS]]: waits until the file LOG holds TEXT,
// then, DELAY_MS later, does what "taskkill /IM IMAGE" without /F does: posts WM_CLOSE to
// every top-level window of every process whose image is IMAGE. Started before the moment
// it waits for, it closes within milliseconds of it; taskkill itself takes a Wine start,
// some hundreds of milliseconds, to get there, longer than some of the waits it is meant
// to land in. HOLD_MS: the processes' threads are suspended that long from just before the
// post, as a program busy for that long would be, so that the close and the timer ticks
// that came due meanwhile reach its event loop together.
// Prints "waiting for 'TEXT'" once it looks (a Wine start takes a while: wait for that line
// before what it waits for), then the milliseconds from seeing TEXT to the post and the
// windows posted to. Exit
// status: 0 posted to at least one window, 1 no window of IMAGE, 2 TEXT did not come
// within 120 s, 3 usage.
//
// Built by scripts/lib/wine-session.sh for each session (MinGW-w64, no Qt).

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

namespace {

std::set<DWORD> ProcessesOf(const wchar_t* image) {
    std::set<DWORD> found;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return found;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, image) == 0) {
            found.insert(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return found;
}

struct Closing {
    std::set<DWORD> processes;
    int posted = 0;
};

/// Suspends (or resumes) every thread of `processes`; returns the threads' handles.
std::vector<HANDLE> SuspendThreadsOf(const std::set<DWORD>& processes) {
    std::vector<HANDLE> threads;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return threads;
    }
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (processes.count(entry.th32OwnerProcessID) == 0) {
            continue;
        }
        if (const HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID)) {
            SuspendThread(thread);
            threads.push_back(thread);
        }
    }
    CloseHandle(snapshot);
    return threads;
}

BOOL CALLBACK PostCloseTo(HWND window, LPARAM context) {
    auto& closing = *reinterpret_cast<Closing*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (closing.processes.count(process) != 0 && PostMessageW(window, WM_CLOSE, 0, 0)) {
        ++closing.posted;
    }
    return TRUE;
}

// Reads what was appended to LOG since `offset`; false when LOG cannot be opened. The log
// is written by another process, which keeps it open.
bool ReadMore(const wchar_t* path, LONGLONG& offset, std::string& text) {
    const HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER at;
    at.QuadPart = offset;
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
        offset += got;
    }
    CloseHandle(file);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fputs("usage: post_close.exe IMAGE LOG TEXT [DELAY_MS [HOLD_MS]]\n", stderr);
        return 3;
    }
    const wchar_t* image = argv[1];
    const wchar_t* log = argv[2];
    char wanted[1024];
    if (WideCharToMultiByte(CP_UTF8, 0, argv[3], -1, wanted, sizeof wanted, nullptr, nullptr) <=
        1) {
        std::fputs("post_close: TEXT must not be empty\n", stderr);
        return 3;
    }
    const DWORD delay = argc > 4 ? static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)) : 0;
    const DWORD hold = argc > 5 ? static_cast<DWORD>(std::wcstoul(argv[5], nullptr, 10)) : 0;

    // The processes are looked up before the wait (a snapshot takes Wine a while), and again
    // after it when there were none yet.
    Closing closing{ProcessesOf(image), 0};
    // Only the tail that could hold the start of TEXT is kept between two reads.
    const std::string text(wanted);
    std::string seen;
    LONGLONG offset = 0;
    const ULONGLONG deadline = GetTickCount64() + 120000;
    std::printf("waiting for '%s'\n", wanted);
    std::fflush(stdout);
    while (seen.find(text) == std::string::npos) {
        if (seen.size() > text.size()) {
            seen.erase(0, seen.size() - text.size());
        }
        if (GetTickCount64() > deadline) {
            std::fprintf(stderr, "post_close: '%s' did not come\n", wanted);
            return 2;
        }
        Sleep(2);
        ReadMore(log, offset, seen);
    }
    LARGE_INTEGER frequency, from, to;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&from);
    if (delay > 0) {
        Sleep(delay);
    }

    if (closing.processes.empty()) {
        closing.processes = ProcessesOf(image);
    }
    const std::vector<HANDLE> held =
        hold > 0 ? SuspendThreadsOf(closing.processes) : std::vector<HANDLE>();
    EnumWindows(PostCloseTo, reinterpret_cast<LPARAM>(&closing));
    QueryPerformanceCounter(&to);
    if (!held.empty()) {
        Sleep(hold);
        for (const HANDLE thread : held) {
            ResumeThread(thread);
            CloseHandle(thread);
        }
    }
    std::printf("posted WM_CLOSE to %d window(s) %.0f ms after '%s'\n", closing.posted,
                1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
                    static_cast<double>(frequency.QuadPart),
                wanted);
    std::fflush(stdout);
    return closing.posted > 0 ? 0 : 1;
}
