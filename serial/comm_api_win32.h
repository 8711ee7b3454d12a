#pragma once
// The Win32 calls through which the back end reaches a serial port's driver, in one table,
// and the one fact about the system it needs besides: whether it is Wine. The program
// always calls the system's functions; a test may put a table of its own in place to stand
// in for a driver Wine cannot imitate (one that refuses what real drivers refuse, a write
// that never completes, an adapter pulled out, a Bluetooth port whose CreateFile makes the
// radio connection before it returns) or for Windows itself.

#include "serial/is_wine_win32.h"
#include "serial/windows_dcb_win32.h"

struct CommApi {
    HANDLE(WINAPI* CreateFileA)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL(WINAPI* SetCommState)(HANDLE, LPDCB);
    BOOL(WINAPI* GetCommState)(HANDLE, LPDCB);
    BOOL(WINAPI* SetupComm)(HANDLE, DWORD, DWORD);
    BOOL(WINAPI* SetCommTimeouts)(HANDLE, LPCOMMTIMEOUTS);
    BOOL(WINAPI* SetCommMask)(HANDLE, DWORD);
    BOOL(WINAPI* WaitCommEvent)(HANDLE, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* ClearCommError)(HANDLE, LPDWORD, LPCOMSTAT);
    BOOL(WINAPI* GetCommModemStatus)(HANDLE, LPDWORD);
    BOOL(WINAPI* EscapeCommFunction)(HANDLE, DWORD);
    BOOL(WINAPI* PurgeComm)(HANDLE, DWORD);
    BOOL(WINAPI* ReadFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* WriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* GetOverlappedResult)(HANDLE, LPOVERLAPPED, LPDWORD, BOOL);
    BOOL(WINAPI* CancelIoEx)(HANDLE, LPOVERLAPPED);
    /// True when the program runs under Wine: its ntdll exports wine_get_version, Windows'
    /// does not. Only there may a port whose waits fail be polled instead (Wine cannot wait
    /// for events on a pseudo-terminal); on Windows a failed wait is a failed wait.
    bool (*IsWine)();
};

/// The table the back end calls through.
const CommApi& Comm();
/// The system's functions.
const CommApi& SystemCommApi();
/// Puts `api` in place of the system's functions (nullptr restores them). Only while no
/// port is open.
void ReplaceCommApi(const CommApi* api);
