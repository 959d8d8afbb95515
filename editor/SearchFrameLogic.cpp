#include "SearchFrameLogic.h"

#include <algorithm>

namespace cv {

namespace {

std::string Upper(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return r;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view upperB) {
    if (a.size() != upperB.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != upperB[i])
            return false;
    }
    return true;
}

std::string_view WholeText(const ILumoDocument& Doc) {
    const int length = Doc.GetLength();
    if (length <= 0)
        return {};
    return {Doc.GetCharacterPointer(), static_cast<size_t>(length)};
}

int LineEnd(const ILumoDocument& Doc, int Line) {
    return Line + 1 < Doc.GetLineCount() ? Doc.PositionFromLine(Line + 1) : Doc.GetLength();
}

// How far ahead the forward block search has the styler run at a time.
constexpr int StyleAhead = 64 * 1024;

} // namespace

TLumoBlockWords::TLumoBlockWords() {
    FPairs = {{"BLOCK", "BLOCK_END"},
              {"CASE", "CASE_END"},
              {"LOOP", "LOOP_END"},
              {"LOOP_WITH", "LOOP_END"}};
    // Each closing word points back; LOOP_END's entry is never read (it is matched against
    // both loop words).
    const auto openers = FPairs;
    for (const auto& pair : openers) {
        auto it = std::find_if(FPairs.begin(), FPairs.end(),
                               [&](const auto& p) { return p.first == pair.second; });
        if (it == FPairs.end())
            FPairs.emplace_back(pair.second, pair.first);
        else
            it->second = pair.first;
    }
}

const std::string* TLumoBlockWords::Find(std::string_view Word) const {
    for (const auto& [key, value] : FPairs)
        if (key == Word)
            return &value;
    return nullptr;
}

std::string_view LineText(const ILumoDocument& Doc, int Line) {
    if (Line < 0 || Line >= Doc.GetLineCount())
        return {};
    const int start = Doc.PositionFromLine(Line);
    const int end = LineEnd(Doc, Line);
    return WholeText(Doc).substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
}

bool LineContinues(std::string_view Line) {
    bool pending = false;
    bool inString = false;
    for (char c : Line) {
        if ((c == ';' && !inString) || c == '\r' || c == '\n')
            break;
        if (c == '"') {
            inString = !inString;
            pending = false;
        } else if (c == '-' && !inString) {
            pending = true;
        } else if (c != ' ') {
            pending = false;
        }
    }
    return pending;
}

std::pair<int, int> StatementLines(const ILumoDocument& Doc, int CaretLine) {
    const int count = Doc.GetLineCount();
    int first = CaretLine;
    int last = CaretLine;
    while (last + 1 < count && LineContinues(LineText(Doc, last)))
        ++last;
    while (first > 0 && LineContinues(LineText(Doc, first - 1)))
        --first;
    return {first, last};
}

TSciRange ReadCommandWord(std::string_view Text, int From, int To) {
    const int length = static_cast<int>(Text.size());
    auto at = [&](int pos) {
        return pos >= 0 && pos < length ? Text[static_cast<size_t>(pos)] : '\0';
    };
    int start = std::max(From, 0);
    while (start <= To && (at(start) == '\r' || at(start) == '\n' || at(start) == ' '))
        ++start;
    if (start > To)
        return {start, start};
    int end = start;
    while (end <= To) {
        const char c = at(end);
        if (c == '\0' || c == '\r' || c == '\n' || c == ' ')
            break;
        ++end;
    }
    return {start, end};
}

