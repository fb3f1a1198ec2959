#include "ImportPatch.h"

#include <cstring>

namespace {

template <typename T>
T* at(HMODULE module, DWORD rva) {
    return reinterpret_cast<T*>(reinterpret_cast<unsigned char*>(module) + rva);
}

}  // namespace

void* patchImport(HMODULE module, const char* dllName, const char* functionName, void* replacement) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = at<const IMAGE_NT_HEADERS>(module, dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return nullptr;
    }
    for (auto* import = at<IMAGE_IMPORT_DESCRIPTOR>(module, directory.VirtualAddress); import->Name != 0; ++import) {
        if (_stricmp(at<const char>(module, import->Name), dllName) != 0) {
            continue;
        }
        auto* names = at<IMAGE_THUNK_DATA>(module, import->OriginalFirstThunk);
        auto* slots = at<IMAGE_THUNK_DATA>(module, import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const auto* byName = at<const IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData));
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), functionName) != 0) {
                continue;
            }
            // The loader may have left the table read-only once it was bound.
            DWORD previousProtection = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &previousProtection);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, previousProtection, &previousProtection);
            return previous;
        }
    }
    return nullptr;
}
