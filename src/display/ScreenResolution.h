// Switching the default display's resolution and putting back the mode captured before the first switch.
#pragma once

#include "RuntimeInterface.h"

extern "C" {

// Arguments: width, height and an optional temporary (0 or 1; 1 switches with CDS_FULLSCREEN). Keeps every
// other property of the current mode and returns true exactly when the system accepts the new mode, false when
// it refuses, and the null handle when the current mode cannot be read, the call is malformed or the result
// cannot be created.
FREObject as_setScreenResolution(FREContext context, void* functionData, uint32_t argumentCount, FREObject arguments[]);

// Applies the mode captured by the first switch again, if there was one. Returns the null handle.
FREObject as_restoreScreenResolution(FREContext context, void* functionData, uint32_t argumentCount,
                                     FREObject arguments[]);

}  // extern "C"
