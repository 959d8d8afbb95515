#include "Win32Shell.h"

#include "core/Text.h"

#include <windows.h>
#include <shellapi.h>

namespace cv {

namespace {
std::wstring Wide(const std::string& s) {
    std::u16string w = Utf8ToUtf16(s);
    return std::wstring(w.begin(), w.end());
}
} // namespace

bool TWin32Shell::Execute(const std::string& file, const std::string& parameters,
                          const std::string& workingFolder) {
    const std::wstring f = Wide(file), p = Wide(parameters), d = Wide(workingFolder);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC;
    info.hwnd = GetActiveWindow();
    info.lpVerb = nullptr; // the default verb
    info.lpFile = f.c_str();
    info.lpParameters = p.empty() ? nullptr : p.c_str();
    info.lpDirectory = d.empty() ? nullptr : d.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

} // namespace cv
