// What this runtime exchanges with a native extension, as the runtime sees it: the handle and result types, the
// named-function record, the four callback shapes it calls with the C calling convention, and the two functions
// it exports. An extension declares the same interface on its own side; the runtime never borrows an
// extension's declarations, so an extension that gets a shape, a layout or a value wrong disagrees with this
// runtime as it would with the real one, instead of agreeing with itself.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef AIR_RUNTIME_BUILD
#define AIR_RUNTIME_API __declspec(dllexport)
#else
#define AIR_RUNTIME_API __declspec(dllimport)
#endif

extern "C" {

// Opaque handle to a value; the null handle means "no value".
using FREObject = void*;

// Opaque handle of one extension context.
using FREContext = void*;

// Result code of the two exported functions; FRE_OK is success. The codes are values of this 32-bit type,
// whatever their range: a narrower enumeration would not be it.
using FREResult = int32_t;
enum : FREResult { FRE_OK = 0 };  // NOLINT(performance-enum-size): the interface fixes the size

using FREFunction = FREObject(__cdecl*)(FREContext context, void* functionData, uint32_t argumentCount,
                                        FREObject arguments[]);

// One row of the table a context initializer hands over.
struct FRENamedFunction {
    const char* name;
    void* functionData;
    FREFunction function;
};

using FREContextInitializer = void(__cdecl*)(void* extensionData, const char* contextType, FREContext context,
                                             uint32_t* functionCount, const FRENamedFunction** functions);
using FREContextFinalizer = void(__cdecl*)(FREContext context);
using FREInitializer = void(__cdecl*)(void** extensionData, FREContextInitializer* contextInitializer,
                                      FREContextFinalizer* contextFinalizer);
using FREFinalizer = void(__cdecl*)(void* extensionData);

// On FRE_OK, *value holds the integer the object stands for: an int's value, or 1 or 0 for a Boolean.
AIR_RUNTIME_API FREResult __cdecl FREGetObjectAsInt32(FREObject object, int32_t* value);

// On FRE_OK, *object is a new Boolean: false for 0, true for any other value.
AIR_RUNTIME_API FREResult __cdecl FRENewObjectFromBool(uint32_t value, FREObject* object);

}  // extern "C"

// The published layout, at either width: every handle and every field of a row is one pointer wide, and the
// rows' fields come in this order.
static_assert(sizeof(FREObject) == sizeof(void*) && sizeof(FREContext) == sizeof(void*));
static_assert(sizeof(FREResult) == 4);
static_assert(offsetof(FRENamedFunction, name) == 0);
static_assert(offsetof(FRENamedFunction, functionData) == sizeof(void*));
static_assert(offsetof(FRENamedFunction, function) == 2 * sizeof(void*));
static_assert(sizeof(FRENamedFunction) == 3 * sizeof(void*));
