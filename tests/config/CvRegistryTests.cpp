// Product values through both registry views, and the install folders derived from them.
#include "support/TempFolder.h"

#include "config/CvRegistry.h"
#include "platform/sandbox/SandboxRegistry.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

using namespace cv;

namespace {

constexpr uint32_t All = KEY_READ | KEY_WRITE;

void Register(IRegistry& reg, bool view64, const std::string& product,
              std::optional<std::string> path) {
    auto key = reg.CreateKey(ProductsKey + product, All | (view64 ? KEY_WOW64_64KEY : 0));
    ASSERT_TRUE(key);
    if (path) {
        ASSERT_TRUE(key->WriteString("Path", *path));
    }
}

struct TViewCase {
    const char* Name;
    bool Key32;
    std::optional<std::string> Path32;
    bool Key64;
    std::optional<std::string> Path64;
    std::string Expected;
};

TEST(ProductRegistry, ViewTable) {
    const TViewCase cases[] = {
        {"only 32-bit", true, "C:\\V32\\", false, {}, "C:\\V32\\"},
        {"only 64-bit: second try", false, {}, true, "C:\\V64\\", "C:\\V64\\"},
        {"both: 32-bit wins", true, "C:\\V32\\", true, "C:\\V64\\", "C:\\V32\\"},
        {"neither", false, {}, false, {}, ""},
        // The 32-bit key opens, so the 64-bit view is never asked.
        {"32-bit key without the value", true, {}, true, "C:\\V64\\", ""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.Name);
        cvtest::TTempFolder tmp;
        TSandboxRegistry reg(tmp.Dir());
        if (c.Key32)
            Register(reg, false, "VORNIX", c.Path32);
        if (c.Key64)
            Register(reg, true, "VORNIX", c.Path64);
        EXPECT_EQ(ReadProductValue(reg, "VORNIX", "Path"), c.Expected);
    }
}

TEST(ProductRegistry, WriteGoesToTheFirstViewThatHasTheKey) {
    cvtest::TTempFolder tmp;
    TSandboxRegistry reg(tmp.Dir());
    Register(reg, true, "Corvane Pro\\WebUI", {});
    WriteProductValue(reg, "Corvane Pro\\WebUI", "Port", "8443");
    EXPECT_FALSE(reg.KeyExists(std::string(ProductsKey) + "Corvane Pro\\WebUI", KEY_READ))
        << "no key may be created in the own view";
    EXPECT_EQ(ReadProductValue(reg, "Corvane Pro\\WebUI", "Port"), "8443");

    Register(reg, false, "Corvane Pro\\WebUI", {});
    WriteProductValue(reg, "Corvane Pro\\WebUI", "Port", "443");
    EXPECT_EQ(ReadProductValue(reg, "Corvane Pro\\WebUI", "Port"), "443");
    auto key64 =
        reg.OpenKey(std::string(ProductsKey) + "Corvane Pro\\WebUI", KEY_READ | KEY_WOW64_64KEY);
    EXPECT_EQ(key64->ReadString("Port"), "8443");
}

TEST(ProductRegistry, WriteWithoutKeyWritesNothing) {
    cvtest::TTempFolder tmp;
    TSandboxRegistry reg(tmp.Dir());
    WriteProductValue(reg, "Nothing", "Path", "x");
    EXPECT_FALSE(reg.KeyExists(std::string(ProductsKey) + "Nothing", KEY_READ));
    EXPECT_FALSE(reg.KeyExists(std::string(ProductsKey) + "Nothing", KEY_READ | KEY_WOW64_64KEY));
}

TEST(ProductRegistry, OpenProductKeyReturnsNothingForAMissingKey) {
    cvtest::TTempFolder tmp;
    TSandboxRegistry reg(tmp.Dir());
    EXPECT_FALSE(OpenProductKey(reg, "VORNIX", KEY_QUERY_VALUE, false));
    Register(reg, true, "VORNIX", "p");
    EXPECT_FALSE(OpenProductKey(reg, "VORNIX", KEY_QUERY_VALUE, false));
    auto r = OpenProductKey(reg, "VORNIX", KEY_QUERY_VALUE, true);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->ReadRegKey("Path"), "p");
    EXPECT_EQ(r->ReadRegKey("Other"), "");
}

