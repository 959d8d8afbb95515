// Arbitrary parameter files: loaded, read, rewritten and saved. A save must keep every line it
// did not rewrite, and reading the saved file back must give the values just written.
#include "config/SysConfigParEditor.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& ScratchFile() {
    static const std::string path = [] {
        // In memory where possible: every save flushes to disk.
        char tmpl[] = "/dev/shm/vornix-fuzz-par-XXXXXX";
        int fd = mkstemp(tmpl);
        if (fd < 0) {
            char fallback[] = "/tmp/vornix-fuzz-par-XXXXXX";
            fd = mkstemp(fallback);
            if (fd >= 0)
                close(fd);
            return std::string(fallback);
        }
        close(fd);
        return std::string(tmpl);
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = ScratchFile();
    cv::WriteFileAtomic(path, std::string(reinterpret_cast<const char*>(data), size));
    cv::TSysConfigParEditor editor(path);
    const int32_t global = editor.GetParameter(cv::scpp_Memory_Pool_Size);
    const int32_t priv = editor.GetParameter(cv::scpp_Private_Pool_Size);
    (void)global;
    (void)priv;
    if (editor.TrySaveParameter("768", cv::scpp_Memory_Pool_Size) == cv::value_fail)
        std::abort();
    if (editor.TrySaveParameter("128", cv::scpp_Private_Pool_Size) == cv::value_fail)
        std::abort();
    cv::TSysConfigParEditor again(path);
    if (again.GetParameter(cv::scpp_Memory_Pool_Size) != 768 ||
        again.GetParameter(cv::scpp_Private_Pool_Size) != 128)
        std::abort();
    return 0;
}
