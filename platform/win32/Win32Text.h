#pragma once
// Conversions for the wide-character calls and the system's error texts.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace cv::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
// FormatMessageW's text for an error code, without the trailing line break.
std::string SystemErrorText(uint32_t code);

// GetProcAddress with the cast through FARPROC kept in one place.
template <typename TFunction> TFunction LookupProc(const wchar_t* module, const char* name) {
    HMODULE h = ::GetModuleHandleW(module);
    if (!h)
        return nullptr;
    FARPROC p = ::GetProcAddress(h, name);
    return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(p));
}

} // namespace cv::win32
