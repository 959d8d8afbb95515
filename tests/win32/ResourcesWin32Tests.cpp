// The program's Windows resources as the system reads them: the manifest through an activation
// context, the version information through the version functions, the icon group by its
// entries. The probe program beside this test carries the same compiled resources.
#include "ControlVersion.h"
#include "Win32TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

std::wstring ProbePath() {
    std::wstring own = cvtest::OwnModulePath();
    return own.substr(0, own.find_last_of(L"\\/") + 1) + L"control_resources_probe.exe";
}

// The probe loaded for its resources only: nothing of it runs.
class ProbeResources : public ::testing::Test {
protected:
    void SetUp() override {
        FModule = ::LoadLibraryExW(ProbePath().c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(FModule, nullptr) << "cannot load " << cv::win32::Narrow(ProbePath());
    }
    void TearDown() override {
        if (FModule)
            ::FreeLibrary(FModule);
    }
    std::string Resource(const wchar_t* name, const wchar_t* type) const {
        HRSRC found = ::FindResourceW(FModule, name, type);
        if (!found)
            return {};
        HGLOBAL loaded = ::LoadResource(FModule, found);
        const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
        return bytes ? std::string(static_cast<const char*>(bytes), ::SizeofResource(FModule, found))
                     : std::string();
    }
    HMODULE FModule = nullptr;
};

// The manifest's activation context, as the loader makes it when the program starts.
class ManifestContext {
public:
    ManifestContext() {
        const std::wstring path = ProbePath();
        ACTCTXW context{};
        context.cbSize = sizeof(context);
        context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.lpSource = path.c_str();
        context.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
        FHandle = ::CreateActCtxW(&context);
    }
    ~ManifestContext() {
        if (FHandle != INVALID_HANDLE_VALUE)
            ::ReleaseActCtx(FHandle);
    }
    HANDLE Get() const { return FHandle; }

private:
    HANDLE FHandle = INVALID_HANDLE_VALUE;
};

TEST_F(ProbeResources, ManifestAsksForAdministratorRightsAndIsValid) {
    ASSERT_FALSE(Resource(CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST).empty());
    ManifestContext context; // the side-by-side parser refuses a malformed manifest
    ASSERT_NE(context.Get(), INVALID_HANDLE_VALUE) << "error " << ::GetLastError();
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
    ASSERT_TRUE(::QueryActCtxW(0, context.Get(), nullptr, RunlevelInformationInActivationContext,
                               &level, sizeof(level), nullptr));
    EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
    EXPECT_EQ(level.UiAccess, 0u);
}

TEST_F(ProbeResources, ManifestAsksForPerMonitorDpiAwareness) {
    ManifestContext context;
    ASSERT_NE(context.Get(), INVALID_HANDLE_VALUE);
    const struct {
        const wchar_t* space;
        const wchar_t* name;
        const wchar_t* value;
    } settings[] = {
        {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness", L"PerMonitorV2, PerMonitor"},
        {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", L"true/pm"},
    };
    for (const auto& s : settings) {
        wchar_t value[64] = {};
        SIZE_T written = 0;
        ASSERT_TRUE(::QueryActCtxSettingsW(0, context.Get(), s.space, s.name, value,
                                           sizeof(value) / sizeof(value[0]), &written))
            << cv::win32::Narrow(s.name) << ": error " << ::GetLastError();
        EXPECT_EQ(std::wstring(value), s.value);
    }
}

TEST_F(ProbeResources, ManifestBindsVersion6OfTheCommonControls) {
    ManifestContext context;
    ASSERT_NE(context.Get(), INVALID_HANDLE_VALUE);
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(::ActivateActCtx(context.Get(), &cookie));
    // Inside the context the loader takes the library from the side-by-side assembly the
    // manifest names, version 6 (DllGetVersion cannot tell: Wine's answers 5 from there too).
    HMODULE controls = ::LoadLibraryW(L"comctl32.dll");
    ::DeactivateActCtx(0, cookie);
    ASSERT_NE(controls, nullptr);
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(controls, path, MAX_PATH);
    std::string lower = cv::win32::Narrow(path);
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(lower.find("\\winsxs\\"), std::string::npos) << lower;
    EXPECT_NE(lower.find("microsoft.windows.common-controls_6595b64144ccf1df_6."), std::string::npos)
        << lower;
    ::FreeLibrary(controls);
}

TEST_F(ProbeResources, VersionInformationNamesTheProgramAndItsVersion) {
    const std::wstring path = ProbePath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD(MAKELONG(CV_VERSION_MINOR, CV_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(MAKELONG(0, CV_VERSION_PATCH)));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
    const struct {
        const wchar_t* name;
        const char* value;
    } strings[] = {
        {L"ProductName", "Vornix Control Panel"},
        {L"FileDescription", "Vornix Control Panel"},
        {L"CompanyName", "Vekta"},
        {L"OriginalFilename", "VornixControlPanel.exe"},
        {L"FileVersion", CV_VERSION_TEXT},
        {L"ProductVersion", CV_VERSION_TEXT},
    };
    for (const auto& s : strings) {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + s.name;
        wchar_t* value = nullptr;
        ASSERT_TRUE(::VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
            << cv::win32::Narrow(s.name);
        EXPECT_EQ(cv::win32::Narrow(value), s.value);
    }
}

TEST_F(ProbeResources, IconGroupHoldsEverySizeAndLoads) {
    // The group's directory: a 6-byte header, then 14-byte entries whose first byte is the
    // width (0 for 256).
    const std::string group = Resource(L"IDI_ICON1", RT_GROUP_ICON);
    ASSERT_GE(group.size(), 6u);
    const size_t count = uint8_t(group[4]) | (uint8_t(group[5]) << 8);
    ASSERT_EQ(group.size(), 6 + 14 * count);
    std::vector<int> widths;
    for (size_t i = 0; i < count; ++i)
        widths.push_back(uint8_t(group[6 + 14 * i]) == 0 ? 256 : uint8_t(group[6 + 14 * i]));
    EXPECT_EQ(widths, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 256}));

    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(::LoadImageW(FModule, L"IDI_ICON1", IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        BITMAP colour{};
        ASSERT_NE(info.hbmColor, nullptr);
        ::GetObjectW(info.hbmColor, sizeof(colour), &colour);
        EXPECT_EQ(colour.bmWidth, size);
        EXPECT_EQ(colour.bmHeight, size);
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        ::DestroyIcon(icon);
    }
}

} // namespace
