#include "DScintilla.h"

#include <algorithm>
#include <vector>

namespace cv {

namespace {

// The component's range and search records (its positions here are long).
struct TCharacterRange {
    long cpMin;
    long cpMax;
};
struct TTextRange {
    TCharacterRange chrg;
    char* lpstrText;
};
struct TTextToFind {
    TCharacterRange chrg;
    const char* lpstrText;
    TCharacterRange chrgText;
};

// A signed value in a message's unsigned first parameter (-1 for "none" reaches the component
// as -1).
uintptr_t W(int value) {
    return static_cast<uintptr_t>(static_cast<intptr_t>(value));
}

} // namespace

TDScintilla::TDScintilla(QWidget* Parent) : TDScintillaCustom(Parent) {
    SetCodePage(SciCodePageUtf8);
    SetEOLMode(SciEolCrLf);
}

// --- Text

int TDScintilla::GetLength() const {
    return static_cast<int>(Send(SCI_GETLENGTH));
}

char TDScintilla::GetCharAt(int Pos) const {
    return static_cast<char>(static_cast<signed char>(Send(SCI_GETCHARAT, W(Pos))));
}

std::string TDScintilla::GetTextRange(int Start, int End) const {
    const int length = GetLength();
    Start = std::clamp(Start, 0, length);
    End = std::clamp(End, Start, length);
    std::vector<char> buffer(static_cast<size_t>(End - Start) + 1, '\0');
    TTextRange range{{Start, End}, buffer.data()};
    SendPointer(SCI_GETTEXTRANGE, 0, &range);
    return std::string(buffer.data(), static_cast<size_t>(End - Start));
}

std::string TDScintilla::GetLine(int Line) const {
    const intptr_t length = Send(SCI_GETLINE, W(Line), 0);
    if (length <= 0)
        return {};
    std::string line(static_cast<size_t>(length), '\0');
    SendPointer(SCI_GETLINE, W(Line), line.data());
    return line;
}

std::string TDScintilla::GetSelText() const {
    // The component counts a terminating zero byte in.
    const intptr_t withZero = SendPointer(SCI_GETSELTEXT, 0, nullptr);
    if (withZero <= 1)
        return {};
    std::vector<char> buffer(static_cast<size_t>(withZero) + 1, '\0');
    SendPointer(SCI_GETSELTEXT, 0, buffer.data());
    return std::string(buffer.data(), static_cast<size_t>(withZero - 1));
}

std::string TDScintilla::GetText() const {
    const int length = GetLength();
    return length > 0 ? std::string(GetCharacterPointer(), static_cast<size_t>(length))
                      : std::string();
}

void TDScintilla::SetText(const std::string& Text) {
    Send(SCI_BEGINUNDOACTION);
    ClearAll();
    AppendText(Text);
    Send(SCI_ENDUNDOACTION);
}

void TDScintilla::AppendText(const std::string& Text) {
    if (!Text.empty())
        SendPointer(SCI_APPENDTEXT, Text.size(), Text.data());
}

void TDScintilla::InsertText(int Pos, const std::string& Text) {
    SendPointer(SCI_INSERTTEXT, W(Pos), Text.c_str());
}

void TDScintilla::DeleteRange(int Pos, int Length) {
    Send(SCI_DELETERANGE, W(Pos), Length);
}

void TDScintilla::ReplaceSel(const std::string& Text) {
    SendPointer(SCI_REPLACESEL, 0, Text.c_str());
}

void TDScintilla::ClearAll() {
    Send(SCI_CLEARALL);
}

void TDScintilla::SetTargetStart(int Pos) {
    Send(SCI_SETTARGETSTART, W(Pos));
}

void TDScintilla::SetTargetEnd(int Pos) {
    Send(SCI_SETTARGETEND, W(Pos));
}

int TDScintilla::GetTargetStart() const {
    return static_cast<int>(Send(SCI_GETTARGETSTART));
}

int TDScintilla::GetTargetEnd() const {
    return static_cast<int>(Send(SCI_GETTARGETEND));
}

int TDScintilla::ReplaceTarget(const std::string& Text) {
    return static_cast<int>(SendPointer(SCI_REPLACETARGET, Text.size(), Text.data()));
}

int TDScintilla::GetEOLMode() const {
    return static_cast<int>(Send(SCI_GETEOLMODE));
}

void TDScintilla::SetEOLMode(int Mode) {
    Send(SCI_SETEOLMODE, W(Mode));
}

int TDScintilla::GetCodePage() const {
    return static_cast<int>(Send(SCI_GETCODEPAGE));
}

void TDScintilla::SetCodePage(int CodePage) {
    Send(SCI_SETCODEPAGE, W(CodePage));
}

// --- Undo and clipboard

bool TDScintilla::GetModify() const {
    return Send(SCI_GETMODIFY) != 0;
}

void TDScintilla::SetSavePoint() {
    Send(SCI_SETSAVEPOINT);
}

void TDScintilla::EmptyUndoBuffer() {
    Send(SCI_EMPTYUNDOBUFFER);
}

bool TDScintilla::CanUndo() const {
    return Send(SCI_CANUNDO) != 0;
}

void TDScintilla::Undo() {
    Send(SCI_UNDO);
}

bool TDScintilla::CanRedo() const {
    return Send(SCI_CANREDO) != 0;
}

void TDScintilla::Redo() {
    Send(SCI_REDO);
}

void TDScintilla::Cut() {
    Send(SCI_CUT);
}

void TDScintilla::Copy() {
    Send(SCI_COPY);
}

void TDScintilla::Paste() {
    Send(SCI_PASTE);
}

bool TDScintilla::CanPaste() const {
    return Send(SCI_CANPASTE) != 0;
}

void TDScintilla::SelectAll() {
    Send(SCI_SELECTALL);
}

bool TDScintilla::GetReadOnly() const {
    return Send(SCI_GETREADONLY) != 0;
}

// --- Positions and selection

int TDScintilla::GetCurrentPos() const {
    return static_cast<int>(Send(SCI_GETCURRENTPOS));
}

int TDScintilla::GetLineCount() const {
    return static_cast<int>(Send(SCI_GETLINECOUNT));
}

int TDScintilla::LineFromPosition(int Pos) const {
    return static_cast<int>(Send(SCI_LINEFROMPOSITION, W(Pos)));
}

int TDScintilla::PositionFromLine(int Line) const {
    return static_cast<int>(Send(SCI_POSITIONFROMLINE, W(Line)));
}

int TDScintilla::GetLineEndPosition(int Line) const {
    return static_cast<int>(Send(SCI_GETLINEENDPOSITION, W(Line)));
}

int TDScintilla::GetColumn(int Pos) const {
    return static_cast<int>(Send(SCI_GETCOLUMN, W(Pos)));
}

int TDScintilla::WordStartPosition(int Pos, bool OnlyWordCharacters) const {
    return static_cast<int>(Send(SCI_WORDSTARTPOSITION, W(Pos), OnlyWordCharacters ? 1 : 0));
}

int TDScintilla::WordEndPosition(int Pos, bool OnlyWordCharacters) const {
    return static_cast<int>(Send(SCI_WORDENDPOSITION, W(Pos), OnlyWordCharacters ? 1 : 0));
}

int TDScintilla::GetSelectionStart() const {
    return static_cast<int>(Send(SCI_GETSELECTIONSTART));
}

int TDScintilla::GetSelectionEnd() const {
    return static_cast<int>(Send(SCI_GETSELECTIONEND));
}

bool TDScintilla::GetSelectionEmpty() const {
    return Send(SCI_GETSELECTIONEMPTY) != 0;
}

void TDScintilla::SetSel(int Anchor, int Caret) {
    Send(SCI_SETSEL, W(Anchor), Caret);
}

void TDScintilla::SetEmptySelection(int Pos) {
    Send(SCI_SETEMPTYSELECTION, W(Pos));
}

void TDScintilla::GotoLine(int Line) {
    Send(SCI_GOTOLINE, W(Line));
}

void TDScintilla::GotoPos(int Pos) {
    Send(SCI_GOTOPOS, W(Pos));
}

void TDScintilla::ScrollCaret() {
    Send(SCI_SCROLLCARET);
}

// --- Search

void TDScintilla::SearchAnchor() {
    Send(SCI_SEARCHANCHOR);
}

int TDScintilla::SearchNext(int Flags, const std::string& Text) {
    return static_cast<int>(SendPointer(SCI_SEARCHNEXT, W(Flags), Text.c_str()));
}

int TDScintilla::SearchPrev(int Flags, const std::string& Text) {
    return static_cast<int>(SendPointer(SCI_SEARCHPREV, W(Flags), Text.c_str()));
}

TSciRange TDScintilla::FindText(int Flags, int Start, int End, const std::string& Text) const {
    TTextToFind find{{Start, End}, Text.c_str(), {-1, -1}};
    if (SendPointer(SCI_FINDTEXT, W(Flags), &find) < 0)
        return {};
    return {static_cast<int>(find.chrgText.cpMin), static_cast<int>(find.chrgText.cpMax)};
}

// --- Styling

void TDScintilla::SetLexer(int Lexer) {
    Send(SCI_SETLEXER, W(Lexer));
}

int TDScintilla::GetLexer() const {
    return static_cast<int>(Send(SCI_GETLEXER));
}

int TDScintilla::GetEndStyled() const {
    return static_cast<int>(Send(SCI_GETENDSTYLED));
}

void TDScintilla::StartStyling(int Pos, int Mask) {
    Send(SCI_STARTSTYLING, W(Pos), Mask);
}

void TDScintilla::SetStyling(int Length, int Style) {
    Send(SCI_SETSTYLING, W(Length), Style);
}

void TDScintilla::SetStylingEx(int Length, const char* Styles) {
    SendPointer(SCI_SETSTYLINGEX, W(Length), Styles);
}

int TDScintilla::GetStyleAt(int Pos) const {
    return static_cast<int>(Send(SCI_GETSTYLEAT, W(Pos)) & 0xFF);
}

void TDScintilla::SetLineState(int Line, int State) {
    Send(SCI_SETLINESTATE, W(Line), State);
}

int TDScintilla::GetLineState(int Line) const {
    return static_cast<int>(Send(SCI_GETLINESTATE, W(Line)));
}

void TDScintilla::StyleSetFont(int Style, const std::string& FontName) {
    SendPointer(SCI_STYLESETFONT, W(Style), FontName.c_str());
}

void TDScintilla::StyleSetSize(int Style, int Points) {
    Send(SCI_STYLESETSIZE, W(Style), Points);
}

void TDScintilla::StyleSetFore(int Style, int Colour) {
    Send(SCI_STYLESETFORE, W(Style), Colour);
}

void TDScintilla::StyleSetBack(int Style, int Colour) {
    Send(SCI_STYLESETBACK, W(Style), Colour);
}

void TDScintilla::StyleSetBold(int Style, bool Bold) {
    Send(SCI_STYLESETBOLD, W(Style), Bold ? 1 : 0);
}

std::string TDScintilla::StyleGetFont(int Style) const {
    char name[256] = {};
    const intptr_t length = SendPointer(SCI_STYLEGETFONT, W(Style), name);
    return std::string(name, static_cast<size_t>(std::clamp<intptr_t>(length, 0, 255)));
}

int TDScintilla::StyleGetSize(int Style) const {
    return static_cast<int>(Send(SCI_STYLEGETSIZE, W(Style)));
}

int TDScintilla::StyleGetFore(int Style) const {
    return static_cast<int>(Send(SCI_STYLEGETFORE, W(Style)));
}

int TDScintilla::StyleGetBack(int Style) const {
    return static_cast<int>(Send(SCI_STYLEGETBACK, W(Style)));
}

bool TDScintilla::StyleGetBold(int Style) const {
    return Send(SCI_STYLEGETBOLD, W(Style)) != 0;
}

void TDScintilla::StyleClearAll() {
    Send(SCI_STYLECLEARALL);
}

void TDScintilla::Colourise(int Start, int End) {
    Send(SCI_COLOURISE, W(Start), End);
}

// --- Marks

void TDScintilla::SetIndicatorCurrent(int Indicator) {
    Send(SCI_SETINDICATORCURRENT, W(Indicator));
}

int TDScintilla::GetIndicatorCurrent() const {
    return static_cast<int>(Send(SCI_GETINDICATORCURRENT));
}

void TDScintilla::IndicatorFillRange(int Pos, int Length) {
    Send(SCI_INDICATORFILLRANGE, W(Pos), Length);
}

void TDScintilla::IndicatorClearRange(int Pos, int Length) {
    Send(SCI_INDICATORCLEARRANGE, W(Pos), Length);
}

int TDScintilla::IndicatorValueAt(int Indicator, int Pos) const {
    return static_cast<int>(Send(SCI_INDICATORVALUEAT, W(Indicator), Pos));
}

void TDScintilla::IndicSetStyle(int Indicator, int Style) {
    Send(SCI_INDICSETSTYLE, W(Indicator), Style);
}

void TDScintilla::IndicSetFore(int Indicator, int Colour) {
    Send(SCI_INDICSETFORE, W(Indicator), Colour);
}

void TDScintilla::IndicSetAlpha(int Indicator, int Alpha) {
    Send(SCI_INDICSETALPHA, W(Indicator), Alpha);
}

void TDScintilla::IndicSetUnder(int Indicator, bool Under) {
    Send(SCI_INDICSETUNDER, W(Indicator), Under ? 1 : 0);
}

int TDScintilla::IndicGetStyle(int Indicator) const {
    return static_cast<int>(Send(SCI_INDICGETSTYLE, W(Indicator)));
}

int TDScintilla::IndicGetFore(int Indicator) const {
    return static_cast<int>(Send(SCI_INDICGETFORE, W(Indicator)));
}

int TDScintilla::IndicGetAlpha(int Indicator) const {
    return static_cast<int>(Send(SCI_INDICGETALPHA, W(Indicator)));
}

bool TDScintilla::IndicGetUnder(int Indicator) const {
    return Send(SCI_INDICGETUNDER, W(Indicator)) != 0;
}

void TDScintilla::MarkerDefine(int Marker, int Symbol) {
    Send(SCI_MARKERDEFINE, W(Marker), Symbol);
}

void TDScintilla::MarkerSetFore(int Marker, int Colour) {
    Send(SCI_MARKERSETFORE, W(Marker), Colour);
}

void TDScintilla::MarkerSetBack(int Marker, int Colour) {
    Send(SCI_MARKERSETBACK, W(Marker), Colour);
}

void TDScintilla::MarkerSetAlpha(int Marker, int Alpha) {
    Send(SCI_MARKERSETALPHA, W(Marker), Alpha);
}

int TDScintilla::MarkerAdd(int Line, int Marker) {
    return static_cast<int>(Send(SCI_MARKERADD, W(Line), Marker));
}

int TDScintilla::MarkerGet(int Line) const {
    return static_cast<int>(Send(SCI_MARKERGET, W(Line)));
}

void TDScintilla::MarkerDeleteAll(int Marker) {
    Send(SCI_MARKERDELETEALL, W(Marker));
}

void TDScintilla::SetMarginWidthN(int Margin, int PixelWidth) {
    Send(SCI_SETMARGINWIDTHN, W(Margin), PixelWidth);
}

int TDScintilla::GetMarginWidthN(int Margin) const {
    return static_cast<int>(Send(SCI_GETMARGINWIDTHN, W(Margin)));
}

void TDScintilla::SetIndent(int Width) {
    Send(SCI_SETINDENT, W(Width));
}

int TDScintilla::GetIndent() const {
    return static_cast<int>(Send(SCI_GETINDENT));
}

void TDScintilla::SetIndentationGuides(int Mode) {
    Send(SCI_SETINDENTATIONGUIDES, W(Mode));
}

int TDScintilla::GetIndentationGuides() const {
    return static_cast<int>(Send(SCI_GETINDENTATIONGUIDES));
}

int TDScintilla::BraceMatch(int Pos) const {
    return static_cast<int>(Send(SCI_BRACEMATCH, W(Pos), 0));
}

void TDScintilla::BraceHighlight(int PosA, int PosB) {
    Send(SCI_BRACEHIGHLIGHT, W(PosA), PosB);
}

void TDScintilla::BraceBadLight(int Pos) {
    Send(SCI_BRACEBADLIGHT, W(Pos));
}

// --- Notifications

void TDScintilla::SetModEventMask(int Mask) {
    Send(SCI_SETMODEVENTMASK, W(Mask));
}

int TDScintilla::GetModEventMask() const {
    return static_cast<int>(Send(SCI_GETMODEVENTMASK));
}

// --- The styler's access

const char* TDScintilla::GetCharacterPointer() const {
    return static_cast<const char*>(SendForPointer(SCI_GETCHARACTERPOINTER));
}

void TDScintilla::SetStylingRun(int Pos, int Length, const char* Styles) {
    StartStyling(Pos);
    SetStylingEx(Length, Styles);
}

} // namespace cv
