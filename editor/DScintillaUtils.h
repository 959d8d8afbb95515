#pragma once
// Helpers over the editor control that more than one unit uses.
#include "editor/DScintilla.h"

#include <string>

namespace cv {

// Applies the Lumo style table and indicators: the default style's font and size, every style
// reset to it, the colours and weights of the Lumo styles, the brace styles, the error squiggle
// and the two block-match boxes.
void ApplyLumoStyleTable(TDScintilla& Editor);

// The family the style table asks for, or this system's fixed-width family where that one is
// not installed (so code never shows in a proportional font).
std::string LumoFontFamily();

} // namespace cv
