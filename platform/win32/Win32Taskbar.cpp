#include "Win32Taskbar.h"

#include "Win32MessageFilter.h"
#include "Win32Text.h"

#include <objbase.h>
#include <shobjidl.h>

#include <cstring>

namespace cv {
namespace win32 {
namespace {

constexpr int kLargestSide = 256;

// Deletes the bitmaps the icon was made from: CreateIconIndirect copies them.
class TBitmap {
public:
    explicit TBitmap(HBITMAP bitmap) : FBitmap(bitmap) {}
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    ~TBitmap() {
        if (FBitmap)
            ::DeleteObject(FBitmap);
    }
    HBITMAP Get() const { return FBitmap; }

private:
    HBITMAP FBitmap;
};

} // namespace

HICON CreateOverlayIcon(const TOverlayPicture& picture) {
    const int w = picture.Width, h = picture.Height;
    if (w <= 0 || h <= 0 || w > kLargestSide || h > kLargestSide ||
        picture.Pixels.size() != size_t(w) * size_t(h))
        return nullptr;

    BITMAPV5HEADER header{};
    header.bV5Size = sizeof(header);
    header.bV5Width = w;
    header.bV5Height = -h; // top-down, as the picture's rows
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    TBitmap colour(::CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(&header),
                                      DIB_RGB_COLORS, &bits, nullptr, 0));
    ::ReleaseDC(nullptr, screen);
    if (!colour.Get() || !bits)
        return nullptr;
    // 0xAARRGGBB in memory is B, G, R, A: the layout of a 32-bit bitmap row.
    std::memcpy(bits, picture.Pixels.data(), picture.Pixels.size() * sizeof(uint32_t));
    ::GdiFlush();

    // Monochrome rows are padded to 16 bits; a set bit is a transparent pixel.
    const int stride = ((w + 15) / 16) * 2;
    std::string mask(size_t(stride) * size_t(h), '\0');
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if ((picture.Pixels[size_t(y) * size_t(w) + size_t(x)] >> 24) != 0)
                continue;
            char& bits8 = mask[size_t(y) * size_t(stride) + size_t(x / 8)];
            bits8 = char(uint8_t(bits8) | (0x80 >> (x % 8)));
        }
    TBitmap monochrome(::CreateBitmap(w, h, 1, 1, mask.data()));
    if (!monochrome.Get())
        return nullptr;

    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = monochrome.Get();
    info.hbmColor = colour.Get();
    return ::CreateIconIndirect(&info);
}

} // namespace win32

TWin32Taskbar::~TWin32Taskbar() {
    Detach();
}

void TWin32Taskbar::Attach(uintptr_t window) {
    FWindow = reinterpret_cast<HWND>(window);
    FButtonMessage = ::RegisterWindowMessageW(L"TaskbarButtonCreated");
    if (FButtonMessage != 0)
        AllowElevatedMessages(window, FButtonMessage);
}

bool TWin32Taskbar::ButtonCreated(const void* nativeMessage) {
    const auto* message = static_cast<const MSG*>(nativeMessage);
    if (!message || !FWindow || FButtonMessage == 0 || message->message != FButtonMessage ||
        message->hwnd != FWindow)
        return false;
    // A new button (Explorer may have restarted): the old list belongs to the old one.
    ReleaseList();
    ITaskbarList4* list = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_ALL, IID_ITaskbarList4,
                                     reinterpret_cast<void**>(&list))) &&
        list) {
        // An object whose initialisation failed must not be used.
        if (SUCCEEDED(list->HrInit()))
            FList = list;
        else
            list->Release();
    }
    return true;
}

bool TWin32Taskbar::SetOverlay(const TOverlayPicture& picture, const std::string& description) {
    if (!FList)
        return false;
    HICON icon = win32::CreateOverlayIcon(picture);
    if (!icon)
        return false;
    // The button keeps its own copy of the icon.
    const bool set = SUCCEEDED(FList->SetOverlayIcon(FWindow, icon, win32::Widen(description).c_str()));
    ::DestroyIcon(icon);
    return set;
}

bool TWin32Taskbar::ClearOverlay() {
    return FList && SUCCEEDED(FList->SetOverlayIcon(FWindow, nullptr, nullptr));
}

void TWin32Taskbar::Detach() {
    ReleaseList();
    FWindow = nullptr;
}

void TWin32Taskbar::ReleaseList() {
    if (FList) {
        FList->Release();
        FList = nullptr;
    }
}

} // namespace cv
