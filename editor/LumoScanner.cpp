#include "LumoScanner.h"

#include "platform/SystemInfo.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace cv {

const std::array<std::string_view, 46> LumoKeywords = {
    "ARGUMENT",    "BLOCK",       "BLOCK_END",   "CASE",       "WHEN",      "OTHERWISE",
    "CASE_END",    "DO",          "ERROR",       "IF",         "THEN",      "ELSE_IF",
    "ELSE",        "LOCAL",       "LOOP",        "LOOP_END",   "LOOP_WITH", "LOOP_EXIT",
    "ON",          "PAUSE",       "RETURN",      "SET_TIME",   "CREATE",    "DELETE",
    "EXEC",        "EXEC_AFTER",  "GET",         "INIT_QUERY", "MODIFY",    "SEARCH",
    "SET",         "LIST",        "PRINT",       "PATH",       "REP_LIB",   "CLOSE_FILE",
    "CREATE_FILE", "DELETE_FILE", "OPEN_FILE",   "READ",       "READ_KEYS", "READ_NEXT",
    "READ_PREV",   "REMOVE",      "RENAME_FILE", "WRITE",
};

namespace {

// Character classes as one table of bits: a 256-entry set lookup per test.
enum : uint8_t {
    ccBlank = 1,
    ccOperator = 2,
    ccLetter = 4,
    ccWord = 8,
    ccDigit = 16,
    ccPunctuation = 32,
};

constexpr std::array<uint8_t, 256> MakeClasses() {
    std::array<uint8_t, 256> t{};
    t['\t'] = t['\r'] = t[' '] = ccBlank;
    for (unsigned char c : {'+', '-', '<', '=', '>'})
        t[c] = ccOperator;
    for (int c = 'A'; c <= 'Z'; ++c)
        t[c] = ccLetter | ccWord;
    for (int c = 'a'; c <= 'z'; ++c)
        t[c] = ccLetter | ccWord;
    t['_'] = ccLetter | ccWord;
    for (int c = '0'; c <= '9'; ++c)
        t[c] = ccDigit | ccWord;
    t['('] = t[')'] = t[','] = ccPunctuation;
    return t;
}
constexpr std::array<uint8_t, 256> Classes = MakeClasses();

// Which rule of the border search a token's first byte selects.
enum : uint8_t {
    brOther,
    brOperator, // an operator start or ":"
    brLetter,
    brDigit,
    brComment,
    brQuote,
    brVariable,
    brMark, // "#", "!" or "."
    brLineFeed,
};

constexpr std::array<uint8_t, 256> MakeRules() {
    std::array<uint8_t, 256> t{};
    for (unsigned char c : {'+', '-', '<', '=', '>', ':'})
        t[c] = brOperator;
    for (int c = 'A'; c <= 'Z'; ++c)
        t[c] = brLetter;
    for (int c = 'a'; c <= 'z'; ++c)
        t[c] = brLetter;
    t['_'] = brLetter;
    for (int c = '0'; c <= '9'; ++c)
        t[c] = brDigit;
    t[';'] = brComment;
    t['"'] = t['\''] = brQuote;
    t['@'] = t['%'] = brVariable;
    t['#'] = t['!'] = t['.'] = brMark;
    t['\n'] = brLineFeed;
    return t;
}
constexpr std::array<uint8_t, 256> Rules = MakeRules();

// A byte read as signed and widened to 16 bits: 0x80 and above become codes above 255.
inline uint16_t CodeOf(char b) {
    return static_cast<uint16_t>(static_cast<int16_t>(static_cast<signed char>(b)));
}
inline bool Is(uint16_t code, uint8_t cls) {
    return code < 256 && (Classes[code] & cls) != 0;
}
inline bool ByteIs(char b, uint8_t cls) {
    return (Classes[static_cast<unsigned char>(b)] & cls) != 0;
}

constexpr std::array<unsigned char, 256> MakeUpper() {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return t;
}
constexpr std::array<unsigned char, 256> UpperTable = MakeUpper();

inline unsigned char UpperByte(char c) {
    return UpperTable[static_cast<unsigned char>(c)];
}
inline char Upper(char c) {
    return static_cast<char>(UpperByte(c));
}

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperByte(a[i]) != UpperByte(b[i]))
            return false;
    return true;
}

