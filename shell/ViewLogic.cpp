#include "ViewLogic.h"

#include "core/Text.h"

#include <algorithm>

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

namespace {

int64_t Overlap(const TScreenRect& a, const TScreenRect& b) {
    const int64_t w = std::min(a.Left + a.Width, b.Left + b.Width) - std::max(a.Left, b.Left);
    const int64_t h = std::min(a.Top + a.Height, b.Top + b.Height) - std::max(a.Top, b.Top);
    return w > 0 && h > 0 ? w * h : 0;
}

} // namespace

TScreenRect FitWindowRect(TScreenRect stored, const std::vector<TScreenRect>& monitors,
                          int64_t minWidth, int64_t minHeight) {
    // Texts from a file can hold any 32-bit number; sizes below the minimum are the minimum.
    stored.Width = std::max(stored.Width, minWidth);
    stored.Height = std::max(stored.Height, minHeight);
    if (monitors.empty())
        return stored;
    const TScreenRect* on = &monitors.front();
    int64_t best = 0;
    for (const auto& m : monitors) {
        const int64_t o = Overlap(stored, m);
        if (o > best) {
            best = o;
            on = &m;
        }
    }
    TScreenRect r = stored;
    r.Width = std::max(std::min(r.Width, on->Width), minWidth);
    r.Height = std::max(std::min(r.Height, on->Height), minHeight);
    // Fully onto the monitor; a window larger than it (the minimum) keeps its top-left corner
    // on the monitor's.
    r.Left = std::max(on->Left, std::min(r.Left, on->Left + on->Width - r.Width));
    r.Top = std::max(on->Top, std::min(r.Top, on->Top + on->Height - r.Height));
    return r;
}

} // namespace cv
