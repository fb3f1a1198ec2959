// Redirects a loaded module's imported function to another address by rewriting its import address table.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Returns the address the slot held before, or nullptr when the module imports no such function.
void* patchImport(HMODULE module, const char* dllName, const char* functionName, void* replacement);
