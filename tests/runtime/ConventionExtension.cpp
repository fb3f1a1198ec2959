// A test extension in which one function of each kind the runtime calls is also built __stdcall, so that it
// removes its own arguments: the table row "calleeCleans", the context initializer and finalizer handed over by
// two extension initializers of their own, and a pair of entry points. Everything else uses the C convention.
// On x64 __stdcall means nothing, and every function here is an ordinary one.
#include "NativeExtension.h"

namespace {

// How a function of another convention gets handed to the runtime at all: this cast is the slip under test.
template <typename Shape, typename Function>
Shape handedOverAs(Function function) {
    return reinterpret_cast<Shape>(reinterpret_cast<void (*)()>(function));
}

FREObject callerCleans(FREContext, void*, uint32_t, FREObject[]) { return nullptr; }
FREObject __stdcall calleeCleans(FREContext, void*, uint32_t, FREObject[]) { return nullptr; }

// Filled by the context initializer: a module without a C runtime runs no initialization code of its own.
FRENamedFunction rows[2];

void contextInitializer(void*, const char*, FREContext, uint32_t* functionCount, const FRENamedFunction** functions) {
    rows[0] = {"callerCleans", nullptr, callerCleans};
    rows[1] = {"calleeCleans", nullptr, handedOverAs<FREFunction>(calleeCleans)};
    *functionCount = 2;
    *functions = rows;
}
void __stdcall calleeCleansContextInitializer(void* extensionData, const char* contextType, FREContext context,
                                              uint32_t* functionCount, const FRENamedFunction** functions) {
    contextInitializer(extensionData, contextType, context, functionCount, functions);
}

void contextFinalizer(FREContext) {}
void __stdcall calleeCleansContextFinalizer(FREContext) {}

}  // namespace

// Exported undecorated (the link kills the @N of the __stdcall names), as the runtime looks them up.
extern "C" {

__declspec(dllexport) void ExtensionInitializer(void**, FREContextInitializer* initializer,
                                                FREContextFinalizer* finalizer) {
    *initializer = contextInitializer;
    *finalizer = contextFinalizer;
}

__declspec(dllexport) void ExtensionFinalizer(void*) {}

__declspec(dllexport) void __stdcall CalleeCleansInitializer(void** extensionData, FREContextInitializer* initializer,
                                                             FREContextFinalizer* finalizer) {
    ExtensionInitializer(extensionData, initializer, finalizer);
}

__declspec(dllexport) void __stdcall CalleeCleansFinalizer(void*) {}

__declspec(dllexport) void InitializerOfCalleeCleansContextInitializer(void**, FREContextInitializer* initializer,
                                                                       FREContextFinalizer* finalizer) {
    *initializer = handedOverAs<FREContextInitializer>(calleeCleansContextInitializer);
    *finalizer = contextFinalizer;
}

__declspec(dllexport) void InitializerOfCalleeCleansContextFinalizer(void**, FREContextInitializer* initializer,
                                                                     FREContextFinalizer* finalizer) {
    *initializer = contextInitializer;
    *finalizer = handedOverAs<FREContextFinalizer>(calleeCleansContextFinalizer);
}

}  // extern "C"
