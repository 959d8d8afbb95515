#include "SizeWarning.h"

#include "core/Text.h"

namespace cv {

void TSizeWarning::SetLabelText(const std::string& text) {
    if (text == FLabelText)
        return;
    FLabelText = text;
    Changed();
}

void TSizeWarning::UpdateVisibility(bool serviceRunning) {
    bool visible = SizeWarningNeeded(serviceRunning);
    if (visible == FVisible)
        return;
    FVisible = visible;
    Changed();
}

void TSizeWarning::ServiceNotRunning() {
    FPrivBoolSizeChanged = false;
    UpdateVisibility(false);
}

void TSizeWarning::Changed() {
    if (OnChange)
        OnChange();
}

TSaveValue PrivePoolSizeChange(TSysConfigParEditor& editor, TSizeWarning& warning,
                               std::string_view comboText, int tag, bool serviceRunning,
                               const std::function<void(bool red)>& setFontRed) {
    const std::string text = Trim(comboText);
    if (setFontRed)
        setFontRed(false);
    warning.FPrivBoolSizeChanged = false;
    warning.FPrivPoolValueOutOfRange = false;
    const TSysConfigParParameter parameter =
        (tag == scpp_Memory_Pool_Size || tag == scpp_Private_Pool_Size)
            ? static_cast<TSysConfigParParameter>(tag)
            : scpp_Unknown;
    const TSaveValue result = editor.TrySaveParameter(text, parameter);
    switch (result) {
    case value_fail:
        warning.SetLabelText(ValueOutOfRangeText);
        if (setFontRed)
            setFontRed(true);
        warning.FPrivBoolSizeChanged = true;
        warning.FPrivPoolValueOutOfRange = true;
        break;
    case value_changed:
        if (!warning.FPortValueOutOfRange)
            warning.SetLabelText(RequiresRestartText);
        if (serviceRunning)
            warning.FPrivBoolSizeChanged = true;
        break;
    case value_ok:
        if (!warning.FPortValueOutOfRange)
            warning.SetLabelText(RequiresRestartText);
        break;
    }
    warning.UpdateVisibility(serviceRunning);
    return result;
}

} // namespace cv
