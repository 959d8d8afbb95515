#pragma once
// product.xml, the task list the service reads when it starts: which entries are tasks, and the
// two edits that switch one off (its element becomes a comment holding the element's markup)
// and on again (the comment becomes the element).
//
// An edit changes nothing but the one entry: the text before and after it, the declaration,
// the byte-order mark and the encoding stay byte for byte, so switching a task off and on
// again gives back the file it was. The edits therefore work on the file's own text, with the
// XML parser telling where each entry stands, instead of writing the whole document anew.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cv {

// One task as it stands in the file: an element with a "taskName" attribute whose only child
// is a piece of text (its definition file), or a comment holding exactly one such element.
struct TProductTaskEntry {
    std::string TaskName;
    std::string Description;
    std::string DefinitionFile;
    std::optional<std::string> Mandatory; // the attribute's text, when it is there
    std::optional<std::string> Depends;
    bool CommentedOut = false;
    // The entry's markup in the text: the element, or the whole comment "<!--...-->".
    size_t Start = 0;
    size_t End = 0;
    // For a comment: the element inside it.
    size_t ElementStart = 0;
    size_t ElementEnd = 0;
};

// How the file's bytes are written: the encoding the parser found (its declaration or
// byte-order mark says which) and the byte-order mark, kept as they were.
enum TProductXmlEncoding : uint8_t {
    pxe_Utf8 = 0,
    pxe_Utf16LE = 1,
    pxe_Utf16BE = 2,
    pxe_Utf32LE = 3,
    pxe_Utf32BE = 4,
    pxe_Latin1 = 5,
};

enum TSwitchResult : uint8_t {
    sw_Changed = 0,   // the entry was switched and the file saved
    sw_Unchanged = 1, // nothing to switch (no task list, no such entry, or already so)
    sw_Refused = 2,   // the element cannot be put into a comment as it stands
};

class TProductXml {
public:
    // Reads the bytes as the file's content. Raises cv::Exception when they are no
    // well-formed XML.
    static TProductXml Parse(std::string bytes);
    // Raises cv::Exception when the file cannot be read or is no well-formed XML.
    static TProductXml Load(const std::string& fileName);

    // The document has a top-level element "ProductTasks".
    bool HasProductTasks() const { return FHasProductTasks; }
    // The tasks, active and switched off, in document order.
    const std::vector<TProductTaskEntry>& Tasks() const { return FTasks; }
    // The content as UTF-8 text and as the bytes it is stored as.
    const std::string& Text() const { return FText; }
    std::string Bytes() const;
    // Text in the file's encoding, with its byte-order mark. Raises cv::Exception when a
    // character has no place in the encoding.
    std::string EncodeText(const std::string& text) const;
    // Decoding and encoding again gives back the bytes as read: false for text that is not
    // valid in its encoding (a lone UTF-16 surrogate, an odd byte at the end).
    bool ReadsBackExactly() const;
    TProductXmlEncoding Encoding() const { return FEncoding; }

    // XML forbids "--" inside a comment and a "-" just before its end.
    bool CanCommentOut(const TProductTaskEntry& element) const;
    // The content with the active entry put into a comment, or with the switched-off entry
    // put back in place of its comment. The result is read again and must list the same
    // tasks with only this one switched (an always-on check).
    std::string CommentOutNode(const TProductTaskEntry& element) const;
    std::string RestoreNode(const TProductTaskEntry& comment) const;

private:
    TProductXml() = default;
    std::string Splice(const TProductTaskEntry& entry, const std::string& replacement) const;

    TProductXmlEncoding FEncoding = pxe_Utf8;
    std::string FBom;
    std::string FText;
    std::string FOriginal;
    bool FHasProductTasks = false;
    std::vector<TProductTaskEntry> FTasks;
};

// Switches the first entry whose definition file equals `definitionFile` (ignoring the case
// of ASCII letters), reading the file anew: when disabling, the first active entry with that
// file is commented out; when enabling, the walk stops at the first entry with that file and
// restores it when it is a comment. The file is replaced atomically. Raises cv::Exception
// when the file cannot be read, is no well-formed XML or cannot be written.
TSwitchResult SetTaskCommentedOut(const std::string& fileName, bool disable,
                                  const std::string& definitionFile);

// False when the entry SetTaskCommentedOut would comment out for `definitionFile` cannot be
// put into a comment; true otherwise (also when there is no such entry). Reads the file anew
// and raises like SetTaskCommentedOut.
bool TaskCanBeCommentedOut(const std::string& fileName, const std::string& definitionFile);

// Paths joined the way the product's folders are: a separator ("\") only where the left part
// does not already end in one, and a right part that is itself absolute replaces the left.
std::string CombinePath(const std::string& left, const std::string& right);

} // namespace cv
