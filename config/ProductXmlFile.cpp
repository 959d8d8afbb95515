#include "ProductXmlFile.h"

#include "core/Assert.h"
#include "core/Text.h"
#include "platform/FileSystem.h"

#include <pugixml.hpp>

namespace cv {

namespace {

// Comments, processing instructions, the declaration and the document type are nodes, so a
// comment holding a declaration and an element holds two of them.
constexpr unsigned ParseFlags = pugi::parse_full;

// ---------------------------------------------------------------- encodings

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point at `i` of UTF-8 text, moving `i` past it; a malformed sequence yields
// U+FFFD for its first byte.
char32_t NextUtf8(const std::string& s, size_t& i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    size_t n = 0;
    char32_t cp = 0, min = 0;
    if (c < 0x80) {
        ++i;
        return c;
    } else if ((c & 0xE0) == 0xC0) {
        n = 1, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 2, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 3, cp = c & 0x07, min = 0x10000;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + n >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (size_t k = 1; k <= n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += n + 1;
    return cp;
}

TProductXmlEncoding FromParser(pugi::xml_encoding e) {
    switch (e) {
    case pugi::encoding_utf16_le:
        return pxe_Utf16LE;
    case pugi::encoding_utf16_be:
        return pxe_Utf16BE;
    case pugi::encoding_utf32_le:
        return pxe_Utf32LE;
    case pugi::encoding_utf32_be:
        return pxe_Utf32BE;
    case pugi::encoding_latin1:
        return pxe_Latin1;
    default:
        return pxe_Utf8;
    }
}

const char* EncodingName(TProductXmlEncoding e) {
    switch (e) {
    case pxe_Utf16LE:
    case pxe_Utf16BE:
        return "UTF-16";
    case pxe_Utf32LE:
    case pxe_Utf32BE:
        return "UTF-32";
    case pxe_Latin1:
        return "ISO-8859-1";
    default:
        return "UTF-8";
    }
}

std::string ByteOrderMark(TProductXmlEncoding e) {
    switch (e) {
    case pxe_Utf8:
        return "\xEF\xBB\xBF";
    case pxe_Utf16LE:
        return "\xFF\xFE";
    case pxe_Utf16BE:
        return "\xFE\xFF";
    case pxe_Utf32LE:
        return std::string("\xFF\xFE\0\0", 4);
    case pxe_Utf32BE:
        return std::string("\0\0\xFE\xFF", 4);
    default:
        return {};
    }
}

uint32_t Unit(const std::string& s, size_t at, size_t size, bool bigEndian) {
    uint32_t v = 0;
    for (size_t k = 0; k < size; ++k) {
        const uint32_t byte = static_cast<unsigned char>(s[at + (bigEndian ? k : size - 1 - k)]);
        v = (v << 8) | byte;
    }
    return v;
}

void PutUnit(std::string& out, uint32_t v, size_t size, bool bigEndian) {
    for (size_t k = 0; k < size; ++k) {
        const size_t shift = 8 * (bigEndian ? size - 1 - k : k);
        out += static_cast<char>((v >> shift) & 0xFF);
    }
}

// The body (without byte-order mark) as UTF-8. What does not decode becomes U+FFFD, which
// Encode then cannot give back as it was; the caller compares before it writes.
std::string Decode(const std::string& body, TProductXmlEncoding e) {
    std::string out;
    switch (e) {
    case pxe_Utf8:
        return body;
    case pxe_Latin1:
        for (char c : body)
            AppendUtf8(out, static_cast<unsigned char>(c));
        return out;
    case pxe_Utf16LE:
    case pxe_Utf16BE: {
        const bool be = e == pxe_Utf16BE;
        for (size_t i = 0; i + 1 < body.size(); i += 2) {
            const uint32_t u = Unit(body, i, 2, be);
            if (u >= 0xD800 && u <= 0xDBFF && i + 3 < body.size()) {
                const uint32_t low = Unit(body, i + 2, 2, be);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                    i += 2;
                    continue;
                }
            }
            AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
        }
        return out;
    }
    case pxe_Utf32LE:
    case pxe_Utf32BE: {
        const bool be = e == pxe_Utf32BE;
        for (size_t i = 0; i + 3 < body.size(); i += 4) {
            const uint32_t u = Unit(body, i, 4, be);
            AppendUtf8(out, (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) ? 0xFFFD : u);
        }
        return out;
    }
    }
    return out;
}

// UTF-8 text in the encoding; false when a character has no place in it (ISO-8859-1).
bool Encode(const std::string& text, TProductXmlEncoding e, std::string& out) {
    out.clear();
    if (e == pxe_Utf8) {
        out = text;
        return true;
    }
    for (size_t i = 0; i < text.size();) {
        const char32_t c = NextUtf8(text, i);
        switch (e) {
        case pxe_Latin1:
            if (c > 0xFF)
                return false;
            out += static_cast<char>(c);
            break;
        case pxe_Utf16LE:
        case pxe_Utf16BE:
            if (c >= 0x10000) {
                PutUnit(out, 0xD800 + ((c - 0x10000) >> 10), 2, e == pxe_Utf16BE);
                PutUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), 2, e == pxe_Utf16BE);
            } else {
                PutUnit(out, c, 2, e == pxe_Utf16BE);
            }
            break;
        default:
            PutUnit(out, c, 4, e == pxe_Utf32BE);
            break;
        }
    }
    return true;
}

// ---------------------------------------------------------------- reading the entries

// Line ends as the parser hands them on: CR LF and a lone CR become LF.
std::string NormalizedLineEnds(std::string_view s) {
    std::string r;
    r.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            r += '\n';
            if (i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
        } else {
            r += s[i];
        }
    }
    return r;
}

