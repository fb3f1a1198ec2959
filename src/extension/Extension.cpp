#include "KeyboardSpeed.h"
#include "ScreenResolution.h"
#include "VelmorantUtils.h"

namespace {

// Complete at build time and never written, so it lies in a read-only section, and every context,
// whatever its type, can be handed the same rows for as long as the module is loaded.
constexpr FRENamedFunction extensionFunctions[] = {
    {"as_setKeyboardSpeed", nullptr, as_setKeyboardSpeed},
    {"as_restoreKeyboardSpeed", nullptr, as_restoreKeyboardSpeed},
    {"as_setScreenResolution", nullptr, as_setScreenResolution},
    {"as_restoreScreenResolution", nullptr, as_restoreScreenResolution},
};

void ContextInitializer(void*, const char*, FREContext, uint32_t* functionCount, const FRENamedFunction** functions) {
    *functionCount = sizeof extensionFunctions / sizeof extensionFunctions[0];
    *functions = extensionFunctions;
}

// The state of both controls belongs to the module, so a context has nothing to release.
void ContextFinalizer(FREContext) {}

}  // namespace

extern "C" void ExtensionInitializer(void**, FREContextInitializer* contextInitializer,
                                     FREContextFinalizer* contextFinalizer) {
    *contextInitializer = ContextInitializer;
    *contextFinalizer = ContextFinalizer;
}

extern "C" void ExtensionFinalizer(void*) {}
