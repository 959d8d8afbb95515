#pragma once
// Lumo's tokenizer (TLumoScanner), the styler that colours a document with it
// (TLumoStylingScanner) and the parser of the names a program declares at its head
// (TLumoLocalParser), with the style table they paint with.
//
// Positions are byte offsets in the UTF-8 text. The scanner reads the text through the
// document's character pointer; the styler writes a section's styles in one run.
//
// Use: TLumoStylingScanner styler(system); styler.ScintillaInstance(&editor);
// then, for each style-needed notification up to P:
// styler.StyleSect(editor.PositionFromLine(editor.LineFromPosition(editor.GetEndStyled())), P).
// After styling, each line the styler passed holds in its line state the position of its first
// comment (0 for none); error tokens carry indicator LumoIndicatorError.
#include "editor/LumoDocument.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace cv {

class ISystemInfo;

// Styles the styler paints with (a token's kind is its style, except where StyleSect says).
namespace LumoStyle {
inline constexpr int Default = 0;
inline constexpr int Command = 1;
inline constexpr int String = 2;
inline constexpr int Number = 3;
inline constexpr int QuotedName = 4;
inline constexpr int Name = 5;
inline constexpr int Comment = 7;
inline constexpr int Bang = 8;
inline constexpr int Dot = 9;
inline constexpr int Variable = 10;
inline constexpr int Error = 11;
inline constexpr int Operator = 13;
inline constexpr int Local = 15;
} // namespace LumoStyle

// Every style StyleSect writes.
inline constexpr std::array<int, 13> LumoStyles = {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 13, 15};

// The error squiggle, and the two marks block matching puts on block keywords.
inline constexpr int LumoIndicatorError = 9;
inline constexpr int LumoIndicatorBlockMatch = 10;
inline constexpr int LumoIndicatorBlockUnmatched = 11;

// The look of the styles, in the order they are applied after the default style is reset.
// Colours are 0xBBGGRR; Fore -1 keeps the default colour.
struct TLumoStyleLook {
    int Style;
    int Fore;
    bool Bold;
};
inline constexpr std::array<TLumoStyleLook, 10> LumoStyleLooks = {{
    {LumoStyle::Command, 0x800000, true},
    {LumoStyle::Bang, 0x13458B, false},
    {LumoStyle::Dot, 0x2D52A0, false},
    {LumoStyle::Variable, -1, true},
    {LumoStyle::String, 0xFF0000, false},
    {LumoStyle::Local, 0xA09E5F, false},
    {LumoStyle::QuotedName, 0xD670DA, false},
    {LumoStyle::Number, 0x8B008B, false},
    {LumoStyle::Comment, 0x006400, false},
    {LumoStyle::Operator, 0xE22B8A, false},
}};
inline constexpr const char* LumoFontName = "Consolas";
inline constexpr int LumoFontSize = 10;
inline constexpr int LumoBraceLightBack = 0xED9564;
inline constexpr int LumoBraceBadBack = 0xB469FF;
inline constexpr int LumoBlockMatchFore = 0xED9564;
inline constexpr int LumoBlockUnmatchedFore = 0xB469FF;
inline constexpr int LumoBlockAlpha = 100;
inline constexpr int LumoErrorFore = 0x3C14DC;

// The 46 command keywords, in their order.
extern const std::array<std::string_view, 46> LumoKeywords;

// A set of upper-case words, looked up in any case without a copy (ASCII letters only fold).
class TLumoWordSet {
public:
    void Clear();
    // Adds the word, upper-cased.
    void Insert(std::string_view Word);
    bool ContainsIgnoringCase(std::string_view Word) const;
    size_t Size() const { return FWords.size(); }

private:
    std::vector<std::string> FWords;
    std::vector<int32_t> FSlots; // index into FWords + 1; 0: empty; a power of two long
    size_t FLongest = 0;
    std::array<uint64_t, 4> FFirsts{}; // the words' first bytes
    uint64_t FLengths = 0;             // the words' lengths (63: 63 and longer)
};

// Token kinds returned by GetTokenType.
namespace LumoKind {
inline constexpr int LineFeed = -1;
inline constexpr int Colon = -2;
inline constexpr int Punctuation = 0;
inline constexpr int Command = 1;
inline constexpr int String = 2;
inline constexpr int Number = 3;
inline constexpr int QuotedName = 4;
inline constexpr int Name = 5;
inline constexpr int Comment = 7;
inline constexpr int Bang = 8;
inline constexpr int Dot = 9;
inline constexpr int Variable = 10;
inline constexpr int Error = 11;
inline constexpr int Operator = 13;
} // namespace LumoKind

