// What the built file itself promises an application: its name, its two exports, exactly five imports and no
// runtime DLL, no entry point, the hardening flags and a table that cannot be written.
#include <gtest/gtest.h>

#include <set>

#include "Harness.h"
#include "PeImage.h"

namespace {

class Module : public testing::Test {
protected:
    static void SetUpTestSuite() { image = readPeImage(narrowPath(besideThisProgram(L"VelmorantUtils.dll"))); }
    void SetUp() override { ASSERT_TRUE(image.valid) << image.problem; }

    static PeImage image;
};

PeImage Module::image;

#ifdef _WIN64
constexpr uint16_t expectedMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr uint16_t expectedMachine = IMAGE_FILE_MACHINE_I386;
#endif

TEST_F(Module, IsADllForThisBuildsProcessorNamedVelmorantUtils) {
    EXPECT_EQ(image.machine, expectedMachine);
    EXPECT_TRUE(image.fileCharacteristics & IMAGE_FILE_DLL);
    EXPECT_EQ(image.exportName, "VelmorantUtils.dll");
}

TEST_F(Module, ExportsExactlyTheTwoEntryPointsAtOrdinalsOneAndTwo) {
    ASSERT_EQ(image.exports.size(), 2u);
    EXPECT_EQ(image.exports[0].ordinal, 1u);
    EXPECT_EQ(image.exports[0].name, "ExtensionFinalizer");
    EXPECT_EQ(image.exports[1].ordinal, 2u);
    EXPECT_EQ(image.exports[1].name, "ExtensionInitializer");
    for (const PeExport& entry : image.exports) {
        const PeSection* section = image.sectionAt(entry.rva);
        ASSERT_NE(section, nullptr) << entry.name << " is forwarded or points nowhere";
        EXPECT_TRUE(section->executable()) << entry.name;
    }
}

TEST_F(Module, ImportsTheFiveFunctionsAndNothingElse) {
    const std::map<std::string, std::vector<std::string>> expected = {
        {"Adobe AIR.dll", {"FREGetObjectAsInt32", "FRENewObjectFromBool"}},
        {"USER32.dll", {"ChangeDisplaySettingsExW", "EnumDisplaySettingsW", "SystemParametersInfoW"}},
    };
    std::map<std::string, std::vector<std::string>> sorted = image.imports;
    for (auto& [module, names] : sorted) {
        std::sort(names.begin(), names.end());
    }
    EXPECT_EQ(sorted, expected) << "a C or C++ runtime, libgcc, KERNEL32 or anything else must not be imported";
}

TEST_F(Module, HasNoEntryPointAndTheHardeningFlags) {
    EXPECT_EQ(image.entryPoint, 0u) << "the module must do no work when it is loaded or unloaded";
    EXPECT_TRUE(image.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(image.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
#ifdef _WIN64
    EXPECT_TRUE(image.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA);
#else
    EXPECT_TRUE(image.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_NO_SEH);
#endif
    EXPECT_FALSE(image.fileCharacteristics & IMAGE_FILE_RELOCS_STRIPPED);
    EXPECT_GT(image.baseRelocationSize, 0u) << "relocations are what lets the loader move the module";
}

TEST_F(Module, HoldsNoInitializedWritableDataButTheImportAddressTable) {
    for (const PeSection& section : image.sections) {
        if (!section.writable() || section.rawSize == 0) {
            continue;
        }
        EXPECT_TRUE(section.contains(image.importAddressTableRva) || section.contains(image.importTableRva))
            << section.name << " is writable and initialized: the module's state must be zero-initialized";
    }
}

#ifndef _WIN64
TEST_F(Module, FitsInFourKilobytes) { EXPECT_LE(image.fileSize, 4096u); }
#endif

// The table is checked where it lives once loaded: in a section the file marks read-only, on a page the
// loader mapped read-only, so no context, and no fault in one, can rewrite another context's functions.
TEST_F(Module, FunctionTableLiesInReadOnlyMemory) {
    HMODULE module = LoadLibraryW(besideThisProgram(L"VelmorantUtils.dll").c_str());
    ASSERT_NE(module, nullptr);
    auto initializer =
        reinterpret_cast<FREInitializer>(reinterpret_cast<void (*)()>(GetProcAddress(module, "ExtensionInitializer")));
    ASSERT_NE(initializer, nullptr);
    void* extensionData = nullptr;
    FREContextInitializer contextInitializer = nullptr;
    FREContextFinalizer contextFinalizer = nullptr;
    initializer(&extensionData, &contextInitializer, &contextFinalizer);
    uint32_t count = 0;
    const FRENamedFunction* table = nullptr;
    contextInitializer(nullptr, "", nullptr, &count, &table);
    ASSERT_EQ(count, 4u);

    const auto base = reinterpret_cast<uintptr_t>(module);
    std::set<const void*> places = {table, table + count - 1};
    for (uint32_t row = 0; row < count; ++row) {
        places.insert(table[row].name);
    }
    for (const void* place : places) {
        const auto rva = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(place) - base);
        const PeSection* section = image.sectionAt(rva);
        ASSERT_NE(section, nullptr);
        EXPECT_FALSE(section->writable()) << "table data in writable section " << section->name;
        MEMORY_BASIC_INFORMATION memory{};
        ASSERT_NE(VirtualQuery(place, &memory, sizeof memory), 0u);
        EXPECT_EQ(memory.Protect, static_cast<DWORD>(PAGE_READONLY)) << "in section " << section->name;
    }
    FreeLibrary(module);
}

}  // namespace