// The element as a task, with its markup's place in `text` (the buffer it was parsed from):
// an element with "taskName" whose only child is a non-empty piece of text.
std::optional<TProductTaskEntry> ReadTaskElement(const pugi::xml_node& node, const std::string& text) {
    if (node.type() != pugi::node_element)
        return std::nullopt;
    const pugi::xml_attribute name = node.attribute("taskName");
    const pugi::xml_node only = node.first_child();
    if (!name || !only || only.type() != pugi::node_pcdata || only.next_sibling() ||
        !*only.value())
        return std::nullopt;
    TProductTaskEntry e;
    e.TaskName = name.value();
    e.Description = node.attribute("description").value();
    e.DefinitionFile = only.value();
    if (const auto a = node.attribute("mandatory"))
        e.Mandatory = a.value();
    if (const auto a = node.attribute("depends"))
        e.Depends = a.value();
    // The start tag begins one before the element's name; the text runs to the first "<",
    // which opens the end tag, and the end tag closes at the next ">".
    const ptrdiff_t nameAt = node.offset_debug();
    const ptrdiff_t textAt = only.offset_debug();
    CV_ASSERT(nameAt >= 1 && textAt > nameAt && static_cast<size_t>(textAt) < text.size(),
              "Task element without its place in the text");
    e.Start = static_cast<size_t>(nameAt) - 1;
    const std::string_view elementName = node.name();
    CV_ASSERT(text[e.Start] == '<' && text.compare(e.Start + 1, elementName.size(), elementName) == 0,
              "Task element not at its place in the text");
    const size_t endTag = text.find('<', static_cast<size_t>(textAt));
    CV_ASSERT(endTag != std::string::npos && endTag + 1 < text.size() && text[endTag + 1] == '/',
              "Task element's end tag not found");
    const size_t close = text.find('>', endTag);
    CV_ASSERT(close != std::string::npos, "Task element's end tag not closed");
    e.End = close + 1;
    e.ElementStart = e.Start;
    e.ElementEnd = e.End;
    return e;
}

