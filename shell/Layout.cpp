#include "Layout.h"

#include "DataStore.h"

namespace cv {

TDialogLayout::TDialogLayout(const pugi::xml_node& node) {
    FLeft = ReadIntAttribute(node, "Left", FLeft);
    FTop = ReadIntAttribute(node, "Top", FTop);
    FWidth = ReadIntAttribute(node, "Width", FWidth);
    FHeight = ReadIntAttribute(node, "Height", FHeight);
    FMaximized = ReadBoolAttribute(node, "Maximized", FMaximized);
    FRunNotify = ReadBoolAttribute(node, "RunNotify", FRunNotify);
    FExtended = ReadBoolAttribute(node, "Extended", FExtended);
    FTarget = ReadStringAttribute(node, "Target", FTarget);
    FSource = ReadStringAttribute(node, "Source", FSource);
    FProductSetup = ReadBoolAttribute(node, "ProductSetup", FProductSetup);
}

namespace {
void Set(pugi::xml_node node, const char* name, const std::string& value) {
    auto a = node.attribute(name);
    if (!a)
        a = node.append_attribute(name);
    a.set_value(value.c_str());
}
const char* Bool(bool b) { return b ? "true" : "false"; }
} // namespace

void TDialogLayout::Save(pugi::xml_node node) const {
    Set(node, "Left", std::to_string(FLeft));
    Set(node, "Top", std::to_string(FTop));
    Set(node, "Width", std::to_string(FWidth));
    Set(node, "Height", std::to_string(FHeight));
    Set(node, "Maximized", Bool(FMaximized));
    Set(node, "RunNotify", Bool(FRunNotify));
    Set(node, "Extended", Bool(FExtended));
    Set(node, "Target", FTarget);
    Set(node, "Source", FSource);
    Set(node, "ProductSetup", Bool(FProductSetup));
}

} // namespace cv