std::string UpperString(std::string_view word) {
    std::string s(word);
    for (char& c : s)
        c = Upper(c);
    return s;
}

// FNV-1a over the upper-cased bytes.
uint32_t HashIgnoringCase(std::string_view word) {
    uint32_t h = 2166136261u;
    for (char c : word)
        h = (h ^ UpperByte(c)) * 16777619u;
    return h;
}

// The first line start after `pos` in the component's line model (a line ends after LF,
// CR LF or a lone CR), or INT_MAX when the text ends first.
int LineStartAfter(const char* t, int n, int pos) {
    const void* lf = std::memchr(t + pos, '\n', static_cast<size_t>(n - pos));
    const int limit = lf ? static_cast<int>(static_cast<const char*>(lf) - t) : n;
    if (const void* cr = std::memchr(t + pos, '\r', static_cast<size_t>(limit - pos))) {
        const int at = static_cast<int>(static_cast<const char*>(cr) - t);
        return at + 1 < n && t[at + 1] == '\n' ? at + 2 : at + 1;
    }
    return lf ? limit + 1 : INT_MAX;
}

} // namespace

// --- TLumoWordSet -------------------------------------------------------------------------

void TLumoWordSet::Clear() {
    FWords.clear();
    std::fill(FSlots.begin(), FSlots.end(), 0);
    FLongest = 0;
    FFirsts = {};
    FLengths = 0;
}

void TLumoWordSet::Insert(std::string_view Word) {
    if (ContainsIgnoringCase(Word))
        return;
    if ((FWords.size() + 1) * 2 > FSlots.size()) {
        // Grow to keep at least half the slots empty, and place every word again.
        FSlots.assign(std::max<size_t>(16, FSlots.size() * 2), 0);
        const size_t mask = FSlots.size() - 1;
        for (size_t i = 0; i < FWords.size(); ++i) {
            size_t slot = HashIgnoringCase(FWords[i]) & mask;
            while (FSlots[slot] != 0)
                slot = (slot + 1) & mask;
            FSlots[slot] = static_cast<int32_t>(i + 1);
        }
    }
    FWords.push_back(UpperString(Word));
    const size_t mask = FSlots.size() - 1;
    size_t slot = HashIgnoringCase(Word) & mask;
    while (FSlots[slot] != 0)
        slot = (slot + 1) & mask;
    FSlots[slot] = static_cast<int32_t>(FWords.size());
    FLongest = std::max(FLongest, Word.size());
    if (!Word.empty()) {
        const unsigned char first = UpperByte(Word[0]);
        FFirsts[first >> 6] |= uint64_t{1} << (first & 63);
    }
    FLengths |= uint64_t{1} << std::min<size_t>(Word.size(), 63);
}

bool TLumoWordSet::ContainsIgnoringCase(std::string_view Word) const {
    // Most words are no member: the first letter and the length tell most of them apart.
    if (Word.empty() || Word.size() > FLongest)
        return false;
    const unsigned char first = UpperByte(Word[0]);
    if (!(FFirsts[first >> 6] >> (first & 63) & 1) ||
        !(FLengths >> std::min<size_t>(Word.size(), 63) & 1))
        return false;
    const size_t mask = FSlots.size() - 1;
    for (size_t slot = HashIgnoringCase(Word) & mask; FSlots[slot] != 0; slot = (slot + 1) & mask)
        if (EqualsIgnoringCase(FWords[static_cast<size_t>(FSlots[slot] - 1)], Word))
            return true;
    return false;
}

// --- TLumoScanner -------------------------------------------------------------------------

TLumoScanner::TLumoScanner() : TLumoScanner(true) {}

TLumoScanner::TLumoScanner(bool WithReservedWords) {
    if (WithReservedWords) {
        LumoReservedWords = std::make_unique<TLumoWordSet>();
        for (std::string_view keyword : LumoKeywords)
            LumoReservedWords->Insert(keyword);
    }
}

