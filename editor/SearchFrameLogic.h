#pragma once
// What the search frame works out without a window: whether a line continues its statement,
// the lines of the statement around the caret, the block keyword that matches the one at the
// caret, the lines a (un)comment command acts on, and the stepping of find-all and
// replace-all from match to match. Everything reads the text through ILumoDocument, so the
// frame's editor and a document in memory give the same answers.
#include "editor/DScintillaTypes.h"
#include "editor/LumoDocument.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cv {

// Opening block words and their closing words, and each closing word back to an opening one.
class TLumoBlockWords {
public:
    TLumoBlockWords();
    // The word paired with the upper-case `Word`, or nullptr when it is no block word.
    const std::string* Find(std::string_view Word) const;

private:
    std::vector<std::pair<std::string, std::string>> FPairs;
};

// The bytes of `Line` (its line end included) in `Doc`.
std::string_view LineText(const ILumoDocument& Doc, int Line);

// Whether a line ends in the continuation "-": only spaces may stand between the "-" and the
// line end or a comment; a double-quoted string hides what it holds.
bool LineContinues(std::string_view Line);

// The first and last line of the statement that holds `CaretLine`: the lines before it that
// continue, and the lines after it as long as the one before continues.
std::pair<int, int> StatementLines(const ILumoDocument& Doc, int CaretLine);

// The command word after a "#": from `From` on, carriage returns, line feeds and spaces are
// skipped (the word is empty when that passes `To`); the word then runs up to the first 0,
// carriage return, line feed or space, and up to `To` (inclusive) at the most. Bytes past the
// text read as 0.
TSciRange ReadCommandWord(std::string_view Text, int From, int To);

struct TBlockMatch {
    bool Applies = false; // the caret stands on a block word outside a comment
    bool Matched = false;
    TSciRange Word;  // the caret's word
    TSciRange Match; // the word that opens or closes the same block
};

// Makes sure the line states are set for the text up to `Pos` (the styler writes them) and
// returns how far they now are; without one, the document's line states are taken as they are.
using TStyleTo = std::function<int(int Pos)>;

// The block word that pairs with the caret's word `Word` (the editor's word around `Caret`).
// Nested blocks of the same kind are counted; a "#" inside a comment (as the line states say)
// is passed over.
TBlockMatch FindBlockMatch(const ILumoDocument& Doc, const TLumoBlockWords& Words, int Caret,
                           TSciRange Word, const TStyleTo& StyleTo = {});

// The lines a (un)comment command acts on: the caret's line, or every line the selection
// touches (a selection that ends at the start of a line takes that line in).
std::pair<int, int> CommentLines(const ILumoDocument& Doc, int SelectionStart, int SelectionEnd);

// Where uncommenting deletes: the offset of the line's first ";", or -1.
int UncommentOffset(std::string_view Line);

// The position after the character at `Pos` in UTF-8 text (continuation bytes skipped).
int NextCharacterPosition(std::string_view Text, int Pos);

// Every match from position 0 to `Length`, each search starting where the last match ended.
// An empty match (a regular expression may give one) moves the next search on by one
// character, so no position is searched twice and the stepping always ends.
// `Find(Start, End)` returns the first match in Start .. End, or {-1, -1}.
std::vector<TSciRange> FindAllMatches(const std::function<TSciRange(int Start, int End)>& Find,
                                      std::string_view Text);

// Replaces every match from position 0 on, resuming right after each inserted replacement.
// `Find(Start)` searches Start .. the current end of the text and returns the first match or
// {-1, -1}; `Replace(Match)` puts the replacement in and returns its length; `Length()` is the
// current text's length and `PositionAfter(Pos)` the position after the character at Pos. An
// empty match moves on one character, as FindAllMatches does. Returns the replacements made.
int ReplaceAllMatches(const std::function<TSciRange(int Start)>& Find,
                      const std::function<int(TSciRange Match)>& Replace,
                      const std::function<int()>& Length,
                      const std::function<int(int Pos)>& PositionAfter);

} // namespace cv
