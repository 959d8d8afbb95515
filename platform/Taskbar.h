#pragma once
// The status overlay on the main window's taskbar button. Stands for the shell's taskbar list
// (CoCreateInstance of CLSID_TaskbarList for ITaskbarList4, HrInit, SetOverlayIcon with an icon
// made by CreateIconIndirect), armed by the registered window message "TaskbarButtonCreated"
// (RegisterWindowMessageW), which the shell sends whenever it creates the window's button, also
// after Explorer restarts; the message filter lets it reach an elevated window. Elsewhere there
// is no such button: nothing is armed and the window marks its own icon instead.
#include <cstdint>
#include <string>
#include <vector>

namespace cv {

// A picture for the overlay: 32-bit pixels 0xAARRGGBB with straight alpha, rows top to bottom.
struct TOverlayPicture {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
};

class ITaskbar {
public:
    virtual ~ITaskbar() = default;
    // Takes the main window (an HWND on Windows) and lets the shell's button message, and
    // WM_COMMAND, through to it even when the process runs elevated.
    virtual void Attach(uintptr_t window) = 0;
    // The window's native messages pass here (a MSG on Windows). True when it is the button
    // message for the attached window: the taskbar list has been made afresh (or is absent when
    // the shell offers none), and the caller sets the overlay again.
    virtual bool ButtonCreated(const void* nativeMessage) = 0;
    // Sets the overlay and its description (read out for it); false without a taskbar list, for
    // a picture with no pixels or more than 256 on a side, or when the shell refuses.
    virtual bool SetOverlay(const TOverlayPicture& picture, const std::string& description) = 0;
    // Removes the overlay; false without a taskbar list.
    virtual bool ClearOverlay() = 0;
    // Lets go of the window and the taskbar list; called before the thread leaves its COM
    // apartment.
    virtual void Detach() = 0;
};

} // namespace cv