TBlockMatch FindBlockMatch(const ILumoDocument& Doc, const TLumoBlockWords& Words, int Caret,
                           TSciRange Word, const TStyleTo& StyleTo) {
    TBlockMatch result;
    const int length = Doc.GetLength();
    if (Caret < 0 || Caret > length)
        return result;
    const int caretLine = Doc.LineFromPosition(Caret);
    int styled = StyleTo ? StyleTo(LineEnd(Doc, caretLine)) : length;

    const int caretComment = Doc.GetLineState(caretLine);
    if (caretComment > 0 && Caret > caretComment)
        return result;
    if (Word.Start < 0 || Word.End <= Word.Start || Word.End > length)
        return result;
    const std::string_view text = WholeText(Doc);
    const std::string word = Upper(
        text.substr(static_cast<size_t>(Word.Start), static_cast<size_t>(Word.End - Word.Start)));
    const std::string* paired = Words.Find(word);
    if (!paired)
        return result;
    result.Applies = true;
    result.Word = Word;

    const bool backward = word.size() >= 3 && word.compare(word.size() - 3, 3, "END") == 0;
    std::string closing;
    std::vector<std::string> opening;
    int depth;
    if (backward) {
        closing = word;
        if (word == "LOOP_END")
            opening = {"LOOP", "LOOP_WITH"};
        else
            opening = {*paired};
        depth = -1;
    } else {
        closing = *paired;
        if (word.compare(0, 4, "LOOP") == 0)
            opening = {"LOOP", "LOOP_WITH"};
        else
            opening = {word};
        depth = 1;
    }

    // True when the word read after the "#" at `hash` closes the search.
    auto count = [&](int hash, int limit) {
        const TSciRange read = ReadCommandWord(text, hash + 1, limit);
        const std::string_view got = text.substr(static_cast<size_t>(read.Start),
                                                 static_cast<size_t>(read.End - read.Start));
        if (got.empty())
            return false;
        if (EqualsIgnoringCase(got, closing))
            --depth;
        else if (std::any_of(opening.begin(), opening.end(),
                             [&](const std::string& o) { return EqualsIgnoringCase(got, o); }))
            ++depth;
        if (depth != 0)
            return false;
        result.Matched = true;
        result.Match = read;
        return true;
    };

    if (backward) {
        int pos = Word.Start - 1;
        for (int line = pos >= 0 ? Doc.LineFromPosition(pos) : -1; line >= 0 && pos >= 0; --line) {
            const int lineStart = Doc.PositionFromLine(line);
            const int comment = Doc.GetLineState(line);
            if (comment > 0 && pos > comment)
                pos = comment; // what follows the comment's start is passed over
            for (; pos >= lineStart; --pos)
                if (text[static_cast<size_t>(pos)] == '#' && count(pos, Word.Start))
                    return result;
            pos = lineStart - 1;
        }
        return result;
    }

    int pos = Word.End;
    for (int line = Doc.LineFromPosition(pos); pos < length; ++line) {
        const int lineEnd = LineEnd(Doc, line);
        if (StyleTo && lineEnd > styled && styled < length)
            styled = StyleTo(std::min(length, lineEnd + StyleAhead));
        const int comment = Doc.GetLineState(line);
        int last = lineEnd - 1;
        if (comment > 0)
            last = std::min(last, comment);
        for (; pos <= last; ++pos)
            if (text[static_cast<size_t>(pos)] == '#' && count(pos, length))
                return result;
        pos = std::max(pos, lineEnd);
    }
    return result;
}

std::pair<int, int> CommentLines(const ILumoDocument& Doc, int SelectionStart, int SelectionEnd) {
    const int first = Doc.LineFromPosition(SelectionStart);
    if (SelectionEnd <= SelectionStart)
        return {first, first};
    return {first, Doc.LineFromPosition(SelectionEnd)};
}

int UncommentOffset(std::string_view Line) {
    const size_t at = Line.find(';');
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

int NextCharacterPosition(std::string_view Text, int Pos) {
    int next = Pos + 1;
    while (next < static_cast<int>(Text.size()) &&
           (static_cast<unsigned char>(Text[static_cast<size_t>(next)]) & 0xC0) == 0x80)
        ++next;
    return next;
}

std::vector<TSciRange> FindAllMatches(const std::function<TSciRange(int Start, int End)>& Find,
                                      std::string_view Text) {
    std::vector<TSciRange> matches;
    const int length = static_cast<int>(Text.size());
    int start = 0;
    while (start <= length) {
        const TSciRange match = Find(start, length);
        if (match.Start < start || match.End < match.Start)
            break;
        matches.push_back(match);
        start = match.End > match.Start ? match.End : NextCharacterPosition(Text, match.Start);
    }
    return matches;
}

int ReplaceAllMatches(const std::function<TSciRange(int Start)>& Find,
                      const std::function<int(TSciRange Match)>& Replace,
                      const std::function<int()>& Length,
                      const std::function<int(int Pos)>& PositionAfter) {
    int replaced = 0;
    int pos = 0;
    while (pos <= Length()) {
        const TSciRange match = Find(pos);
        if (match.Start < pos || match.End < match.Start)
            break;
        const int inserted = Replace(match);
        ++replaced;
        pos = match.Start + inserted;
        if (match.End == match.Start)
            pos = PositionAfter(pos) > pos ? PositionAfter(pos) : pos + 1;
    }
    return replaced;
}

} // namespace cv
