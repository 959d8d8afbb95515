#pragma once
// Values the editor's users pass to the editing component: code page, line ends, search
// flags, update and modification flags, indicator and marker kinds. Plain constants, so the
// Qt-free units and their tests can use them too.
#include <cstdint>

namespace cv {

inline constexpr int SciCodePageUtf8 = 65001;

// End-of-line modes.
inline constexpr int SciEolCrLf = 0;
inline constexpr int SciEolCr = 1;
inline constexpr int SciEolLf = 2;

// Styling modes for SetLexer: the container styles, or nothing does.
inline constexpr int SciLexerContainer = 0;
inline constexpr int SciLexerNone = 1;

// Search flags.
inline constexpr int SciFindWholeWord = 2;
inline constexpr int SciFindMatchCase = 4;
inline constexpr int SciFindRegExp = 0x200000;

// OnUpdateUI flags.
inline constexpr int SciUpdateContent = 1;
inline constexpr int SciUpdateSelection = 2;

// OnModified modification types, and the mask that lets only insertions and deletions through.
inline constexpr int SciModInsertText = 1;
inline constexpr int SciModDeleteText = 2;
inline constexpr int SciModEventMaskInsertDelete = SciModInsertText | SciModDeleteText;

// Indicator styles.
inline constexpr int SciIndicSquiggle = 1;
inline constexpr int SciIndicStraightBox = 8;

// Marker kinds.
inline constexpr int SciMarkBackground = 22;

// Indentation guide modes.
inline constexpr int SciIndentGuidesLookBoth = 3;

// Predefined styles.
inline constexpr int SciStyleDefault = 32;
inline constexpr int SciStyleBraceLight = 34;
inline constexpr int SciStyleBraceBad = 35;

// A range of positions, start inclusive, end exclusive.
struct TSciRange {
    int Start = -1;
    int End = -1;
    bool operator==(const TSciRange&) const = default;
};

// One modification notification.
struct TSciModification {
    int Position = 0;
    int ModificationType = 0;
    int Length = 0;
    int LinesAdded = 0;
};

} // namespace cv
