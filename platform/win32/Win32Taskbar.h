#pragma once
#include "platform/Taskbar.h"

#include <windows.h>

struct ITaskbarList4;

namespace cv {

// The shell's taskbar list for the attached window, made afresh on every "TaskbarButtonCreated".
// Lives on the window's thread, which is in a single-threaded COM apartment.
class TWin32Taskbar : public ITaskbar {
public:
    TWin32Taskbar() = default;
    TWin32Taskbar(const TWin32Taskbar&) = delete;
    TWin32Taskbar& operator=(const TWin32Taskbar&) = delete;
    ~TWin32Taskbar() override;

    void Attach(uintptr_t window) override;
    bool ButtonCreated(const void* nativeMessage) override;
    bool SetOverlay(const TOverlayPicture& picture, const std::string& description) override;
    bool ClearOverlay() override;
    void Detach() override;

private:
    void ReleaseList();

    HWND FWindow = nullptr;
    UINT FButtonMessage = 0;
    ITaskbarList4* FList = nullptr;
};

namespace win32 {

// An icon with the picture's pixels (a 32-bit colour bitmap with its alpha, and a mask marking
// the fully transparent pixels); null for a picture the overlay refuses. The caller destroys it.
HICON CreateOverlayIcon(const TOverlayPicture& picture);

} // namespace win32

} // namespace cv
