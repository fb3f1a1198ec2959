// Reads a PE file's headers, sections, imports and exports from its bytes on disk, for checks and reports
// about what a build produced. Handles both 32-bit (PE32) and 64-bit (PE32+) modules.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct PeSection {
    std::string name;
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawSize;
    uint32_t characteristics;

    bool readable() const;
    bool writable() const;
    bool executable() const;
    bool contains(uint32_t rva) const { return rva >= virtualAddress && rva < virtualAddress + virtualSize; }
};

struct PeExport {
    uint32_t ordinal;
    std::string name;  // empty for an export by ordinal only
    uint32_t rva;
};

// One entry of a 64-bit module's function table: the code range that its unwind data describes.
struct PeFunctionRange {
    uint32_t begin;
    uint32_t end;  // one past the last byte
};

struct PeImage {
    bool valid = false;
    std::string problem;  // why the file could not be read, when !valid

    uint64_t fileSize = 0;
    uint16_t machine = 0;
    uint16_t fileCharacteristics = 0;
    bool is64Bit = false;
    uint32_t entryPoint = 0;
    uint16_t dllCharacteristics = 0;
    uint32_t fileAlignment = 0;
    uint32_t sizeOfHeaders = 0;
    uint32_t importTableRva = 0;  // the import directory
    uint32_t importAddressTableRva = 0;
    uint32_t importAddressTableSize = 0;
    uint32_t baseRelocationSize = 0;
    uint32_t exceptionTableRva = 0;
    // The fixed file version of the version resource, as "1.2.3.4"; empty when there is none.
    std::string fileVersion;

    std::vector<PeSection> sections;
    std::string exportName;  // the module name in the export directory
    std::vector<PeExport> exports;
    // Imported module name -> imported function names (or "#N" for an import by ordinal), in table order.
    std::map<std::string, std::vector<std::string>> imports;
    // The exception directory of a 64-bit module, in file order.
    std::vector<PeFunctionRange> functionTable;

    const PeSection* sectionAt(uint32_t rva) const;
    // The function-table entry whose range holds `rva`, or nullptr.
    const PeFunctionRange* functionAt(uint32_t rva) const;
};

PeImage readPeImage(const std::string& path);

// "DYNAMIC_BASE NX_COMPAT NO_SEH" and the like.
std::string describeDllCharacteristics(uint16_t flags);
std::string describeFileCharacteristics(uint16_t flags);
// "r-x", "rw-" and the like.
std::string describeProtection(const PeSection& section);
