#pragma once
// A fresh temporary folder per test, removed with everything in it.
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace cvtest {

class TTempFolder {
public:
    TTempFolder() {
        char tmpl[] = "/tmp/vornix-test-XXXXXX";
        if (!mkdtemp(tmpl))
            throw std::runtime_error("mkdtemp failed");
        FDir = tmpl;
    }
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(FDir, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const std::string& Dir() const { return FDir; }

private:
    std::string FDir;
};

} // namespace cvtest
