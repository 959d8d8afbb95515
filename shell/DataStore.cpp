#include "DataStore.h"

#include "core/Text.h"
#include "platform/FileSystem.h"

#include <sstream>

namespace cv {

TAplSettings::TAplSettings(std::string name, const std::string& appData)
    : AplName(std::move(name)) {
    const std::string folder = appData + "\\Vekta";
    FileName = folder + "\\" + AplName + "_Settings.xml";
    OlderFileName = appData + "\\" + AplName + "9_4" + "Settings.xml";
    if (!DirectoryExists(folder))
        CreateDir(folder);
    if (FileExists(OlderFileName))
        MoveFileTo(OlderFileName, FileName); // refused while a current file exists
}

std::unique_ptr<pugi::xml_document> TAplSettings::GetSettings() const {
    auto doc = std::make_unique<pugi::xml_document>();
    if (auto bytes = ReadFileBytes(FileName)) {
        auto result = doc->load_buffer(bytes->data(), bytes->size(),
                                       pugi::parse_default | pugi::parse_declaration |
                                           pugi::parse_comments);
        if (result && doc->document_element())
            return doc;
        doc->reset();
    }
    doc->append_child(AplName.c_str());
    return doc;
}

void TAplSettings::SaveDocument(const pugi::xml_document& document) const {
    std::ostringstream out;
    document.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
    WriteFileAtomic(FileName, out.str());
}

bool TAplSettings::SettingFileExists() const { return FileExists(FileName); }

bool TryTextToBool(const std::string& text, bool& out) {
    if (SameText(text, "true")) {
        out = true;
        return true;
    }
    if (SameText(text, "false")) {
        out = false;
        return true;
    }
    int64_t n = 0;
    if (TryStrToInt64(Trim(text), n)) {
        out = n != 0;
        return true;
    }
    return false;
}

int32_t ReadIntAttribute(const pugi::xml_node& node, const char* name, int32_t def) {
    if (!node)
        return def;
    auto a = node.attribute(name);
    int32_t v = def;
    if (a && TryStrToInt(Trim(a.value()), v))
        return v;
    return def;
}

bool ReadBoolAttribute(const pugi::xml_node& node, const char* name, bool def) {
    if (!node)
        return def;
    auto a = node.attribute(name);
    bool v = def;
    if (a && TryTextToBool(a.value(), v))
        return v;
    return def;
}

std::string ReadStringAttribute(const pugi::xml_node& node, const char* name,
                                const std::string& def) {
    if (!node)
        return def;
    auto a = node.attribute(name);
    return a ? std::string(a.value()) : def;
}

} // namespace cv