// A comment whose content is exactly one task element.
std::optional<TProductTaskEntry> ReadTaskComment(const pugi::xml_node& node, const std::string& text) {
    const ptrdiff_t contentAt = node.offset_debug();
    if (contentAt < 4) // an empty comment has no place of its own
        return std::nullopt;
    const size_t content = static_cast<size_t>(contentAt);
    CV_ASSERT(text.compare(content - 4, 4, "<!--") == 0, "Comment not at its place in the text");
    const size_t close = text.find("-->", content);
    CV_ASSERT(close != std::string::npos, "Comment not closed");
    const std::string inner = text.substr(content, close - content);
    CV_ASSERT(NormalizedLineEnds(inner) == node.value(), "Comment's text differs from its markup");
    pugi::xml_document fragment;
    if (!fragment.load_buffer(inner.data(), inner.size(), ParseFlags, pugi::encoding_utf8))
        return std::nullopt;
    const pugi::xml_node only = fragment.first_child();
    if (!only || only.next_sibling())
        return std::nullopt;
    auto e = ReadTaskElement(only, inner);
    if (!e)
        return std::nullopt;
    e->CommentedOut = true;
    e->ElementStart = content + e->Start;
    e->ElementEnd = content + e->End;
    e->Start = content - 4;
    e->End = close + 3;
    return e;
}

// The task list of UTF-8 text; raises cv::Exception when the text is no well-formed XML.
void ReadTasks(const std::string& text, bool& hasProductTasks, std::vector<TProductTaskEntry>& tasks) {
    pugi::xml_document doc;
    const pugi::xml_parse_result r =
        doc.load_buffer(text.data(), text.size(), ParseFlags, pugi::encoding_utf8);
    if (!r)
        throw Exception(std::string(r.description()) + " at offset " + IntToStr(r.offset));
    hasProductTasks = false;
    tasks.clear();
    pugi::xml_node list;
    for (const pugi::xml_node& top : doc.children())
        if (top.type() == pugi::node_element && std::string_view(top.name()) == "ProductTasks") {
            list = top;
            break;
        }
    if (!list)
        return;
    hasProductTasks = true;
    for (const pugi::xml_node& child : list.children()) {
        std::optional<TProductTaskEntry> e;
        if (child.type() == pugi::node_comment)
            e = ReadTaskComment(child, text);
        else
            e = ReadTaskElement(child, text);
        if (e)
            tasks.push_back(std::move(*e));
    }
}

bool SameTask(const TProductTaskEntry& a, const TProductTaskEntry& b) {
    return a.TaskName == b.TaskName && a.DefinitionFile == b.DefinitionFile &&
           a.Description == b.Description && a.Mandatory == b.Mandatory && a.Depends == b.Depends;
}

} // namespace

// ---------------------------------------------------------------- TProductXml

TProductXml TProductXml::Parse(std::string bytes) {
    TProductXml x;
    {
        // The parser's own detection (byte-order mark, the first characters, the declaration).
        pugi::xml_document probe;
        x.FEncoding = FromParser(
            probe.load_buffer(bytes.data(), bytes.size(), pugi::parse_minimal, pugi::encoding_auto)
                .encoding);
    }
    const std::string bom = ByteOrderMark(x.FEncoding);
    if (!bom.empty() && StartsWith(bytes, bom))
        x.FBom = bom;
    x.FText = Decode(bytes.substr(x.FBom.size()), x.FEncoding);
    x.FOriginal = std::move(bytes);
    ReadTasks(x.FText, x.FHasProductTasks, x.FTasks);
    return x;
}

TProductXml TProductXml::Load(const std::string& fileName) {
    std::optional<std::string> bytes = ReadFileBytes(fileName);
    if (!bytes)
        throw Exception("Cannot open file \"" + fileName + "\".");
    try {
        return Parse(std::move(*bytes));
    } catch (const EAssertionFailed&) {
        throw;
    } catch (const Exception& e) {
        throw Exception("The file \"" + fileName + "\" is not well-formed XML: " + e.what() + ".");
    }
}

std::string TProductXml::Bytes() const { return EncodeText(FText); }

std::string TProductXml::EncodeText(const std::string& text) const {
    std::string body;
    if (!Encode(text, FEncoding, body))
        throw Exception(std::string("The text cannot be written in ") + EncodingName(FEncoding) + ".");
    return FBom + body;
}

