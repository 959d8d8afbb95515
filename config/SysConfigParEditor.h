#pragma once
// The system parameter file ("sys\active\sys_\kernel_params.par" below the install folder):
// reads and rewrites the two memory pool sizes and keeps every other line exactly as it was.
// A line holds a parameter when it matches
//   ^[;\s]*([a-zA-Z_0-9]+)[\s]*=[\s]*([^;\s]+)[\s]*(;.*)?$
// (name, value, optional ";" comment); lines commented out with leading semicolons count too,
// and when several lines name one parameter the last one is its line. The file is ANSI text;
// it is written back with CR LF after every line, no byte-order mark, replaced atomically.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

enum TSysConfigParParameter : uint8_t {
    scpp_Unknown = 0,
    scpp_Memory_Pool_Size = 1,
    scpp_Private_Pool_Size = 2,
};

enum TSaveValue : uint8_t {
    value_ok = 0,      // written; both parameters equal their original values
    value_fail = 1,    // not an integer or out of range; nothing written
    value_changed = 2, // written; at least one parameter differs from its original value
};

// The values the service was (or will be) started with.
struct TOriginalPoolSizes {
    int32_t GlobalPool = 0;
    int32_t MaxPrivatePool = 0;
};

inline constexpr const char* SysConfigParRelativePath = "sys\\active\\sys_\\kernel_params.par";

class TSysConfigParEditor {
public:
    explicit TSysConfigParEditor(std::string Filename);
    ~TSysConfigParEditor();
    TSysConfigParEditor(const TSysConfigParEditor&) = delete;
    TSysConfigParEditor& operator=(const TSysConfigParEditor&) = delete;

    // Re-reads the file and takes its values as the new original values.
    void GetOriginalValues();
    // The value as it stands in memory now; the default when the line is absent or no integer.
    int32_t GetParameter(TSysConfigParParameter Parameter) const;
    // Rewrites (or appends) the parameter's line in memory only.
    void SetParameter(TSysConfigParParameter Parameter, int32_t Value);
    // Raises cv::Exception when the file cannot be written.
    void Save();
    TSaveValue TrySaveParameter(std::string_view S, TSysConfigParParameter Parameter);

    const std::string& FileName() const { return FFileName; }
    const TOriginalPoolSizes& OriginalPoolSizes() const { return FOriginalPoolSizes; }
    const std::vector<std::string>& Content() const { return FContent; }

private:
    struct TPattern;

    void LoadContent();
    static TSysConfigParParameter NameToParameter(std::string_view Name);
    static std::string ParameterToName(TSysConfigParParameter Parameter);
    static int32_t DefaultValue(TSysConfigParParameter Parameter);
    static bool IsInRange(TSysConfigParParameter Parameter, int32_t Value);
    TSaveValue CompareToOriginal() const;

    std::string FFileName;
    std::vector<std::string> FContent;
    std::map<TSysConfigParParameter, size_t> FLines;
    std::unique_ptr<TPattern> FValueRE; // compiled once
    TOriginalPoolSizes FOriginalPoolSizes;
};

} // namespace cv
