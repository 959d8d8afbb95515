#pragma once
// The script editor's text area: the editing component with one typed call per operation the
// editor uses. Strings cross as UTF-8; positions and lengths are byte offsets; colours are
// 0xBBGGRR. It is also the document the Lumo styler reads and styles (ILumoDocument).
//
// Created with the UTF-8 code page and CR LF line ends. Styling is the container's when
// SetLexer(SciLexerContainer): the component then raises OnStyleNeeded as text becomes visible.
#include "editor/DScintillaCustom.h"
#include "editor/LumoDocument.h"

#include <string>

namespace cv {

class TDScintilla : public TDScintillaCustom, public ILumoDocument {
public:
    explicit TDScintilla(QWidget* Parent = nullptr);

    // --- Text
    int GetLength() const override;
    // The signed byte at Pos; 0 outside the text.
    char GetCharAt(int Pos) const;
    // Bytes Start .. End - 1.
    std::string GetTextRange(int Start, int End) const;
    // The line with its line end.
    std::string GetLine(int Line) const;
    std::string GetSelText() const;
    // The whole text, unchanged (line ends as they stand).
    std::string GetText() const;
    // Replaces the whole text (one undo step), zero bytes included.
    void SetText(const std::string& Text);
    void AppendText(const std::string& Text);
    // InsertText, ReplaceSel and the search calls take text up to its first zero byte.
    void InsertText(int Pos, const std::string& Text);
    void DeleteRange(int Pos, int Length);
    void ReplaceSel(const std::string& Text);
    void ClearAll();
    void SetTargetStart(int Pos);
    void SetTargetEnd(int Pos);
    int GetTargetStart() const;
    int GetTargetEnd() const;
    // Replaces the target; returns the replacement's length. The target then covers it.
    int ReplaceTarget(const std::string& Text);
    int GetEOLMode() const;
    void SetEOLMode(int Mode);
    int GetCodePage() const;
    void SetCodePage(int CodePage);

    // --- Undo and clipboard
    bool GetModify() const;
    void SetSavePoint();
    void EmptyUndoBuffer();
    bool CanUndo() const;
    void Undo();
    bool CanRedo() const;
    void Redo();
    void Cut();
    void Copy();
    void Paste();
    bool CanPaste() const;
    void SelectAll();
    bool GetReadOnly() const;

    // --- Positions and selection
    int GetCurrentPos() const;
    int GetLineCount() const override;
    int LineFromPosition(int Pos) const override;
    // Start of the line; -1 for a line past the last.
    int PositionFromLine(int Line) const override;
    int GetLineEndPosition(int Line) const;
    int GetColumn(int Pos) const;
    int WordStartPosition(int Pos, bool OnlyWordCharacters) const;
    int WordEndPosition(int Pos, bool OnlyWordCharacters) const;
    int GetSelectionStart() const;
    int GetSelectionEnd() const;
    bool GetSelectionEmpty() const;
    // Selects from Anchor to Caret.
    void SetSel(int Anchor, int Caret);
    void SetEmptySelection(int Pos);
    void GotoLine(int Line);
    void GotoPos(int Pos);
    void ScrollCaret();

    // --- Search (Flags: SciFind*)
    // Sets the anchor for SearchNext and SearchPrev at the selection's start.
    void SearchAnchor();
    // Searches from the anchor towards the end (start) of the text without wrapping; selects the
    // match and returns its position, or -1.
    int SearchNext(int Flags, const std::string& Text);
    int SearchPrev(int Flags, const std::string& Text);
    // Searches Start .. End (backwards when End < Start); the match's range, or {-1, -1}.
    TSciRange FindText(int Flags, int Start, int End, const std::string& Text) const;

    // --- Styling
    void SetLexer(int Lexer);
    int GetLexer() const;
    int GetEndStyled() const;
    // The mask is ignored by this component; kept for the callers that pass it.
    void StartStyling(int Pos, int Mask = 31);
    void SetStyling(int Length, int Style);
    void SetStylingEx(int Length, const char* Styles);
    // Style number at Pos, 0 .. 255.
    int GetStyleAt(int Pos) const;
    void SetLineState(int Line, int State) override;
    int GetLineState(int Line) const override;
    void StyleSetFont(int Style, const std::string& FontName);
    void StyleSetSize(int Style, int Points);
    void StyleSetFore(int Style, int Colour);
    void StyleSetBack(int Style, int Colour);
    void StyleSetBold(int Style, bool Bold);
    std::string StyleGetFont(int Style) const;
    int StyleGetSize(int Style) const;
    int StyleGetFore(int Style) const;
    int StyleGetBack(int Style) const;
    bool StyleGetBold(int Style) const;
    // Every style takes the default style's look.
    void StyleClearAll();
    // Asks for styling from Start to End (-1: the end), as painting would.
    void Colourise(int Start, int End);

    // --- Marks
    void SetIndicatorCurrent(int Indicator) override;
    int GetIndicatorCurrent() const;
    void IndicatorFillRange(int Pos, int Length) override;
    void IndicatorClearRange(int Pos, int Length) override;
    // The indicator's value at Pos (0: not set).
    int IndicatorValueAt(int Indicator, int Pos) const;
    void IndicSetStyle(int Indicator, int Style);
    void IndicSetFore(int Indicator, int Colour);
    void IndicSetAlpha(int Indicator, int Alpha);
    void IndicSetUnder(int Indicator, bool Under);
    int IndicGetStyle(int Indicator) const;
    int IndicGetFore(int Indicator) const;
    int IndicGetAlpha(int Indicator) const;
    bool IndicGetUnder(int Indicator) const;
    void MarkerDefine(int Marker, int Symbol);
    void MarkerSetFore(int Marker, int Colour);
    void MarkerSetBack(int Marker, int Colour);
    void MarkerSetAlpha(int Marker, int Alpha);
    // Returns the marker's handle, or -1.
    int MarkerAdd(int Line, int Marker);
    // Bit n set: marker n is on the line.
    int MarkerGet(int Line) const;
    // Marker -1: every marker.
    void MarkerDeleteAll(int Marker);
    void SetMarginWidthN(int Margin, int PixelWidth);
    int GetMarginWidthN(int Margin) const;
    void SetIndent(int Width);
    int GetIndent() const;
    void SetIndentationGuides(int Mode);
    int GetIndentationGuides() const;
    // The position of the brace matching the one at Pos, or -1.
    int BraceMatch(int Pos) const;
    // Shows the braces at PosA and PosB (-1: none) in the matching-brace style.
    void BraceHighlight(int PosA, int PosB);
    // Shows the brace at Pos (-1: none) in the unmatched-brace style.
    void BraceBadLight(int Pos);

    // --- Notifications
    // SciModInsertText | SciModDeleteText lets only insertions and deletions through; 0 none.
    // Each insertion or deletion let through costs the component (its accessibility support)
    // a count of the characters before it: about 10 ns a byte, some 8 ms at the end of 800 KB.
    // Caret moves cost it the same when the display updates, whatever the mask.
    void SetModEventMask(int Mask);
    int GetModEventMask() const;

    // --- The styler's access (ILumoDocument)
    // The text without a copy; fetch it again after any change.
    const char* GetCharacterPointer() const override;
    // StartStyling(Pos) and SetStylingEx in one.
    void SetStylingRun(int Pos, int Length, const char* Styles) override;
};

} // namespace cv
