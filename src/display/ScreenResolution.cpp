#include "ScreenResolution.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static_assert(sizeof(DEVMODEW) == 220, "the display-mode record is used whole, with no driver-private bytes");

namespace {

// Set by the first switch whose current-mode query succeeds and never cleared, so that every restore goes
// back to the mode the display had before this module first touched it, however many switches follow.
int32_t displayModeSaved;
DEVMODEW savedDisplayMode;

// Flags 0: the mode is neither written to the stored display settings nor marked as temporary.
LONG applyDisplayMode(DEVMODEW* mode) { return ChangeDisplaySettingsExW(nullptr, mode, nullptr, 0, nullptr); }

}  // namespace

extern "C" FREObject as_setScreenResolution(FREContext, void*, uint32_t argumentCount, FREObject arguments[]) {
    // A short call reaches us as the runtime got it; reading a slot it did not pass could fault.
    if (arguments == nullptr || argumentCount < 2) {
        return nullptr;
    }
    int32_t width = 0;
    int32_t height = 0;
    if (FREGetObjectAsInt32(arguments[0], &width) != FRE_OK || FREGetObjectAsInt32(arguments[1], &height) != FRE_OK) {
        return nullptr;
    }

    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
        return nullptr;
    }
    // The capture comes before the attempt and stands even when the system refuses the new size.
    if (!displayModeSaved) {
        displayModeSaved = 1;
        savedDisplayMode = mode;
    }
    // Only the size changes: dmFields, depth, frequency and the rest are requested as the query reported them.
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    const LONG answer = applyDisplayMode(&mode);

    // Preset, so that a runtime that fails without writing its output can never make us return junk.
    FREObject accepted = nullptr;
    if (FRENewObjectFromBool(answer == DISP_CHANGE_SUCCESSFUL ? 1 : 0, &accepted) != FRE_OK) {
        return nullptr;
    }
    return accepted;
}

extern "C" FREObject as_restoreScreenResolution(FREContext, void*, uint32_t, FREObject[]) {
    if (displayModeSaved) {
        // Nothing to report to the caller if the system refuses its own earlier mode.
        applyDisplayMode(&savedDisplayMode);
    }
    return nullptr;
}
