#include "ScreenResolution.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static_assert(sizeof(DEVMODEW) == 220, "the display-mode record is used whole, with no driver-private bytes");

namespace {

// Set by the first switch whose current-mode query succeeds and never cleared, so that every restore goes
// back to the mode the display had before this module first touched it, however many switches follow.
int32_t displayModeSaved;
DEVMODEW savedDisplayMode;

// Never CDS_UPDATEREGISTRY: the mode is not written to the stored display settings. CDS_FULLSCREEN marks it
// temporary: Windows drops it at a desktop switch and, as observed though not documented, puts the stored mode
// back when this process ends, however it ends.
LONG applyDisplayMode(DEVMODEW* mode, DWORD flags) {
    return ChangeDisplaySettingsExW(nullptr, mode, nullptr, flags, nullptr);
}

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
    // An optional third argument: 1 asks for a temporary switch, 0 for the lasting one two arguments make.
    // Anything else is as malformed as a width that is not an integer, and is refused before any system call.
    int32_t temporary = 0;
    if (argumentCount > 2 &&
        (FREGetObjectAsInt32(arguments[2], &temporary) != FRE_OK || static_cast<uint32_t>(temporary) > 1)) {
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
    const LONG answer = applyDisplayMode(&mode, temporary ? CDS_FULLSCREEN : 0);

    // Preset, so that a runtime that fails without writing its output can never make us return junk.
    FREObject accepted = nullptr;
    if (FRENewObjectFromBool(answer == DISP_CHANGE_SUCCESSFUL ? 1 : 0, &accepted) != FRE_OK) {
        return nullptr;
    }
    return accepted;
}

extern "C" FREObject as_restoreScreenResolution(FREContext, void*, uint32_t, FREObject[]) {
    if (displayModeSaved) {
        // Flags 0 whatever the switches used: the captured mode is the session's own. Nothing to report to the
        // caller if the system refuses its own earlier mode.
        applyDisplayMode(&savedDisplayMode, 0);
    }
    return nullptr;
}
