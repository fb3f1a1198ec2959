// The part of the runtime's native-extension interface that the extension is written against:
// the handle types, the callback shapes the extension implements and the two runtime functions it calls.
#pragma once

#include <stddef.h>
#include <stdint.h>

extern "C" {

// Opaque handle to an ActionScript value; the null handle means "no value".
typedef void* FREObject;

// Opaque handle of one extension context.
typedef void* FREContext;

// Result code of a runtime function. Only FRE_OK is ever told apart from the rest. The codes are values of the
// interface's 32-bit result type, whatever their range: a narrower enumeration would not be that type.
typedef int32_t FREResult;
enum : FREResult { FRE_OK = 0 };  // NOLINT(performance-enum-size): the interface fixes the size

typedef FREObject (*FREFunction)(FREContext context, void* functionData, uint32_t argumentCount, FREObject arguments[]);

// One row of the table a context initializer hands to the runtime.
struct FRENamedFunction {
    const char* name;
    void* functionData;
    FREFunction function;
};

typedef void (*FREContextInitializer)(void* extensionData, const char* contextType, FREContext context,
                                      uint32_t* functionCount, const FRENamedFunction** functions);
typedef void (*FREContextFinalizer)(FREContext context);
typedef void (*FREInitializer)(void** extensionData, FREContextInitializer* contextInitializer,
                               FREContextFinalizer* contextFinalizer);
typedef void (*FREFinalizer)(void* extensionData);

// On FRE_OK, *value holds the ActionScript integer.
FREResult FREGetObjectAsInt32(FREObject object, int32_t* value);

// On FRE_OK, *object is a new ActionScript Boolean: false for 0, true for 1.
FREResult FRENewObjectFromBool(uint32_t value, FREObject* object);

}  // extern "C"

// The runtime reads these by their published layout, at either width: every handle and every field of a row is
// one pointer wide, and the rows' fields come in this order.
static_assert(sizeof(FREObject) == sizeof(void*) && sizeof(FREContext) == sizeof(void*));
static_assert(sizeof(FREResult) == 4);
static_assert(offsetof(FRENamedFunction, name) == 0);
static_assert(offsetof(FRENamedFunction, functionData) == sizeof(void*));
static_assert(offsetof(FRENamedFunction, function) == 2 * sizeof(void*));
static_assert(sizeof(FRENamedFunction) == 3 * sizeof(void*));