// One token. Token views the document's text and is valid until the text changes; it is
// empty for a line end skipped after a continuation "-".
struct RStyleToken {
    std::string_view Token;
    int32_t StartPos = 0;
    int32_t EndPos = 0;
};

class TLumoScanner {
public:
    using TScintillaSetEvent = std::function<void(TLumoScanner& Sender)>;

    TLumoScanner();
    virtual ~TLumoScanner();
    TLumoScanner(const TLumoScanner&) = delete;
    TLumoScanner& operator=(const TLumoScanner&) = delete;

    // Called with the scanner whenever a document is assigned (OnScintillaSet).
    TScintillaSetEvent ScintillaSetEvent;

    // The document scanned; not owned.
    void ScintillaInstance(ILumoDocument* Value);
    ILumoDocument* ScintillaInstance() const { return ScintillaI; }

    // Starts scanning at Pos with no continuation pending; fetches the text anew.
    void SetStart(int Pos);
    void NextChar();
    // Moves CurPos to the end of the token that starts there.
    void NextBorder();
    // The next token, blanks before it skipped.
    void GetStyleToken(RStyleToken& Token);
    static int GetTokenType(std::string_view Token);
    // The kind of the token GetStyleToken (or NextBorder) last ended: GetTokenType of its text.
    int TokenKind() const { return FTokenKind; }
    // Whether the word, in any case, is one of the 46 keywords (false without a keyword set).
    bool IsReservedWord(std::string_view Word) const;

    int Position() const { return CurPos; }
    bool Continuing() const { return LineContinuing; }

protected:
    // The local parser builds its scanner without a keyword set.
    explicit TLumoScanner(bool WithReservedWords);
    void ReadChars();

    ILumoDocument* ScintillaI = nullptr;
    std::unique_ptr<TLumoWordSet> LumoReservedWords;
    // Character codes of the bytes at CurPos and CurPos + 1; bytes of 0x80 and above are
    // codes above 255; 0 at and past the end of the text.
    uint16_t cChar = 0;
    uint16_t nChar = 0;
    int32_t CurPos = 0;
    int32_t SavedPos = 0;
    bool LineContinuing = false;
    bool SavedLineCont = false;
    // The text, fetched by SetStart.
    const char* FText = nullptr;
    int32_t FLength = 0;
    int FTokenKind = 0;
};

class TLumoLocalParser : public TLumoScanner {
public:
    // Each parse writes one line to the system's debug output; none without a system.
    explicit TLumoLocalParser(std::shared_ptr<ISystemInfo> System = nullptr);
    ~TLumoLocalParser() override;

    // The styler's OnScintillaSet: scan the styler's document too.
    void ParentScintillaUpdated(TLumoScanner& Sender);
    // Rebuilds the declared names from the whole text; FromPos and ToPos are only reported.
    void ParseLocals(int FromPos, int ToPos);
    // Whether the name, in any case, is declared.
    bool IsDeclared(std::string_view Name) const;
    // Upper-case declared name -> position of the token that completed its declaration.
    using TDefinedLocals = std::unordered_map<std::string, int32_t>;
    const TDefinedLocals& DefinedLocals() const { return FDefinedLocals; }

private:
    std::shared_ptr<ISystemInfo> FSystem;
    TDefinedLocals FDefinedLocals;
    TLumoWordSet FDeclared; // the same names, for the styler's look-ups
};

class TLumoStylingScanner : public TLumoScanner {
public:
    explicit TLumoStylingScanner(std::shared_ptr<ISystemInfo> System = nullptr);
    ~TLumoStylingScanner() override;

    // Styles from the start of FromPos's line up to at least ToPos, in one run of styles: the
    // last token is styled whole, and a THEN or ELSE there is decided by the token after it.
    // Sets the line states of the lines it passes (the last line's too when it reaches the end
    // of the text) and the error squiggles of everything it styled.
    // A line the component starts after a lone CR is styled from the line feed before it (Lumo
    // strings and comments run on to the line feed). When the declared names differ from the
    // last styling's, styling starts at the start of the text, so that no use of a name keeps
    // the colour of what it was before.
    void StyleSect(int FromPos, int ToPos);

    TLumoLocalParser& LocalParser() { return *FLocalParser; }

private:
    void Paint(int Start, int End, int Style);

    std::unique_ptr<TLumoLocalParser> FLocalParser;
    std::vector<char> FStyles;                   // styles of the section, reused
    std::vector<std::pair<int, int>> FSquiggles; // error ranges of the section
    int FSectionStart = 0;
    // The names declared at the last styling, to notice when they change.
    std::vector<std::string> FLastDeclared;
    std::vector<std::string> FDeclaredNow;
    ILumoDocument* FLastDocument = nullptr;
};

} // namespace cv
