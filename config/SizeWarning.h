#pragma once
// The Configuration section's warning panel "SizeWarning", shared by the memory pool sizes and
// the web server port: one label, three flags, one visibility rule. The window shows
// LabelText in SizeWarningLabel and Visible on the panel; OnChange tells it when to look.
#include "SysConfigParEditor.h"

#include <functional>
#include <string>
#include <string_view>

namespace cv {

inline constexpr const char* ValueOutOfRangeText = "Value out of range";
inline constexpr const char* RequiresRestartText = "Requires Vornix restart";

class TSizeWarning {
public:
    bool FPrivBoolSizeChanged = false;     // a saved pool size differs while the service runs
    bool FPrivPoolValueOutOfRange = false; // the last pool-size edit was rejected
    bool FPortValueOutOfRange = false;     // the web server port field holds a bad port

    bool SizeWarningNeeded(bool serviceRunning) const {
        return FPortValueOutOfRange || FPrivPoolValueOutOfRange ||
               (serviceRunning && FPrivBoolSizeChanged);
    }

    const std::string& LabelText() const { return FLabelText; }
    bool Visible() const { return FVisible; }

    void SetLabelText(const std::string& text);
    // Shows or hides the panel by SizeWarningNeeded.
    void UpdateVisibility(bool serviceRunning);
    // The service reported a status in which it does not run: the restart warning goes.
    void ServiceNotRunning();

    std::function<void()> OnChange; // optional; after the label or the visibility changed

private:
    void Changed();

    std::string FLabelText;
    bool FVisible = false;
};

// The change event of both pool-size combo boxes. `tag` is the combo box's Tag (the ordinal of
// the parameter it edits). setFontRed is called with false first and with true when the text
// is rejected. A failed write raises from TrySaveParameter after the flags were cleared and
// leaves the panel as it was.
TSaveValue PrivePoolSizeChange(TSysConfigParEditor& editor, TSizeWarning& warning,
                               std::string_view comboText, int tag, bool serviceRunning,
                               const std::function<void(bool red)>& setFontRed = {});

} // namespace cv
