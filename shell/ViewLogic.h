#pragma once
// What the window shows, computed without a window: the message bar's content and the
// applications tree's nodes and hints.
#include "notify/Model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cv {

struct TRgb {
    uint8_t R, G, B;
    bool operator==(const TRgb&) const = default;
};

struct TMessageBarContent {
    bool Show = false; // false: the request is dropped and the bar stays as it is
    TRgb Colour{70, 117, 160};
    TRgb TextColour{0, 0, 0};
    std::string Label;
    std::string HelpContext;
    bool ShowHelpContext = false;
    bool ShowHelpImage = false;
};

TMessageBarContent ComputeMessageBar(uint8_t kind, const std::string& text, int32_t eventNumber);

struct TTreeNodeData {
    std::string Text;
    int ImageIndex = 3;
    int SelectedIndex = 6;
};

// One node per application, by ascending number.
std::vector<TTreeNodeData> BuildApplicationNodes(const TApplicationStates& states);
std::string ApplicationHint(int imageIndex, int selectedIndex);

} // namespace cv
