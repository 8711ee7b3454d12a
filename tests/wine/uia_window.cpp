// uia_window.exe TITLE: reads the UI Automation element of the visible top-level window
// whose title begins with TITLE through the flat client calls of UIAutomationCore.dll
// (UiaNodeFromHandle, UiaGetPropertyValue), which Wine implements; Wine has no COM client
// (CUIAutomation), which the usual tools use. Prints one line: control type id, framework
// id and name, e.g. 50032 Qt "Fumilink 1.0,007". Ends with 0 when the element was read,
// 1 otherwise.
//
// Only the window itself: under Wine 8, reaching an element below it (UiaNavigate,
// UiaNodeFromFocus) never returns when the element comes from the program's GUI thread
// (Wine asks for the element's runtime id from a thread of its own, which waits for that
// thread while the thread waits for it). Windows' own UI Automation has no such wait.
//
// Built by tests/wine/accessibility_e2e.sh (MinGW-w64, no Qt). MinGW-w64's
// UIAutomationCoreApi.h does not compile as C++ (a parameter there is called "new"), so the
// two calls are declared below as the Windows documentation gives them, and looked up at
// run time, as Qt does.

#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <string>

DECLARE_HANDLE(HUIANODE);

namespace {

constexpr int kControlType = 30003;  // UIA_ControlTypePropertyId
constexpr int kName = 30005;         // UIA_NamePropertyId
constexpr int kFrameworkId = 30024;  // UIA_FrameworkIdPropertyId

using NodeFromHandle = HRESULT(WINAPI*)(HWND, HUIANODE*);
using GetPropertyValue = HRESULT(WINAPI*)(HUIANODE, int, VARIANT*);
using NodeRelease = BOOL(WINAPI*)(HUIANODE);

template <typename F>
bool Find(HMODULE dll, const char* name, F& function) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    if (function == nullptr) {
        std::fprintf(stderr, "UIAutomationCore.dll has no %s\n", name);
    }
    return function != nullptr;
}

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    return result;
}

// The property as text: a string as it is, a number in decimal, anything else empty.
std::string Property(GetPropertyValue get, HUIANODE node, int property) {
    VARIANT value;
    VariantInit(&value);
    std::string text;
    if (SUCCEEDED(get(node, property, &value))) {
        if (value.vt == VT_BSTR && value.bstrVal != nullptr) {
            text = Utf8(value.bstrVal);
        } else if (value.vt == VT_I4) {
            text = std::to_string(value.lVal);
        }
    }
    VariantClear(&value);
    return text;
}

struct Search {
    std::wstring prefix;
    HWND found = nullptr;
};

BOOL CALLBACK CheckWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    if (IsWindowVisible(window) &&
        std::wcsncmp(title, search->prefix.c_str(), search->prefix.size()) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: uia_window.exe TITLE\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HMODULE dll = LoadLibraryW(L"UIAutomationCore.dll");
    NodeFromHandle nodeFromHandle = nullptr;
    GetPropertyValue getPropertyValue = nullptr;
    NodeRelease nodeRelease = nullptr;
    if (dll == nullptr || !Find(dll, "UiaNodeFromHandle", nodeFromHandle) ||
        !Find(dll, "UiaGetPropertyValue", getPropertyValue) ||
        !Find(dll, "UiaNodeRelease", nodeRelease)) {
        std::fprintf(stderr, "no UI Automation client calls\n");
        return 1;
    }
    Search search{argv[1]};
    EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) {
        std::fprintf(stderr, "no visible window titled \"%s...\"\n", Utf8(argv[1]).c_str());
        return 1;
    }
    HUIANODE node = nullptr;
    const HRESULT result = nodeFromHandle(search.found, &node);
    if (FAILED(result) || node == nullptr) {
        std::fprintf(stderr, "UiaNodeFromHandle failed (0x%08lx)\n",
                     static_cast<unsigned long>(result));
        return 1;
    }
    std::printf("%s %s \"%s\"\n", Property(getPropertyValue, node, kControlType).c_str(),
                Property(getPropertyValue, node, kFrameworkId).c_str(),
                Property(getPropertyValue, node, kName).c_str());
    nodeRelease(node);
    return 0;
}
