// Arbitrary attribute texts in a settings file's root element: the layout reads them with its
// defaults, saves them back, and a file written that way reads again to the same values.
#include "shell/Layout.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <pugixml.hpp>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* names[] = {"Left",      "Top",      "Width",  "Height", "Maximized",
                                  "RunNotify", "Extended", "Target", "Source", "ProductSetup"};
    // The input is up to ten texts separated by zero bytes, one per attribute.
    pugi::xml_document doc;
    auto root = doc.append_child("VornixControlPanel");
    const char* p = reinterpret_cast<const char*>(data);
    const char* end = p + size;
    for (const char* name : names) {
        if (p >= end)
            break;
        const char* zero = static_cast<const char*>(memchr(p, 0, static_cast<size_t>(end - p)));
        const char* stop = zero ? zero : end;
        root.append_attribute(name).set_value(std::string(p, stop).c_str());
        p = stop + 1;
    }
    cv::TDialogLayout layout(root);
    layout.Save(root);
    std::ostringstream out;
    doc.save(out);
    pugi::xml_document again;
    if (!again.load_string(out.str().c_str()) || !again.document_element())
        std::abort();
    cv::TDialogLayout reread(again.document_element());
    if (reread.FLeft != layout.FLeft || reread.FTop != layout.FTop ||
        reread.FWidth != layout.FWidth || reread.FHeight != layout.FHeight ||
        reread.FMaximized != layout.FMaximized || reread.FExtended != layout.FExtended ||
        reread.FRunNotify != layout.FRunNotify || reread.FProductSetup != layout.FProductSetup)
        std::abort();
    return 0;
}
