#include "DScintillaUtils.h"

#include "editor/LumoScanner.h"

#include <QFontDatabase>

namespace cv {

std::string LumoFontFamily() {
    if (QFontDatabase::hasFamily(QString::fromLatin1(LumoFontName)))
        return LumoFontName;
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family().toStdString();
}

void ApplyLumoStyleTable(TDScintilla& Editor) {
    Editor.StyleSetFont(SciStyleDefault, LumoFontFamily());
    Editor.StyleSetSize(SciStyleDefault, LumoFontSize);
    Editor.StyleClearAll();
    for (const TLumoStyleLook& look : LumoStyleLooks) {
        if (look.Fore >= 0)
            Editor.StyleSetFore(look.Style, look.Fore);
        if (look.Bold)
            Editor.StyleSetBold(look.Style, true);
    }
    Editor.StyleSetBack(SciStyleBraceLight, LumoBraceLightBack);
    Editor.StyleSetBack(SciStyleBraceBad, LumoBraceBadBack);

    Editor.IndicSetStyle(LumoIndicatorBlockMatch, SciIndicStraightBox);
    Editor.IndicSetAlpha(LumoIndicatorBlockMatch, LumoBlockAlpha);
    Editor.IndicSetFore(LumoIndicatorBlockMatch, LumoBlockMatchFore);
    Editor.IndicSetUnder(LumoIndicatorBlockMatch, true);
    Editor.IndicSetStyle(LumoIndicatorBlockUnmatched, SciIndicStraightBox);
    Editor.IndicSetFore(LumoIndicatorBlockUnmatched, LumoBlockUnmatchedFore);
    Editor.IndicSetAlpha(LumoIndicatorBlockUnmatched, LumoBlockAlpha);
    Editor.IndicSetUnder(LumoIndicatorBlockUnmatched, true);
    Editor.IndicSetStyle(LumoIndicatorError, SciIndicSquiggle);
    Editor.IndicSetFore(LumoIndicatorError, LumoErrorFore);
}

} // namespace cv
