// What the built file itself promises an application: its name, its two exports, exactly five imports and no
// runtime DLL, no entry point, the hardening flags, its version, unwind data on x64, and a function table and
// an import address table that cannot be written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

#include "Harness.h"
#include "PeImage.h"

// After windows.h, which Harness.h brings in.
#include <winver.h>

namespace {

// The module this build made, beside this program; or, with VELMORANT_MODULE set to a path, another build's
// file, so that a machine that cannot run 32-bit programs still checks the 32-bit file with the 64-bit tests.
// The file's own width then decides what it must be, and the tests that load it are skipped.
std::wstring modulePath() {
    const wchar_t* given = _wgetenv(L"VELMORANT_MODULE");
    return given != nullptr && *given != L'\0' ? given : besideThisProgram(L"VelmorantUtils.dll");
}

bool checkingAnotherBuild() { return modulePath() != besideThisProgram(L"VelmorantUtils.dll"); }

class Module : public testing::Test {
protected:
    static void SetUpTestSuite() { image = readPeImage(narrowPath(modulePath())); }
    void SetUp() override { ASSERT_TRUE(image.valid) << image.problem; }

    static PeImage image;
};

PeImage Module::image;

#ifdef _WIN64
constexpr uint16_t thisBuildsMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr uint16_t thisBuildsMachine = IMAGE_FILE_MACHINE_I386;
#endif

TEST_F(Module, IsADllForThisBuildsProcessorNamedVelmorantUtils) {
    const uint16_t expectedMachine = !checkingAnotherBuild() ? thisBuildsMachine
                                     : image.is64Bit         ? IMAGE_FILE_MACHINE_AMD64
                                                             : IMAGE_FILE_MACHINE_I386;
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
    if (image.is64Bit) {
        EXPECT_TRUE(image.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA);
    } else {
        EXPECT_TRUE(image.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_NO_SEH);
    }
    EXPECT_FALSE(image.fileCharacteristics & IMAGE_FILE_RELOCS_STRIPPED);
    EXPECT_GT(image.baseRelocationSize, 0u) << "relocations are what lets the loader move the module";
}

TEST_F(Module, HoldsNoInitializedWritableData) {
    for (const PeSection& section : image.sections) {
        if (section.writable()) {
            EXPECT_EQ(section.rawSize, 0u)
                << section.name << " is writable and initialized: the module's state must be "
                << "zero-initialized, and the import address table read-only";
        }
    }
}

TEST_F(Module, KeepsTheImportTablesInAReadOnlySection) {
    for (const uint32_t rva : {image.importTableRva, image.importAddressTableRva}) {
        const PeSection* section = image.sectionAt(rva);
        ASSERT_NE(section, nullptr);
        EXPECT_FALSE(section->writable()) << section->name;
    }
}

// Read as Windows reads it for the file's properties, installers and crash reports.
TEST_F(Module, CarriesTheProjectsVersion) {
    EXPECT_EQ(image.fileVersion, VELMORANT_VERSION ".0");

    const std::wstring path = modulePath();
    std::vector<unsigned char> data(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_FALSE(data.empty()) << "no version resource";
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
    const std::pair<const wchar_t*, const wchar_t*> expected[] = {
        {L"FileVersion", L"" VELMORANT_VERSION},
        {L"ProductVersion", L"" VELMORANT_VERSION},
        {L"ProductName", L"VelmorantUtils"},
        {L"OriginalFilename", L"VelmorantUtils.dll"},
        {L"LegalCopyright", L"Copyright (c) 2026 The VelmorantUtils authors"},
    };
    for (const auto& [name, value] : expected) {
        void* text = nullptr;
        UINT length = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(VerQueryValueW(data.data(), query.c_str(), &text, &length)) << narrowPath(name);
        EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(text)), value) << narrowPath(name);
    }
}

TEST_F(Module, FitsInItsSizeBudget) { EXPECT_LE(image.fileSize, image.is64Bit ? 5120u : 4608u); }

// Loads the module through the stand-in runtime and names the code an application's process runs in it: the
// two entry points and the four table functions.
class LoadedModule : public Module {
protected:
    void SetUp() override {
        Module::SetUp();
        if (checkingAnotherBuild()) {
            GTEST_SKIP() << "another build's module is checked as a file only";
        }
        ASSERT_TRUE(extension.loaded());
        module = air::extensionModule();
        for (const char* name : {"ExtensionInitializer", "ExtensionFinalizer"}) {
            code.emplace_back(name, reinterpret_cast<const void*>(GetProcAddress(module, name)));
        }
        auto initializer = reinterpret_cast<FREInitializer>(
            reinterpret_cast<void (*)()>(GetProcAddress(module, "ExtensionInitializer")));
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

    uint32_t rvaOf(const void* place) const {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(place) - reinterpret_cast<uintptr_t>(module));
    }

    LoadedExtension extension{false};
    HMODULE module = nullptr;
    uint32_t count = 0;
    const FRENamedFunction* table = nullptr;
    std::vector<std::pair<std::string, const void*>> code;
};

// Once the loader has bound the imports, no write, stray or deliberate, can redirect a call to the system
// or to the runtime.
TEST_F(LoadedModule, ImportAddressTableIsReadOnlyOnceBound) {
    ASSERT_GT(image.importAddressTableSize, 0u);
    const auto* first = reinterpret_cast<const unsigned char*>(module) + image.importAddressTableRva;
    for (const unsigned char* place = first; place < first + image.importAddressTableSize;) {
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
    ASSERT_NE(image.exceptionTableRva, 0u) << "no exception directory";
    ASSERT_EQ(code.size(), 6u);
    for (const auto& [name, address] : code) {
        EXPECT_NE(image.functionAt(rvaOf(address)), nullptr) << name << " has no entry in the file's function table";
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
        const PeSection* section = image.sectionAt(rvaOf(place));
        ASSERT_NE(section, nullptr);
        EXPECT_FALSE(section->writable()) << "table data in writable section " << section->name;
        MEMORY_BASIC_INFORMATION memory{};
        ASSERT_NE(VirtualQuery(place, &memory, sizeof memory), 0u);
        EXPECT_EQ(memory.Protect, static_cast<DWORD>(PAGE_READONLY)) << "in section " << section->name;
    }
}

}  // namespace
