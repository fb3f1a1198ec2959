#include "KeyboardSpeed.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

// Set by the first change whose argument converts and whose speed query succeeds, and never cleared, so that
// every restore goes back to the speed that was in force before this module first changed it.
int32_t keyboardSpeedSaved;
int32_t savedKeyboardSpeed;

// Written to the user's profile, so the speed last set outlives the process; no settings-change notice
// is broadcast. The system's answer is not reported to the caller.
void applyKeyboardSpeed(int32_t speed) {
    int32_t unused = 0;
    SystemParametersInfoW(SPI_SETKEYBOARDSPEED, static_cast<UINT>(speed), &unused, SPIF_UPDATEINIFILE);
}

}  // namespace

extern "C" FREObject as_setKeyboardSpeed(FREContext, void*, uint32_t argumentCount, FREObject arguments[]) {
    // An empty call reaches us as the runtime got it; reading a slot it did not pass could fault.
    if (arguments == nullptr || argumentCount < 1) {
        return nullptr;
    }
    int32_t speed = 0;
    if (FREGetObjectAsInt32(arguments[0], &speed) != FRE_OK) {
        return nullptr;
    }
    if (!keyboardSpeedSaved) {
        // A speed the system did not report must never be captured: every restore writes the captured speed
        // into the user's profile. Without a capture there is nothing to restore to, so nothing is changed.
        int32_t current = 0;
        if (!SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &current, SPIF_UPDATEINIFILE)) {
            return nullptr;
        }
        savedKeyboardSpeed = current;
        keyboardSpeedSaved = 1;
    }
    applyKeyboardSpeed(speed);
    return nullptr;
}

extern "C" FREObject as_restoreKeyboardSpeed(FREContext, void*, uint32_t, FREObject[]) {
    if (keyboardSpeedSaved) {
        applyKeyboardSpeed(savedKeyboardSpeed);
    }
    return nullptr;
}
