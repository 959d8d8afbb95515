#include "SysConfigParEditor.h"

#include "core/Assert.h"
#include "core/Text.h"
#include "platform/FileSystem.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace cv {

namespace {

constexpr const char* LinePattern = "^[;\\s]*([a-zA-Z_0-9]+)[\\s]*=[\\s]*([^;\\s]+)[\\s]*(;.*)?$";

struct TLineMatch {
    std::string Name;
    std::string Value;
    bool HasComment = false;
    std::string Comment;
};

} // namespace

struct TSysConfigParEditor::TPattern {
    pcre2_code* Code = nullptr;
    pcre2_match_data* Data = nullptr;

    TPattern() {
        int error = 0;
        PCRE2_SIZE offset = 0;
        // Case-sensitive, byte-wise (no UTF): names and values are ASCII, the rest is kept.
        Code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(LinePattern), PCRE2_ZERO_TERMINATED, 0,
                             &error, &offset, nullptr);
        CV_ASSERT(Code != nullptr, "parameter line pattern does not compile");
        Data = pcre2_match_data_create_from_pattern(Code, nullptr);
        CV_ASSERT(Data != nullptr, "no memory for the parameter line match");
    }
    ~TPattern() {
        pcre2_match_data_free(Data);
        pcre2_code_free(Code);
    }
    TPattern(const TPattern&) = delete;
    TPattern& operator=(const TPattern&) = delete;

    bool Match(std::string_view line, TLineMatch& m) const {
        int rc = pcre2_match(Code, reinterpret_cast<PCRE2_SPTR>(line.data()), line.size(), 0,
                             PCRE2_NOTEMPTY, Data, nullptr);
        if (rc < 0)
            return false;
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(Data);
        auto group = [&](int g, std::string& out) {
            if (g >= rc || ov[2 * g] == PCRE2_UNSET)
                return false;
            out.assign(line.substr(ov[2 * g], ov[2 * g + 1] - ov[2 * g]));
            return true;
        };
        group(1, m.Name);
        group(2, m.Value);
        m.HasComment = group(3, m.Comment);
        return true;
    }
};

TSysConfigParEditor::TSysConfigParEditor(std::string Filename)
    : FFileName(std::move(Filename)), FValueRE(std::make_unique<TPattern>()) {
    LoadContent();
}

TSysConfigParEditor::~TSysConfigParEditor() = default;

void TSysConfigParEditor::GetOriginalValues() {
    LoadContent();
}

void TSysConfigParEditor::LoadContent() {
    FContent.clear();
    FLines.clear();
    if (FileExists(FFileName)) {
        auto bytes = ReadFileBytes(FFileName);
        if (!bytes)
            throw Exception("Cannot open file \"" + FFileName + "\".");
        const std::string text = AnsiToUtf8(*bytes);
        // A line ends at CR LF, LF or CR; a final terminator opens no further line.
        size_t start = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '\r' && text[i] != '\n')
                continue;
            FContent.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
        if (start < text.size())
            FContent.push_back(text.substr(start));
    }
    for (size_t i = 0; i < FContent.size(); ++i) {
        TLineMatch m;
        if (!FValueRE->Match(FContent[i], m))
            continue;
        TSysConfigParParameter p = NameToParameter(m.Name);
        if (p != scpp_Unknown)
            FLines[p] = i; // the last line naming it wins
    }
    FOriginalPoolSizes.MaxPrivatePool = GetParameter(scpp_Private_Pool_Size);
    FOriginalPoolSizes.GlobalPool = GetParameter(scpp_Memory_Pool_Size);
}

int32_t TSysConfigParEditor::GetParameter(TSysConfigParParameter Parameter) const {
    int32_t result = DefaultValue(Parameter);
    auto it = FLines.find(Parameter);
    if (it == FLines.end())
        return result;
    TLineMatch m;
    int32_t v = 0;
    if (FValueRE->Match(FContent[it->second], m) && TryStrToInt(m.Value, v))
        result = v;
    return result;
}

void TSysConfigParEditor::SetParameter(TSysConfigParParameter Parameter, int32_t Value) {
    CV_ASSERT(Parameter != scpp_Unknown, "unknown parameter");
    std::string tail;
    size_t line = 0;
    auto it = FLines.find(Parameter);
    if (it != FLines.end()) {
        line = it->second;
        TLineMatch m;
        if (FValueRE->Match(FContent[line], m) && m.HasComment)
            tail = " " + m.Comment;
    } else {
        FContent.emplace_back();
        line = FContent.size() - 1;
        FLines[Parameter] = line;
    }
    FContent[line] = ParameterToName(Parameter) + " = " + IntToStr(Value) + tail;
}

void TSysConfigParEditor::Save() {
    std::string text;
    for (auto& line : FContent) {
        text += line;
        text += "\r\n";
    }
    WriteFileAtomic(FFileName, Utf8ToAnsi(text));
}

TSaveValue TSysConfigParEditor::TrySaveParameter(std::string_view S,
                                                 TSysConfigParParameter Parameter) {
    int32_t value = 0;
    if (!TryStrToInt(S, value))
        return value_fail;
    if (!IsInRange(Parameter, value))
        return value_fail;
    SetParameter(Parameter, value);
    Save();
    return CompareToOriginal();
}

TSysConfigParParameter TSysConfigParEditor::NameToParameter(std::string_view Name) {
    const std::string n = UpperCase(Name);
    if (n == "MEMORY_POOL_SIZE")
        return scpp_Memory_Pool_Size;
    if (n == "MAX_PRIVATE_MEMORY_POOL_SIZE")
        return scpp_Private_Pool_Size;
    return scpp_Unknown;
}

std::string TSysConfigParEditor::ParameterToName(TSysConfigParParameter Parameter) {
    switch (Parameter) {
    case scpp_Memory_Pool_Size:
        return "MEMORY_POOL_SIZE";
    case scpp_Private_Pool_Size:
        return "MAX_PRIVATE_MEMORY_POOL_SIZE";
    default:
        return {};
    }
}

int32_t TSysConfigParEditor::DefaultValue(TSysConfigParParameter Parameter) {
    switch (Parameter) {
    case scpp_Memory_Pool_Size:
        return 256;
    case scpp_Private_Pool_Size:
        return 128;
    default:
        return 0;
    }
}

bool TSysConfigParEditor::IsInRange(TSysConfigParParameter Parameter, int32_t Value) {
    switch (Parameter) {
    case scpp_Memory_Pool_Size:
        return Value >= 256 && Value <= 2560;
    case scpp_Private_Pool_Size:
        return Value >= 128 && Value <= 512;
    default:
        return false;
    }
}

TSaveValue TSysConfigParEditor::CompareToOriginal() const {
    if (GetParameter(scpp_Memory_Pool_Size) == FOriginalPoolSizes.GlobalPool &&
        GetParameter(scpp_Private_Pool_Size) == FOriginalPoolSizes.MaxPrivatePool)
        return value_ok;
    return value_changed;
}

} // namespace cv
