// A stand-in for the runtime, built as "Adobe AIR.dll": it exports the two runtime functions an extension
// imports, over a small object model, and offers its host the calls that drive an extension the way the
// runtime does: load and initialize it, open contexts, call table functions by name, dispose, unload.
//
// It also keeps a few promises the real runtime does not make, so that faults in an extension show:
// arguments end right before an inaccessible page, the stack below a call is scribbled over before the
// call, and every handle a function returns must be one the runtime made.
#pragma once

#include "NativeExtension.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace air {

// Result codes of this runtime's functions beside FRE_OK; an extension need not tell them apart. They are
// FREResult values, of the interface's 32-bit type whatever their range.
// NOLINTNEXTLINE(performance-enum-size): the interface fixes the size
enum : FREResult {
    invalidObject = 2,
    typeMismatch = 3,
    invalidArgument = 5,
    illegalState = 8,
    insufficientMemory = 9,
};

enum class Status : uint8_t {
    ok,
    moduleNotLoadable,  // lastError() holds the system's own text
    entryPointMissing,
    noExtension,  // nothing loaded
    alreadyLoaded,
    noSuchContext,
    noSuchFunction,
    tooManyArguments,  // more than fit before the inaccessible page
    invalidResult,     // the function returned a handle this runtime never made
};

enum class Kind : uint8_t { none, integer, boolean, string };

// --- Objects. They live until the extension is unloaded. ---
AIR_RUNTIME_API FREObject newInt(int32_t value);
AIR_RUNTIME_API FREObject newBool(bool value);
// A value that never converts to an integer (an integer or a Boolean does: true to 1, false to 0).
AIR_RUNTIME_API FREObject newString(const char* value);
// Kind::none for the null handle and for any handle this runtime did not make.
AIR_RUNTIME_API Kind kindOf(FREObject object);
AIR_RUNTIME_API int32_t intOf(FREObject object);
AIR_RUNTIME_API bool boolOf(FREObject object);

// --- The extension's lifecycle. ---
// Loads the module, finds both entry points by name and calls the initializer once.
AIR_RUNTIME_API Status loadExtension(const wchar_t* path, const char* initializerName, const char* finalizerName);
// Disposes every open context, calls the extension finalizer and unloads the module, whatever they report;
// returns the first failure among them.
AIR_RUNTIME_API Status unloadExtension();
AIR_RUNTIME_API HMODULE extensionModule();
// What went wrong in the last failed call, in words.
AIR_RUNTIME_API const char* lastError();

AIR_RUNTIME_API Status createContext(const char* contextType, FREContext* context);
// The context is gone afterwards, whatever its finalizer did.
AIR_RUNTIME_API Status disposeContext(FREContext context);
AIR_RUNTIME_API uint32_t functionCount(FREContext context);
// The name of row `index` of the context's table, or nullptr past its end.
AIR_RUNTIME_API const char* functionName(FREContext context, uint32_t index);
// The function data of row `index`, as the context initializer handed it over.
AIR_RUNTIME_API void* functionData(FREContext context, uint32_t index);

// Calls the table function `name` with `argumentCount` arguments. A null `arguments` is passed on as null
// whatever the count; otherwise the function sees a copy that ends right before an inaccessible page.
AIR_RUNTIME_API Status call(FREContext context, const char* name, uint32_t argumentCount, const FREObject* arguments,
                            FREObject* result);

// --- What the extension asked of the runtime during the last call, in order. ---
struct Request {
    enum class Function : uint8_t { getObjectAsInt32, newObjectFromBool } function;
    FREObject object;  // the object asked about, or the object made
    uint32_t value;    // the Boolean's value, for newObjectFromBool
    FREResult result;
};
AIR_RUNTIME_API uint32_t requestCount();
AIR_RUNTIME_API Request request(uint32_t index);

// While set, FRENewObjectFromBool fails with insufficientMemory and writes nothing.
AIR_RUNTIME_API void failNewObjectFromBool(bool fail);

}  // namespace air
