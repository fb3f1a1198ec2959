// An extension that does nothing, built with the product's own compile and link options: the baseline that
// tells the runtime's and the loader's share of a call or a load from VelmorantUtils.dll's own.
#include "RuntimeInterface.h"

namespace {

FREObject nothing(FREContext, void*, uint32_t, FREObject[]) { return nullptr; }

// The product's names in the product's order, so that finding a row by name and copying the arguments cost
// here exactly what they cost for the product, and only the function bodies differ.
constexpr FRENamedFunction emptyFunctions[] = {
    {"as_setKeyboardSpeed", nullptr, nothing},
    {"as_restoreKeyboardSpeed", nullptr, nothing},
    {"as_setScreenResolution", nullptr, nothing},
    {"as_restoreScreenResolution", nullptr, nothing},
};

void ContextInitializer(void*, const char*, FREContext, uint32_t* functionCount, const FRENamedFunction** functions) {
    *functionCount = sizeof emptyFunctions / sizeof emptyFunctions[0];
    *functions = emptyFunctions;
}

void ContextFinalizer(FREContext) {}

}  // namespace

extern "C" __declspec(dllexport) void ExtensionInitializer(void**, FREContextInitializer* contextInitializer,
                                                           FREContextFinalizer* contextFinalizer) {
    *contextInitializer = ContextInitializer;
    *contextFinalizer = ContextFinalizer;
}

extern "C" __declspec(dllexport) void ExtensionFinalizer(void*) {}
