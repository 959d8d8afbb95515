#pragma once
// The window as the controller sees it.
#include "notify/Model.h"

#include <cstdint>
#include <string>

namespace cv {

class IControlPanelView {
public:
    virtual ~IControlPanelView() = default;
    virtual void StatusUpdate(const std::string& key, const std::string& value) = 0;
    virtual void SysInfoUpdate(TSysInfo sysInfo) = 0;
    // Null: the service is down, every application is shown cold.
    virtual void AplStatesUpdate(const TApplicationStates* aplStates) = 0;
    virtual void ShowMessage(uint8_t kind, const std::string& text, int32_t eventNumber) = 0;
    virtual void UpdatePosition(int32_t top, int32_t left, int32_t height, int32_t width,
                                bool maximized, bool runNotify, bool extended, bool productSetup,
                                const std::string& source, const std::string& target) = 0;
};

} // namespace cv