bool TProductXml::ReadsBackExactly() const {
    std::string body;
    return Encode(FText, FEncoding, body) && FBom + body == FOriginal;
}

bool TProductXml::CanCommentOut(const TProductTaskEntry& element) const {
    const std::string_view markup(FText.data() + element.Start, element.End - element.Start);
    return markup.find("--") == std::string_view::npos && !markup.empty() && markup.back() != '-';
}

std::string TProductXml::Splice(const TProductTaskEntry& entry, const std::string& replacement) const {
    std::string text = FText.substr(0, entry.Start) + replacement + FText.substr(entry.End);
    // Read back: the same tasks in the same order, this one switched and no other.
    bool has = false;
    std::vector<TProductTaskEntry> after;
    ReadTasks(text, has, after);
    bool same = has && after.size() == FTasks.size();
    for (size_t i = 0; same && i < after.size(); ++i) {
        const bool switched = FTasks[i].Start == entry.Start;
        same = SameTask(after[i], FTasks[i]) &&
               after[i].CommentedOut == (switched ? !FTasks[i].CommentedOut : FTasks[i].CommentedOut);
    }
    CV_ASSERT(same, "The changed task list does not read back as written");
    return text;
}

std::string TProductXml::CommentOutNode(const TProductTaskEntry& element) const {
    CV_ASSERT(!element.CommentedOut && CanCommentOut(element), "Entry cannot be commented out");
    return Splice(element, "<!--" + FText.substr(element.Start, element.End - element.Start) + "-->");
}

std::string TProductXml::RestoreNode(const TProductTaskEntry& comment) const {
    CV_ASSERT(comment.CommentedOut, "Entry is not commented out");
    return Splice(comment,
                  FText.substr(comment.ElementStart, comment.ElementEnd - comment.ElementStart));
}

// ---------------------------------------------------------------- switching

namespace {

// The entry the walk stops at, or none.
const TProductTaskEntry* WalkTo(const TProductXml& x, bool disable, const std::string& definitionFile) {
    for (const TProductTaskEntry& e : x.Tasks()) {
        if (!SameText(e.DefinitionFile, definitionFile))
            continue;
        if (e.CommentedOut && disable)
            continue; // comments are looked into only when enabling
        return &e;
    }
    return nullptr;
}

} // namespace

TSwitchResult SetTaskCommentedOut(const std::string& fileName, bool disable,
                                  const std::string& definitionFile) {
    const TProductXml x = TProductXml::Load(fileName);
    const TProductTaskEntry* e = WalkTo(x, disable, definitionFile);
    if (!e || e->CommentedOut != !disable)
        return sw_Unchanged;
    if (disable && !x.CanCommentOut(*e))
        return sw_Refused;
    // What was read must be what is written back, apart from the entry.
    if (!x.ReadsBackExactly())
        throw Exception("The file \"" + fileName + "\" cannot be written back unchanged: it is not valid " +
                        EncodingName(x.Encoding()) + ".");
    WriteFileAtomic(fileName, x.EncodeText(disable ? x.CommentOutNode(*e) : x.RestoreNode(*e)));
    return sw_Changed;
}

bool TaskCanBeCommentedOut(const std::string& fileName, const std::string& definitionFile) {
    const TProductXml x = TProductXml::Load(fileName);
    const TProductTaskEntry* e = WalkTo(x, true, definitionFile);
    return !e || x.CanCommentOut(*e);
}

std::string CombinePath(const std::string& left, const std::string& right) {
    const auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    const bool rooted = !right.empty() &&
                        (isSeparator(right[0]) ||
                         (right.size() >= 2 && right[1] == ':' &&
                          ((right[0] >= 'A' && right[0] <= 'Z') || (right[0] >= 'a' && right[0] <= 'z'))));
    if (left.empty() || rooted)
        return right;
    if (right.empty())
        return left;
    return isSeparator(left.back()) ? left + right : left + "\\" + right;
}

} // namespace cv
