#pragma once
// Per-user settings files: "<AppData>\Vekta\<name>_Settings.xml", moved there from an older
// release's "<AppData>\<name>9_4Settings.xml" when found. A file that cannot be read counts as
// absent; saves replace the file atomically.
#include <pugixml.hpp>

#include <cstdint>
#include <memory>
#include <string>

namespace cv {

class TAplSettings {
public:
    // `appData` is the roaming application data folder (empty when unknown).
    TAplSettings(std::string name, const std::string& appData);

    std::unique_ptr<pugi::xml_document> GetSettings() const;
    void SaveDocument(const pugi::xml_document& document) const;
    bool SettingFileExists() const;

    const std::string AplName;
    std::string FileName;
    std::string OlderFileName;
};

// Readers with defaults; the default applies when the node is absent or lacks the attribute.
// A present attribute whose text does not convert also gives the default, so a hand-edited
// file never keeps the window from opening.
int32_t ReadIntAttribute(const pugi::xml_node& node, const char* name, int32_t def);
bool ReadBoolAttribute(const pugi::xml_node& node, const char* name, bool def);
std::string ReadStringAttribute(const pugi::xml_node& node, const char* name,
                                const std::string& def);
// "true"/"false" in any letter case, or a number (true when not zero).
bool TryTextToBool(const std::string& text, bool& out);

} // namespace cv
