// VelmorantUtils.dll: the two entry points that the runtime looks up by name when it loads the extension.
#pragma once

#include "RuntimeInterface.h"

extern "C" {

// Hands the runtime the context initializer and finalizer; keeps no extension data.
void ExtensionInitializer(void** extensionData, FREContextInitializer* contextInitializer,
                          FREContextFinalizer* contextFinalizer);

// Does nothing: unloading the extension restores neither the display mode nor the keyboard speed.
void ExtensionFinalizer(void* extensionData);

}  // extern "C"
