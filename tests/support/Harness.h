// The built extension, loaded from the directory this test program runs in through the stand-in runtime,
// exactly as an application's runtime would load it.
#pragma once

#include <initializer_list>
#include <string>

#include "Runtime.h"

// The full path of a file that sits beside this program.
std::wstring besideThisProgram(const wchar_t* fileName);
// The same path in the ANSI code page, for the C++ library's file streams.
std::string narrowPath(const std::wstring& path);

struct Outcome {
    air::Status status;
    FREObject result;
};

// Loads VelmorantUtils.dll (or another extension beside this program) on construction and unloads it on
// destruction, so every instance starts from the module's load-time state. With `fakeSystem` its USER32
// imports answer from fakeUser32().
class LoadedExtension {
public:
    explicit LoadedExtension(bool fakeSystem, const wchar_t* fileName = L"VelmorantUtils.dll");
    ~LoadedExtension();
    LoadedExtension(const LoadedExtension&) = delete;
    LoadedExtension& operator=(const LoadedExtension&) = delete;

    bool loaded() const { return loaded_; }
    FREContext open(const char* contextType = "");
    void unload();

private:
    bool loaded_ = false;
};

// Calls a table function with integer arguments.
Outcome callWithInts(FREContext context, const char* name, std::initializer_list<int32_t> arguments);
// Calls a table function with the given handles; a null `arguments` is passed on as null.
Outcome callWithObjects(FREContext context, const char* name, uint32_t count, const FREObject* arguments);

bool isTrue(FREObject object);
bool isFalse(FREObject object);