TLumoScanner::~TLumoScanner() = default;

void TLumoScanner::ScintillaInstance(ILumoDocument* Value) {
    ScintillaI = Value;
    FText = nullptr;
    FLength = 0;
    if (ScintillaSetEvent)
        ScintillaSetEvent(*this);
}

void TLumoScanner::SetStart(int Pos) {
    cChar = nChar = 0;
    SavedPos = 0;
    LineContinuing = false;
    FText = ScintillaI ? ScintillaI->GetCharacterPointer() : nullptr;
    FLength = FText ? ScintillaI->GetLength() : 0;
    CurPos = std::clamp(Pos, 0, FLength);
    ReadChars();
}

void TLumoScanner::ReadChars() {
    cChar = CurPos < FLength ? CodeOf(FText[CurPos]) : 0;
    nChar = CurPos + 1 < FLength ? CodeOf(FText[CurPos + 1]) : 0;
}

void TLumoScanner::NextChar() {
    ++CurPos;
    ReadChars();
}

void TLumoScanner::NextBorder() {
    // Each rule also knows the kind GetTokenType gives the token it ends, so the styler need
    // not look at the token again.
    const char* t = FText;
    const int n = FLength;
    const uint16_t c = cChar;
    int p = CurPos;
    switch (c < 256 ? Rules[c] : uint8_t{brOther}) {
    case brOperator:
        if ((c == '>' && nChar == '=') || (c == '<' && (nChar == '=' || nChar == '>')) ||
            (c == '=' && nChar == '='))
            ++p;
        LineContinuing = c == '-';
        ++p;
        FTokenKind = c == ':' ? LumoKind::Colon : LumoKind::Operator;
        break;
    case brLetter: {
        // A name, and an attribute after one colon: A:B is one token.
        LineContinuing = false;
        ++p;
        while (p < n && ByteIs(t[p], ccWord))
            ++p;
        if (p < n && t[p] == ':') {
            ++p;
            while (p < n && ByteIs(t[p], ccWord))
                ++p;
        }
        FTokenKind = LumoKind::Name;
        const std::string_view word(t + CurPos, static_cast<size_t>(p - CurPos));
        if ((word.size() == 2 || word.size() == 3) &&
            (EqualsIgnoringCase(word, "not") || EqualsIgnoringCase(word, "and") ||
             EqualsIgnoringCase(word, "or")))
            FTokenKind = LumoKind::Operator;
        break;
    }
    case brDigit:
        // Digits, and a "." only where a digit follows it: 1.2.3 is one token, no exponents.
        LineContinuing = false;
        ++p;
        for (;;) {
            if (p < n && ByteIs(t[p], ccDigit))
                ++p;
            else if (p + 1 < n && t[p] == '.' && ByteIs(t[p + 1], ccDigit))
                ++p;
            else
                break;
        }
        FTokenKind = LumoKind::Number;
        break;
    case brComment: {
        // To the line feed; a "-" before the comment still continues the line.
        const void* lf = std::memchr(t + p, '\n', static_cast<size_t>(n - p));
        p = lf ? static_cast<int>(static_cast<const char*>(lf) - t) : n;
        FTokenKind = LumoKind::Comment;
        break;
    }
    case brQuote: {
        // To the closing quote, or through the line feed, or to the end of the text; two
        // double quotes in a row stand for one inside a string.
        LineContinuing = false;
        const char quote = static_cast<char>(c);
        ++p;
        while (p < n) {
            const char b = t[p++];
            if (b == '\n')
                break;
            if (b == quote) {
                if (quote == '"' && p < n && t[p] == '"') {
                    ++p;
                    continue;
                }
                break;
            }
        }
        FTokenKind = quote == '"' ? LumoKind::String : LumoKind::QuotedName;
        break;
    }
    case brVariable:
        LineContinuing = false;
        ++p;
        if (p < n && ByteIs(t[p], ccLetter))
            while (p < n && ByteIs(t[p], ccWord))
                ++p;
        FTokenKind = LumoKind::Variable;
        break;
    case brMark:
        LineContinuing = false;
        if (nChar == '.') {
            p += 2;
        } else {
            ++p;
            while (p < n && ByteIs(t[p], ccLetter))
                ++p;
        }
        FTokenKind = c == '#'       ? LumoKind::Command
                     : c == '!'     ? LumoKind::Bang
                     : nChar == '.' ? LumoKind::Operator
                                    : LumoKind::Dot;
        break;
    case brLineFeed:
        ++p;
        FTokenKind = LumoKind::LineFeed;
        break;
    default:
        // Anything else, the end of the text included, is one byte.
        LineContinuing = false;
        FTokenKind = p >= n                 ? LumoKind::Punctuation // no text at all
                     : Is(c, ccPunctuation) ? LumoKind::Punctuation
                                            : LumoKind::Error;
        ++p;
        break;
    }
    CurPos = p;
    ReadChars();
}

