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

struct TScreenRect {
    int64_t Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const TScreenRect&) const = default;
};

// A stored window rectangle fitted to the monitors as they are now (their available areas,
// the primary one first): the window goes onto the monitor it mostly lies on (the primary one
// when it lies on none, as when its monitor is gone), is made no larger than that monitor's
// area but never smaller than the minimum, and is moved fully onto it. A layout saved on a
// large monitor, or a hand-edited file, would otherwise open a window wider than the screen.
TScreenRect FitWindowRect(TScreenRect stored, const std::vector<TScreenRect>& monitors,
                          int64_t minWidth, int64_t minHeight);

} // namespace cv
