#pragma once
// The overlay icon of the window's taskbar button. Stands for ITaskbarList3::SetOverlayIcon
// (CLSID_TaskbarList, HrInit); elsewhere the shell sets the window icon instead.
#include <cstdint>
#include <string>

namespace cv {

class ITaskbar {
public:
    virtual ~ITaskbar() = default;
    // Creates the taskbar list object; false when the shell offers none.
    virtual bool Init() = 0;
    // `icon` is the platform's icon handle (HICON); `description` the overlay's text.
    virtual bool SetOverlayIcon(uintptr_t window, uintptr_t icon, const std::string& description) = 0;
};

} // namespace cv
