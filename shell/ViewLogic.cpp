#include "ViewLogic.h"

#include "core/Text.h"

namespace cv {

TMessageBarContent ComputeMessageBar(uint8_t kind, const std::string& text, int32_t eventNumber) {
    TMessageBarContent c;
    if (!(kind == 4 || eventNumber != 0))
        return c;
    c.Show = true;
    switch (kind) {
    case 1:
        c.Colour = {247, 140, 98};
        break;
    case 2:
        c.Colour = {247, 213, 98};
        break;
    default:
        c.Colour = {70, 117, 160};
        c.TextColour = {255, 255, 255};
        break;
    }
    auto pieces = SplitAny(text, "\r\n");
    if (pieces.size() < 2) {
        c.Label = text;
    } else {
        c.Label = pieces[0];
        pieces.erase(pieces.begin());
        c.HelpContext = Join(pieces, "\r\n");
    }
    if (eventNumber >= 12000) {
        c.ShowHelpContext = !c.HelpContext.empty();
        c.ShowHelpImage = true;
    }
    return c;
}

std::vector<TTreeNodeData> BuildApplicationNodes(const TApplicationStates& states) {
    std::vector<TTreeNodeData> nodes;
    for (const auto& [number, info] : states.ApplicationStates()) { // ordered by number
        TTreeNodeData n;
        n.Text = std::to_string(number) + ": " + info.Name;
        n.ImageIndex = 3 + static_cast<int>(info.State);
        n.SelectedIndex = 6 + static_cast<int>(info.ShadowingPhase);
        nodes.push_back(std::move(n));
    }
    return nodes;
}

std::string ApplicationHint(int imageIndex, int selectedIndex) {
    static const char* states[] = {"Cold", "Warm", "Hot"};
    static const char* phases[] = {"TO_WARM_SEND",    "WARM_SEND",    "TO_HOT_SEND",
                                   "HOT_SEND",        "TO_WARM_RECEIVE", "WARM_RECEIVE",
                                   "TO_HOT_RECEIVE",  "HOT_RECEIVE"};
    std::string hint = imageIndex >= 3 && imageIndex <= 5 ? states[imageIndex - 3] : "";
    if (selectedIndex >= 7 && selectedIndex <= 14)
        hint += std::string(" Shadowing phase: ") + phases[selectedIndex - 7];
    return hint;
}

} // namespace cv
