// The taskbar overlay's backend on a real window, and the COM apartment the window's thread
// enters for it. Windows need a display; without one (no xvfb-run) those tests are skipped.
#include "platform/win32/Win32SystemInfo.h"
#include "platform/win32/Win32Taskbar.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace cv;

namespace {

TOverlayPicture Picture(int w, int h) {
    TOverlayPicture p;
    p.Width = w;
    p.Height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t alpha = x < 2 ? 0 : (y < h / 2 ? 0x80 : 0xFF);
            p.Pixels.push_back((alpha << 24) | (uint32_t((x * 13) & 0xFF) << 16) |
                               (uint32_t((y * 7) & 0xFF) << 8) | uint32_t((x + y) & 0xFF));
        }
    return p;
}

// A bitmap's pixels, top row first, as 32-bit values (0xAARRGGBB for the colour bitmap; the
// mask's set bits read as white).
std::vector<uint32_t> BitmapPixels(HBITMAP bitmap, int& w, int& h) {
    BITMAP described{};
    ::GetObjectW(bitmap, sizeof(described), &described);
    w = described.bmWidth;
    h = described.bmHeight;
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = w;
    format.bmiHeader.biHeight = -h;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(size_t(w) * size_t(h));
    HDC screen = ::GetDC(nullptr);
    const int rows = ::GetDIBits(screen, bitmap, 0, UINT(h), pixels.data(), &format, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    if (rows != h)
        pixels.clear();
    return pixels;
}

// A top-level window of this thread, in a single-threaded apartment, as the main window is.
class TaskbarOnAWindow : public ::testing::Test {
protected:
    void SetUp() override {
        FInApartment = FSystem.EnterComApartment();
        ASSERT_TRUE(FInApartment);
        FWindow = ::CreateWindowExW(0, L"STATIC", L"Vornix taskbar test", WS_OVERLAPPEDWINDOW, 0, 0,
                                    200, 100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        if (!FWindow)
            GTEST_SKIP() << "no window station with a display";
        ::ShowWindow(FWindow, SW_SHOWNORMAL);
    }
    void TearDown() override {
        FTaskbar.Detach();
        if (FWindow)
            ::DestroyWindow(FWindow);
        if (FInApartment)
            FSystem.LeaveComApartment();
    }
    MSG Message(UINT id, HWND window) const {
        MSG m{};
        m.hwnd = window;
        m.message = id;
        return m;
    }
    uintptr_t Handle() const { return reinterpret_cast<uintptr_t>(FWindow); }

    TWin32SystemInfo FSystem;
    bool FInApartment = false;
    HWND FWindow = nullptr;
    TWin32Taskbar FTaskbar;
};

TEST_F(TaskbarOnAWindow, ArmsOnlyOnTheButtonMessageForItsOwnWindow) {
    const UINT button = ::RegisterWindowMessageW(L"TaskbarButtonCreated");
    ASSERT_NE(button, 0u);
    MSG forUs = Message(button, FWindow);
    EXPECT_FALSE(FTaskbar.ButtonCreated(&forUs)) << "not attached yet";
    FTaskbar.Attach(Handle());
    HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                                   nullptr, ::GetModuleHandleW(nullptr), nullptr);
    const MSG ignored[] = {Message(WM_PAINT, FWindow), Message(button + 1, FWindow),
                           Message(button, other)};
    for (const MSG& m : ignored)
        EXPECT_FALSE(FTaskbar.ButtonCreated(&m)) << m.message;
    EXPECT_FALSE(FTaskbar.ButtonCreated(nullptr));
    EXPECT_TRUE(FTaskbar.ButtonCreated(&forUs));
    ::DestroyWindow(other);
}

TEST_F(TaskbarOnAWindow, SetsReplacesAndClearsTheOverlay) {
    FTaskbar.Attach(Handle());
    EXPECT_FALSE(FTaskbar.SetOverlay(Picture(16, 16), "Running")) << "no button yet";
    const MSG created = Message(::RegisterWindowMessageW(L"TaskbarButtonCreated"), FWindow);
    ASSERT_TRUE(FTaskbar.ButtonCreated(&created));
    const bool set = FTaskbar.SetOverlay(Picture(16, 16), "Running");
    if (!set && !FTaskbar.ClearOverlay())
        GTEST_SKIP() << "this system offers no taskbar list object (CLSID_TaskbarList)";
    EXPECT_TRUE(set);
    EXPECT_TRUE(FTaskbar.SetOverlay(Picture(16, 16), "Stopped")) << "replacing it";
    EXPECT_TRUE(FTaskbar.ClearOverlay());
    // The button made again (Explorer restarted): a fresh list, the overlay set anew.
    ASSERT_TRUE(FTaskbar.ButtonCreated(&created));
    EXPECT_TRUE(FTaskbar.SetOverlay(Picture(16, 16), "Running"));
    EXPECT_FALSE(FTaskbar.SetOverlay(Picture(0, 0), "nothing to show"));
    FTaskbar.Detach();
    EXPECT_FALSE(FTaskbar.SetOverlay(Picture(16, 16), "Running")) << "detached";
    EXPECT_FALSE(FTaskbar.ClearOverlay());
}

TEST(Win32OverlayIcon, CarriesThePicturesPixelsAndAlpha) {
    for (const auto& [w, h] : {std::pair{16, 16}, std::pair{20, 20}, std::pair{32, 24}}) {
        const TOverlayPicture picture = Picture(w, h);
        HICON icon = win32::CreateOverlayIcon(picture);
        ASSERT_NE(icon, nullptr) << w << "x" << h;
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        int cw = 0, ch = 0, mw = 0, mh = 0;
        const std::vector<uint32_t> colour = BitmapPixels(info.hbmColor, cw, ch);
        const std::vector<uint32_t> mask = BitmapPixels(info.hbmMask, mw, mh);
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        ::DestroyIcon(icon);
        EXPECT_EQ(cw, w);
        EXPECT_EQ(ch, h);
        EXPECT_EQ(colour, picture.Pixels) << w << "x" << h;
        // Drawn without alpha, the mask alone keeps the transparent pixels out.
        ASSERT_EQ(mask.size(), picture.Pixels.size());
        for (size_t i = 0; i < mask.size(); ++i)
            EXPECT_EQ((mask[i] & 0xFFFFFF) != 0, (picture.Pixels[i] >> 24) == 0) << "pixel " << i;
    }
}

TEST(Win32OverlayIcon, RefusesPicturesItCannotMake) {
    TOverlayPicture shortOfPixels = Picture(16, 16);
    shortOfPixels.Pixels.pop_back();
    const TOverlayPicture refused[] = {Picture(0, 16), Picture(16, 0), Picture(257, 16),
                                       shortOfPixels, TOverlayPicture{-1, -1, {}}};
    for (const TOverlayPicture& p : refused)
        EXPECT_EQ(win32::CreateOverlayIcon(p), nullptr) << p.Width << "x" << p.Height;
}

TEST(Win32ComApartment, EnteredTwiceLeftTwiceAndNeverOnAThreadOfTheOtherKind) {
    TWin32SystemInfo system;
    std::atomic<int> entered{-1}, again{-1}, refused{-1};
    std::thread([&] {
        entered = system.EnterComApartment();
        again = system.EnterComApartment(); // already in it: still to be left once more
        system.LeaveComApartment();
        system.LeaveComApartment();
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        refused = system.EnterComApartment(); // the window must then not leave it
        ::CoUninitialize();
    }).join();
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(again, 1);
    EXPECT_EQ(refused, 0);
}

} // namespace
