// What the module is once an application's runtime has loaded it: a function table and an import address
// table that cannot be written, and on x64 unwind data the system finds for every function. Read from the
// loaded image's own headers; what the file itself holds is checked by check-module.py.
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "Harness.h"

namespace {

// Loads the module through the stand-in runtime and names the code an application's process runs in it: the
// two entry points and the four table functions.
class LoadedModule : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(extension.loaded());
        module = air::extensionModule();
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
        headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(module) + dos->e_lfanew);
        for (const char* name : {"ExtensionInitializer", "ExtensionFinalizer"}) {
            code.emplace_back(name, reinterpret_cast<const void*>(GetProcAddress(module, name)));
        }
        auto initializer = reinterpret_cast<FREInitializer>(reinterpret_cast<void (*)()>(code[0].second));
        ASSERT_NE(initializer, nullptr);
        void* extensionData = nullptr;
        FREContextInitializer contextInitializer = nullptr;
        FREContextFinalizer contextFinalizer = nullptr;
        initializer(&extensionData, &contextInitializer, &contextFinalizer);
        contextInitializer(nullptr, "", nullptr, &count, &table);
        ASSERT_EQ(count, 4u);
        for (uint32_t row = 0; row < count; ++row) {
            code.emplace_back(table[row].name, reinterpret_cast<const void*>(table[row].function));
        }
    }

    // The section of the loaded image that holds `place`, or nullptr.
    const IMAGE_SECTION_HEADER* sectionAt(const void* place) const {
        const auto rva = static_cast<DWORD>(reinterpret_cast<uintptr_t>(place) - reinterpret_cast<uintptr_t>(module));
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
        for (WORD i = 0; i < headers->FileHeader.NumberOfSections; ++i, ++section) {
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->Misc.VirtualSize) {
                return section;
            }
        }
        return nullptr;
    }

    LoadedExtension extension{false};
    HMODULE module = nullptr;
    const IMAGE_NT_HEADERS* headers = nullptr;
    uint32_t count = 0;
    const FRENamedFunction* table = nullptr;
    std::vector<std::pair<std::string, const void*>> code;
};

// Once the loader has bound the imports, no write, stray or deliberate, can redirect a call to the system
// or to the runtime.
TEST_F(LoadedModule, ImportAddressTableIsReadOnlyOnceBound) {
    const IMAGE_DATA_DIRECTORY& iat = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
    ASSERT_GT(iat.Size, 0u);
    const auto* first = reinterpret_cast<const unsigned char*>(module) + iat.VirtualAddress;
    for (const unsigned char* place = first; place < first + iat.Size;) {
        MEMORY_BASIC_INFORMATION memory{};
        ASSERT_NE(VirtualQuery(place, &memory, sizeof memory), 0u);
        EXPECT_EQ(memory.Protect, static_cast<DWORD>(PAGE_READONLY)) << "at offset " << place - first;
        place = static_cast<const unsigned char*>(memory.BaseAddress) + memory.RegionSize;
    }
}

#ifdef _WIN64
// The x64 ABI requires unwind data for every function that saves registers, allocates stack or calls out;
// without it an exception, a debugger or a crash dump cannot walk through the module's frames.
TEST_F(LoadedModule, EveryFunctionHasUnwindData) {
    ASSERT_EQ(code.size(), 6u);
    for (const auto& [name, address] : code) {
        DWORD64 base = 0;
        EXPECT_NE(RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(address), &base, nullptr), nullptr)
            << "the system finds no unwind data for " << name;
    }
}
#endif

// The table is checked where it lives once loaded: in a section the file marks read-only, on a page the
// loader mapped read-only, so no context, and no fault in one, can rewrite another context's functions.
TEST_F(LoadedModule, FunctionTableLiesInReadOnlyMemory) {
    std::set<const void*> places = {table, table + count - 1};
    for (uint32_t row = 0; row < count; ++row) {
        places.insert(table[row].name);
    }
    for (const void* place : places) {
        const IMAGE_SECTION_HEADER* section = sectionAt(place);
        ASSERT_NE(section, nullptr);
        EXPECT_FALSE(section->Characteristics & IMAGE_SCN_MEM_WRITE) << "table data in a writable section";
        MEMORY_BASIC_INFORMATION memory{};
        ASSERT_NE(VirtualQuery(place, &memory, sizeof memory), 0u);
        EXPECT_EQ(memory.Protect, static_cast<DWORD>(PAGE_READONLY));
    }
}

}  // namespace
