// Setting the keyboard auto-repeat speed and putting back the speed captured before the first change.
#pragma once

#include "RuntimeInterface.h"

extern "C" {

// Argument: the new speed, passed to the system unchanged and written to the user's profile.
// Returns the null handle.
FREObject as_setKeyboardSpeed(FREContext context, void* functionData, uint32_t argumentCount, FREObject arguments[]);

// Sets the speed captured by the first change again, if there was one. Returns the null handle.
FREObject as_restoreKeyboardSpeed(FREContext context, void* functionData, uint32_t argumentCount,
                                  FREObject arguments[]);

}  // extern "C"
