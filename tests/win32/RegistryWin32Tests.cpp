// The registry backend on the real registry: both views of SOFTWARE, string values, missing
// keys and values. This build is a 64-bit program, so its own view is the 64-bit one; the
// 32-bit view is reached with KEY_WOW64_32KEY.
#include "config/CvRegistry.h"
#include "platform/win32/Win32Registry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace cv;

namespace {

std::string UniqueProduct() {
    return "VornixTest_" + std::to_string(::GetCurrentProcessId()) + "_" +
           std::to_string(::GetTickCount64());
}

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

// Removes the product's key from one view.
void DeleteProduct(const std::string& product, REGSAM view) {
    HKEY products = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vekta\\Products", 0, KEY_ALL_ACCESS | view,
                        &products) == ERROR_SUCCESS) {
        ::RegDeleteTreeW(products, Wide(product).c_str());
        ::RegCloseKey(products);
    }
}

class Win32Registry : public ::testing::Test {
protected:
    void SetUp() override {
        Product = UniqueProduct();
        Path = std::string(ProductsKey) + Product;
    }
    void TearDown() override {
        DeleteProduct(Product, KEY_WOW64_32KEY);
        DeleteProduct(Product, KEY_WOW64_64KEY);
    }
    std::string Product;
    std::string Path;
    TWin32Registry Reg;
};

TEST_F(Win32Registry, ViewsAreSeparateForSoftware) {
    auto k32 = Reg.CreateKey(Path, KEY_READ | KEY_WRITE | KEY_WOW64_32KEY);
    ASSERT_TRUE(k32);
    ASSERT_TRUE(k32->WriteString("Path", "C:\\V32\\"));
    EXPECT_FALSE(Reg.KeyExists(Path, KEY_READ | KEY_WOW64_64KEY));
    EXPECT_FALSE(Reg.OpenKey(Path, KEY_READ | KEY_WOW64_64KEY));
    EXPECT_FALSE(Reg.OpenKey(Path, KEY_READ)) << "a 64-bit program's own view is the 64-bit one";

    auto k64 = Reg.CreateKey(Path, KEY_READ | KEY_WRITE | KEY_WOW64_64KEY);
    ASSERT_TRUE(k64);
    ASSERT_TRUE(k64->WriteString("Path", "C:\\V64\\"));
    EXPECT_EQ(Reg.OpenKey(Path, KEY_READ | KEY_WOW64_32KEY)->ReadString("Path"), "C:\\V32\\");
    EXPECT_EQ(Reg.OpenKey(Path, KEY_READ | KEY_WOW64_64KEY)->ReadString("Path"), "C:\\V64\\");
    EXPECT_EQ(Reg.OpenKey(Path, KEY_READ)->ReadString("Path"), "C:\\V64\\");
}

TEST_F(Win32Registry, ProductValueFoundInThe64BitView) {
    ASSERT_TRUE(Reg.CreateKey(Path, KEY_WRITE | KEY_WOW64_64KEY)->WriteString("Path", "D:\\X\\"));
    EXPECT_EQ(ReadProductValue(Reg, Product, "Path"), "D:\\X\\");
    WriteProductValue(Reg, Product, "Port", "8443");
    EXPECT_EQ(ReadProductValue(Reg, Product, "Port"), "8443");
    EXPECT_EQ(ReadProductValue(Reg, Product, "Missing"), "");
    EXPECT_EQ(ReadProductValue(Reg, Product + "_none", "Path"), "");
}

TEST_F(Win32Registry, StringsRoundTripAndOtherTypesReadAsMissing) {
    auto key = Reg.CreateKey(Path, KEY_READ | KEY_WRITE);
    ASSERT_TRUE(key);
    const std::string text = "Gr\xc3\xb6\xc3\x9f"
                             "e \xe2\x82\xac";
    ASSERT_TRUE(key->WriteString("Text", text));
    ASSERT_TRUE(key->WriteString("Empty", ""));
    EXPECT_EQ(key->ReadString("Text"), text);
    EXPECT_EQ(key->ReadString("Empty"), "");
    EXPECT_TRUE(key->ValueExists("Text"));
    EXPECT_FALSE(key->ValueExists("None"));
    EXPECT_EQ(key->ReadString("None"), std::nullopt);

    HKEY raw = nullptr;
    ASSERT_EQ(
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(Path.substr(1)).c_str(), 0, KEY_SET_VALUE, &raw),
        ERROR_SUCCESS);
    DWORD number = 7;
    ::RegSetValueExW(raw, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                     sizeof number);
    const wchar_t expand[] = L"%WINDIR%\\x";
    ::RegSetValueExW(raw, L"Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand),
                     sizeof expand);
    // Stored without its terminator, as a careless writer may leave it.
    const wchar_t bare[] = {L'a', L'b', L'c'};
    ::RegSetValueExW(raw, L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(bare), sizeof bare);
    ::RegCloseKey(raw);
    EXPECT_EQ(key->ReadString("Number"), std::nullopt);
    EXPECT_EQ(key->ReadString("Expand"), "%WINDIR%\\x");
    EXPECT_EQ(key->ReadString("Bare"), "abc");
}

TEST_F(Win32Registry, AccessMaskIsPassedOn) {
    ASSERT_TRUE(Reg.CreateKey(Path, KEY_WRITE));
    auto readOnly = Reg.OpenKey(Path, KEY_QUERY_VALUE);
    ASSERT_TRUE(readOnly);
    EXPECT_FALSE(readOnly->WriteString("v", "x"));
    EXPECT_TRUE(Reg.KeyExists(Path, KEY_QUERY_VALUE));
    EXPECT_TRUE(Reg.KeyExists(Path.substr(1), KEY_QUERY_VALUE)) << "with or without leading \\";
    EXPECT_FALSE(Reg.OpenKey(Path + "\\Missing", KEY_READ));
}

} // namespace
