#pragma once
// Small helpers shared by the Windows tests.
#include "platform/win32/Win32Text.h"

#include <windows.h>

#include <string>

namespace cvtest {

// A kernel-object or file name no other test run uses.
inline std::string UniqueName(const char* what) {
    return std::string("VornixTest_") + what + "_" + std::to_string(::GetCurrentProcessId()) + "_" +
           std::to_string(::GetTickCount64());
}

// This test program's full path.
inline std::wstring OwnModulePath() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, n);
}

} // namespace cvtest