TEST(Reg, FailedOpenIsRememberedButNotReportedAsOpen) {
    cvtest::TTempFolder tmp;
    TSandboxRegistry reg(tmp.Dir());
    TReg r(reg, All);
    EXPECT_FALSE(r.WriteRegKey("v", "x")) << "no key open";
    EXPECT_FALSE(r.OpenRegKey("\\SOFTWARE\\Missing"));
    EXPECT_EQ(r.CurrentKey(), "\\SOFTWARE\\Missing");
    EXPECT_FALSE(r.OpenRegKey("\\SOFTWARE\\Missing"));
    EXPECT_FALSE(r.WriteRegKey("v", "x"));
    EXPECT_EQ(r.ReadRegKey("v"), "");

    EXPECT_TRUE(r.CreateRegKey("\\SOFTWARE\\Missing"));
    EXPECT_TRUE(r.KeyExists("\\SOFTWARE\\Missing"));
    EXPECT_FALSE(r.OpenRegKey("\\SOFTWARE\\Other"));
    EXPECT_TRUE(r.OpenRegKey("\\SOFTWARE\\Missing"));
    EXPECT_TRUE(r.OpenRegKey("\\SOFTWARE\\Missing")) << "the open key answers at once";
    EXPECT_TRUE(r.WriteRegKey("v", "x"));
    EXPECT_EQ(r.ReadRegKey("v"), "x");
}

struct TFolderCase {
    const char* Name;
    std::optional<std::string> WardenPath; // registered "Corvane Pro\Warden" Path
    std::optional<std::string> ServicesPath;
    std::set<std::string> Files;
    std::string Warden;
    bool Visible;
    std::string Services;
};

TEST(ResolveFolders, WardenFallbackAndServicesTable) {
    const std::string cv = "C:\\Vornix\\";
    const std::string regTool = "D:\\Vekta\\Vekta.Warden\\Vekta.Warden.exe";
    const std::string ownTool = "C:\\Vornix\\prog\\utils\\security\\Vekta.Warden.exe";
    const TFolderCase cases[] = {
        {"registered tool",
         "D:\\Vekta\\",
         "D:\\Pro\\",
         {regTool, ownTool},
         "D:\\Vekta\\Vekta.Warden",
         true,
         "D:\\Pro\\Services"},
        {"registered but missing: installation's copy",
         "D:\\Vekta\\",
         "D:\\Pro\\",
         {ownTool},
         "C:\\Vornix\\prog\\utils\\security",
         true,
         "D:\\Pro\\Services"},
        {"not registered: installation's copy",
         std::nullopt,
         "D:\\Pro\\",
         {ownTool},
         "C:\\Vornix\\prog\\utils\\security",
         true,
         "D:\\Pro\\Services"},
        {"nowhere: link hidden",
         std::nullopt,
         std::nullopt,
         {},
         "C:\\Vornix\\prog\\utils\\security",
         false,
         ""},
        {"registered, missing, no copy: hidden",
         "D:\\Vekta\\",
         "D:\\Pro\\",
         {},
         "C:\\Vornix\\prog\\utils\\security",
         false,
         "D:\\Pro\\Services"},
        {"paths joined without separator",
         "D:\\Vekta",
         "D:\\Pro",
         {"D:\\VektaVekta.Warden\\Vekta.Warden.exe"},
         "D:\\VektaVekta.Warden",
         true,
         "D:\\ProServices"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.Name);
        cvtest::TTempFolder tmp;
        TSandboxRegistry reg(tmp.Dir());
        Register(reg, false, "VORNIX", cv);
        if (c.WardenPath)
            Register(reg, false, "Corvane Pro\\Warden", c.WardenPath);
        if (c.ServicesPath)
            Register(reg, true, "Corvane Pro\\Services", c.ServicesPath);
        TInstallFolders f =
            ResolveFolders(reg, [&](const std::string& p) { return c.Files.count(p) > 0; });
        EXPECT_EQ(f.CvFolder, cv);
        EXPECT_EQ(f.WardenFolder, c.Warden);
        EXPECT_EQ(f.CyberSecurityVisible, c.Visible);
        EXPECT_EQ(f.SysServicesFolder, c.Services);
    }
}

TEST(ResolveFolders, NothingRegisteredLeavesRelativePaths) {
    cvtest::TTempFolder tmp;
    TSandboxRegistry reg(tmp.Dir());
    TInstallFolders f = ResolveFolders(reg, [](const std::string&) { return false; });
    EXPECT_EQ(f.CvFolder, "");
    EXPECT_EQ(f.WardenFolder, "prog\\utils\\security");
    EXPECT_FALSE(f.CyberSecurityVisible);
    EXPECT_EQ(f.SysServicesFolder, "");
}

} // namespace