void TLumoScanner::GetStyleToken(RStyleToken& Token) {
    if (Is(cChar, ccBlank)) {
        int p = CurPos;
        while (p < FLength && ByteIs(FText[p], ccBlank))
            ++p;
        CurPos = p;
        ReadChars();
    }
    const int start = CurPos;
    NextBorder();
    const int end = std::max(CurPos, start);
    const int stop = std::min(end, FLength);
    const std::string_view text =
        stop > start ? std::string_view(FText + start, static_cast<size_t>(stop - start))
                     : std::string_view();
    if (LineContinuing && text.size() == 1 && text[0] == '\n') {
        Token.Token = {};
        Token.StartPos = Token.EndPos = end;
        FTokenKind = LumoKind::Punctuation;
    } else {
        Token.Token = text;
        Token.StartPos = start;
        Token.EndPos = end;
    }
}

int TLumoScanner::GetTokenType(std::string_view Token) {
    if (Token.empty())
        return LumoKind::Punctuation;
    const char first = Token[0];
    if (first == '\n')
        return LumoKind::LineFeed;
    if (Token.size() == 1 && first == ':')
        return LumoKind::Colon;
    if (ByteIs(first, ccPunctuation))
        return LumoKind::Punctuation;
    if (ByteIs(first, ccOperator) || Token == ".." || EqualsIgnoringCase(Token, "not") ||
        EqualsIgnoringCase(Token, "and") || EqualsIgnoringCase(Token, "or"))
        return LumoKind::Operator;
    switch (first) {
    case '#':
        return LumoKind::Command;
    case ';':
        return LumoKind::Comment;
    case '!':
        return LumoKind::Bang;
    case '.':
        return LumoKind::Dot;
    case '"':
        return LumoKind::String;
    case '\'':
        return LumoKind::QuotedName;
    case '@':
    case '%':
        return LumoKind::Variable;
    default:
        break;
    }
    if (ByteIs(first, ccDigit))
        return LumoKind::Number;
    if (ByteIs(first, ccLetter))
        return LumoKind::Name;
    return LumoKind::Error;
}

bool TLumoScanner::IsReservedWord(std::string_view Word) const {
    return LumoReservedWords && LumoReservedWords->ContainsIgnoringCase(Word);
}

// --- TLumoLocalParser ---------------------------------------------------------------------

TLumoLocalParser::TLumoLocalParser(std::shared_ptr<ISystemInfo> System)
    : TLumoScanner(false), FSystem(std::move(System)) {}

TLumoLocalParser::~TLumoLocalParser() = default;

void TLumoLocalParser::ParentScintillaUpdated(TLumoScanner& Sender) {
    ScintillaInstance(Sender.ScintillaInstance());
}

