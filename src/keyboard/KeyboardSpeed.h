// Setting the keyboard auto-repeat speed and putting back the speed captured before the first change.
#pragma once

#include "RuntimeInterface.h"

extern "C" {

// Argument: the new speed, passed to the system unchanged and written to the user's profile. The first call
// whose argument converts captures the current speed first; when the system cannot report it, the call
// captures nothing and sets nothing, and the next call tries again. Returns the null handle.
FREObject as_setKeyboardSpeed(FREContext context, void* functionData, uint32_t argumentCount, FREObject arguments[]);

// Sets the speed captured by the first change again, if there was one. Returns the null handle.
FREObject as_restoreKeyboardSpeed(FREContext context, void* functionData, uint32_t argumentCount,
                                  FREObject arguments[]);

}  // extern "C"
