#include "Win32MessageFilter.h"

#include "Win32Text.h"

#include <windows.h>

#include <exception>
#include <string>

namespace cv {
namespace {

using TChangeWindowMessageFilter = BOOL(WINAPI*)(UINT, DWORD);
using TChangeWindowMessageFilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);

constexpr DWORD kMsgFltAdd = 1;
constexpr DWORD kMsgFltAllow = 1;

struct TFilterEntries {
    TChangeWindowMessageFilter Filter = nullptr;
    TChangeWindowMessageFilterEx FilterEx = nullptr;
};

bool IsWindows7OrLater() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!::GetVersionExW(&info))
        return false;
    return info.dwMajorVersion > 6 || (info.dwMajorVersion == 6 && info.dwMinorVersion >= 1);
}

TFilterEntries LookupEntries() {
    TFilterEntries e;
    try {
        if (IsWindows7OrLater()) {
            e.Filter = win32::LookupProc<TChangeWindowMessageFilter>(L"user32.dll",
                                                                     "ChangeWindowMessageFilter");
            e.FilterEx = win32::LookupProc<TChangeWindowMessageFilterEx>(
                L"user32.dll", "ChangeWindowMessageFilterEx");
        }
    } catch (const std::exception& ex) {
        ::OutputDebugStringW(win32::Widen(std::string("INIT VistaTools: ") + ex.what()).c_str());
        e = {};
    }
    return e;
}

const TFilterEntries& Entries() {
    static const TFilterEntries entries = LookupEntries();
    return entries;
}

} // namespace

TMessageFilterCall AllowElevatedMessages(uintptr_t window, uint32_t extraMessage) {
    const TFilterEntries& e = Entries();
    HWND hwnd = reinterpret_cast<HWND>(window);
    if (e.FilterEx) {
        e.FilterEx(hwnd, WM_COMMAND, kMsgFltAllow, nullptr);
        e.FilterEx(hwnd, extraMessage, kMsgFltAllow, nullptr);
        return TMessageFilterCall::mfc_FilterEx;
    }
    if (e.Filter) {
        e.Filter(WM_COMMAND, kMsgFltAdd);
        e.Filter(extraMessage, kMsgFltAdd);
        return TMessageFilterCall::mfc_Filter;
    }
    return TMessageFilterCall::mfc_None;
}

} // namespace cv