void TLumoLocalParser::ParseLocals(int FromPos, int ToPos) {
    if (FSystem)
        FSystem->DebugOutput("LocalParser.ParseLocals called, ThreadID = " +
                             std::to_string(FSystem->CurrentThreadId()) +
                             " from=" + std::to_string(FromPos) + ", to=" + std::to_string(ToPos));
    FDefinedLocals.clear();
    FDeclared.Clear();
    if (!ScintillaI)
        return;
    SetStart(0);
    const int end = FLength;

    bool declaring = false;
    int phase = 0; // 0: a name is expected, 1: after a name, 2: inside the value after "="
    std::string name;
    bool skipping = false;
    int depth = 0; // while skipping: 0 until the opening "(" of a list or vector value
    auto add = [&](int at) {
        FDeclared.Insert(name);
        FDefinedLocals.insert_or_assign(name, at);
    };

    RStyleToken token;
    while (CurPos <= end && CurPos < FLength) {
        GetStyleToken(token);
        const std::string_view t = token.Token;
        if (t.empty())
            continue;
        const int kind = FTokenKind;
        if (kind == LumoKind::Comment)
            continue;

        if (skipping) {
            if (depth == 0) {
                if (t == "(") {
                    depth = 1;
                    continue;
                }
                skipping = false;
            } else {
                if (t == "(")
                    ++depth;
                else if (t == ")" && --depth == 0)
                    skipping = false;
                if (skipping)
                    continue;
            }
        }

        if (declaring) {
            if (kind == LumoKind::LineFeed) {
                declaring = false;
                if (phase == 1 || phase == 2)
                    add(token.StartPos);
            } else if (phase == 0) {
                if (kind == LumoKind::Name) {
                    name = UpperString(t);
                    phase = 1;
                } else if (t != "-") {
                    declaring = false;
                }
            } else if (phase == 1) {
                if (t == ",") {
                    add(token.StartPos);
                    phase = 0;
                } else if (t == "=") {
                    phase = 2;
                } else if (t != "-") {
                    declaring = false;
                }
            } else {
                if (t == ",") {
                    add(token.StartPos);
                    phase = 0;
                } else if (EqualsIgnoringCase(t, "list") || EqualsIgnoringCase(t, "vector")) {
                    skipping = true;
                    depth = 0;
                }
            }
        }

        if (kind == LumoKind::LineFeed) {
            declaring = false;
        } else if (kind == LumoKind::Command) {
            const std::string_view word = t.substr(1);
            if (EqualsIgnoringCase(word, "ARGUMENT") || EqualsIgnoringCase(word, "LOCAL")) {
                declaring = true;
                phase = 0;
            } else {
                break;
            }
        }
    }
}

bool TLumoLocalParser::IsDeclared(std::string_view Name) const {
    return FDeclared.ContainsIgnoringCase(Name);
}

// --- TLumoStylingScanner ------------------------------------------------------------------

TLumoStylingScanner::TLumoStylingScanner(std::shared_ptr<ISystemInfo> System)
    : FLocalParser(std::make_unique<TLumoLocalParser>(std::move(System))) {
    ScintillaSetEvent = [this](TLumoScanner& Sender) {
        if (Sender.ScintillaInstance() != FLastDocument)
            FLastDeclared.clear(); // nothing is known of the colours another document has
        FLastDocument = Sender.ScintillaInstance();
        FLocalParser->ParentScintillaUpdated(Sender);
    };
}

TLumoStylingScanner::~TLumoStylingScanner() = default;

inline void TLumoStylingScanner::Paint(int Start, int End, int Style) {
    const size_t from = static_cast<size_t>(Start - FSectionStart);
    const size_t to = static_cast<size_t>(End - FSectionStart);
    if (to > FStyles.size())
        FStyles.resize(to, LumoStyle::Default);
    if (Style == LumoStyle::Default)
        return;
    char* styles = FStyles.data();
    if (to - from <= 16) {
        // Most tokens are short: a plain loop beats a call.
        for (size_t i = from; i < to; ++i)
            styles[i] = static_cast<char>(Style);
    } else {
        std::memset(styles + from, Style, to - from);
    }
}

