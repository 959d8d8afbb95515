#pragma once
// Lets messages from lower-integrity processes (the shell's taskbar message, WM_COMMAND)
// reach an elevated window. Stands for ChangeWindowMessageFilterEx (MSGFLT_ALLOW) or, where
// only that exists, ChangeWindowMessageFilter (MSGFLT_ADD).
#include <cstdint>

namespace cv {

enum class TMessageFilterCall : uint8_t { mfc_None, mfc_FilterEx, mfc_Filter };

// Allows WM_COMMAND, then `extraMessage`, for the window (an HWND). Results are ignored;
// returns which entry point was used. The entry points are looked up once, at first use.
TMessageFilterCall AllowElevatedMessages(uintptr_t window, uint32_t extraMessage);

} // namespace cv
