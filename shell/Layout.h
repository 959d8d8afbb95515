#pragma once
// The main window's layout and a few user choices, kept as attributes of the control panel's
// settings root element.
#include <pugixml.hpp>

#include <cstdint>
#include <string>

namespace cv {

struct TDialogLayout {
    int32_t FLeft = 200;
    int32_t FTop = 200;
    int32_t FHeight = 300;
    int32_t FWidth = 600;
    bool FMaximized = false;
    bool FRunNotify = false;
    bool FExtended = false;
    std::string FSource = "C:;D:";
    std::string FTarget = "E:";
    bool FProductSetup = false;

    TDialogLayout() = default;
    explicit TDialogLayout(const pugi::xml_node& node);
    // Sets all ten attributes, in their order; other attributes and children stay.
    void Save(pugi::xml_node node) const;
};

} // namespace cv