void TLumoStylingScanner::StyleSect(int FromPos, int ToPos) {
    FLocalParser->ParseLocals(FromPos, ToPos);
    if (!ScintillaI)
        return;
    ILumoDocument& doc = *ScintillaI;
    // Uses of a name before FromPos were painted with the names declared then.
    FDeclaredNow.clear();
    for (const auto& entry : FLocalParser->DefinedLocals())
        FDeclaredNow.push_back(entry.first);
    std::sort(FDeclaredNow.begin(), FDeclaredNow.end());
    if (FDeclaredNow != FLastDeclared) {
        FromPos = 0;
        FLastDeclared.swap(FDeclaredNow);
    }
    SetStart(FromPos);
    // A lone carriage return ends a line for the component but not for Lumo, whose strings
    // and comments run on to the line feed: start after the last line feed before FromPos so
    // that every section is scanned as a whole-text scan would see it.
    int from = CurPos;
    while (from > 0 && FText[from - 1] != '\n')
        --from;
    if (from != CurPos)
        SetStart(from);
    const int to = std::clamp(ToPos, from, FLength);

    FSectionStart = from;
    FStyles.assign(static_cast<size_t>(to - from), LumoStyle::Default);
    FSquiggles.clear();

    // Lines are followed in the text itself; the document is asked once.
    int line = doc.LineFromPosition(from);
    int nextLineStart = LineStartAfter(FText, FLength, from);
    int commentStart = 0;
    int previousKind = LumoKind::LineFeed;
    bool pending = false; // a THEN or ELSE waiting to see whether anything follows it
    std::pair<int, int> pendingRange{};

    RStyleToken token;
    // A THEN or ELSE pending at ToPos is decided by the token after it, so that a section
    // never leaves a verdict half made.
    while ((CurPos <= to || pending) && CurPos < FLength) {
        GetStyleToken(token);
        if (CurPos >= nextLineStart) {
            doc.SetLineState(line, commentStart);
            commentStart = 0;
            ++line;
            nextLineStart = LineStartAfter(FText, FLength, nextLineStart);
            // Lines a string ran through after lone carriage returns hold no comment.
            for (; CurPos >= nextLineStart; ++line) {
                doc.SetLineState(line, 0);
                nextLineStart = LineStartAfter(FText, FLength, nextLineStart);
            }
        }
        const std::string_view t = token.Token;
        if (t.empty())
            continue;
        const int kind = FTokenKind;
        int style = kind;
        bool error = false;
        switch (kind) {
        case LumoKind::Colon:
            // Valid only between a quoted name and its attribute name.
            pending = false;
            if (previousKind == LumoKind::QuotedName)
                style = LumoStyle::Name;
            else
                error = true;
            break;
        case LumoKind::Command: {
            const std::string_view word = t.substr(1);
            if (IsReservedWord(word)) {
                style = LumoStyle::Command;
                pending = EqualsIgnoringCase(word, "THEN") || EqualsIgnoringCase(word, "ELSE");
                if (pending)
                    pendingRange = {token.StartPos, token.EndPos};
            } else {
                error = true; // a pending THEN or ELSE stays pending
            }
            break;
        }
        case LumoKind::LineFeed:
            // A THEN or ELSE with nothing after it on its line.
            if (pending)
                FSquiggles.push_back(pendingRange);
            pending = false;
            style = LumoStyle::Default;
            break;
        case LumoKind::Name:
            pending = false;
            if (FLocalParser->IsDeclared(t))
                style = LumoStyle::Local;
            break;
        case LumoKind::Error:
            pending = false;
            error = true;
            break;
        default:
            pending = false;
            if (kind == LumoKind::Comment && commentStart == 0)
                commentStart = token.StartPos;
            break;
        }
        if (error) {
            style = LumoStyle::Error;
            FSquiggles.emplace_back(token.StartPos, token.EndPos);
        }
        Paint(token.StartPos, token.EndPos, style);
        previousKind = kind;
    }

    // The last line has no line end to pass; reaching the end of the text passes it, so its
    // state does not keep a comment position the line no longer has.
    if (CurPos >= FLength)
        doc.SetLineState(line, commentStart);

    const int styled = static_cast<int>(FStyles.size());
    if (styled > 0)
        doc.SetStylingRun(from, styled, FStyles.data());
    // Clear the squiggles over everything restyled, the last token's tail past ToPos included.
    doc.SetIndicatorCurrent(LumoIndicatorError);
    if (styled > 0)
        doc.IndicatorClearRange(from, styled);
    for (const auto& [start, end] : FSquiggles)
        if (end > start)
            doc.IndicatorFillRange(start, end - start);
}

} // namespace cv
