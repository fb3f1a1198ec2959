#include "PeImage.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winver.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

class Bytes {
public:
    explicit Bytes(std::vector<unsigned char> data) : data_(std::move(data)) {}

    bool has(uint64_t offset, uint64_t size) const { return offset <= data_.size() && size <= data_.size() - offset; }

    template <typename T>
    bool read(uint64_t offset, T* value) const {
        if (!has(offset, sizeof(T))) {
            return false;
        }
        std::memcpy(value, data_.data() + offset, sizeof(T));
        return true;
    }

    std::string string(uint64_t offset) const {
        std::string text;
        for (uint64_t i = offset; i < data_.size() && data_[i] != 0; ++i) {
            text += static_cast<char>(data_[i]);
        }
        return text;
    }

    uint64_t size() const { return data_.size(); }

private:
    std::vector<unsigned char> data_;
};

// File offset of an RVA, through the section that holds it; 0 when none does.
uint64_t offsetOf(const PeImage& image, const std::vector<IMAGE_SECTION_HEADER>& headers, uint32_t rva) {
    for (size_t i = 0; i < headers.size(); ++i) {
        const IMAGE_SECTION_HEADER& header = headers[i];
        if (rva >= header.VirtualAddress && rva < header.VirtualAddress + header.SizeOfRawData) {
            return header.PointerToRawData + (rva - header.VirtualAddress);
        }
    }
    return rva < image.sizeOfHeaders ? rva : 0;
}

PeImage failed(PeImage image, const std::string& problem) {
    image.valid = false;
    image.problem = problem;
    return image;
}

// The 32-bit and 64-bit optional headers hold the same fields at different offsets.
template <typename OptionalHeader>
bool readOptionalHeader(const Bytes& bytes, uint64_t at, PeImage* image, IMAGE_DATA_DIRECTORY* directories) {
    OptionalHeader optional;
    if (!bytes.read(at, &optional)) {
        return false;
    }
    image->entryPoint = optional.AddressOfEntryPoint;
    image->dllCharacteristics = optional.DllCharacteristics;
    image->fileAlignment = optional.FileAlignment;
    image->sizeOfHeaders = optional.SizeOfHeaders;
    std::memcpy(directories, optional.DataDirectory, sizeof optional.DataDirectory);
    return true;
}

template <typename Thunk>
void readImportNames(const PeImage& image, const Bytes& bytes, const std::vector<IMAGE_SECTION_HEADER>& headers,
                     uint32_t lookupRva, std::vector<std::string>* names) {
    const uint64_t ordinalFlag = uint64_t{1} << (sizeof(Thunk) * 8 - 1);
    for (uint64_t at = offsetOf(image, headers, lookupRva); at != 0; at += sizeof(Thunk)) {
        Thunk entry = 0;
        if (!bytes.read(at, &entry) || entry == 0) {
            return;
        }
        if (entry & ordinalFlag) {
            names->push_back(std::string(1, '#').append(std::to_string(entry & 0xFFFF)));
        } else {
            const uint64_t byName = offsetOf(image, headers, static_cast<uint32_t>(entry));
            names->push_back(byName ? bytes.string(byName + 2) : "?");
        }
    }
}

// The version resource's fixed file version: the first RT_VERSION entry of the resource tree, whose data
// starts with the header of VS_VERSIONINFO and, 40 bytes in, VS_FIXEDFILEINFO.
std::string readFileVersion(const PeImage& image, const Bytes& bytes, const std::vector<IMAGE_SECTION_HEADER>& headers,
                            uint32_t resourceRva) {
    const uint64_t root = offsetOf(image, headers, resourceRva);
    // Follows the entry with `id` (or, with id 0, the first entry) of the directory at `at`; 0 when none.
    auto child = [&](uint64_t at, uint16_t id) -> uint32_t {
        IMAGE_RESOURCE_DIRECTORY directory;
        if (root == 0 || !bytes.read(at, &directory)) {
            return 0;
        }
        const uint32_t count = directory.NumberOfNamedEntries + directory.NumberOfIdEntries;
        for (uint32_t i = 0; i < count; ++i) {
            IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
            if (!bytes.read(at + sizeof directory + i * sizeof entry, &entry)) {
                return 0;
            }
            if (id == 0 || (!entry.NameIsString && entry.Id == id)) {
                return entry.OffsetToData;
            }
        }
        return 0;
    };
    const uint32_t names = child(root, 16 /* RT_VERSION */);
    const uint32_t languages =
        names & IMAGE_RESOURCE_DATA_IS_DIRECTORY ? child(root + (names & ~IMAGE_RESOURCE_DATA_IS_DIRECTORY), 0) : 0;
    const uint32_t data = languages & IMAGE_RESOURCE_DATA_IS_DIRECTORY
                              ? child(root + (languages & ~IMAGE_RESOURCE_DATA_IS_DIRECTORY), 0)
                              : 0;
    IMAGE_RESOURCE_DATA_ENTRY entry;
    VS_FIXEDFILEINFO fixed;
    if (data == 0 || (data & IMAGE_RESOURCE_DATA_IS_DIRECTORY) || !bytes.read(root + data, &entry) ||
        !bytes.read(offsetOf(image, headers, entry.OffsetToData) + 40, &fixed) || fixed.dwSignature != 0xFEEF04BD) {
        return "";
    }
    return std::to_string(HIWORD(fixed.dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed.dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed.dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed.dwFileVersionLS));
}

}  // namespace

bool PeSection::readable() const { return characteristics & IMAGE_SCN_MEM_READ; }
bool PeSection::writable() const { return characteristics & IMAGE_SCN_MEM_WRITE; }
bool PeSection::executable() const { return characteristics & IMAGE_SCN_MEM_EXECUTE; }

const PeFunctionRange* PeImage::functionAt(uint32_t rva) const {
    for (const PeFunctionRange& range : functionTable) {
        if (rva >= range.begin && rva < range.end) {
            return &range;
        }
    }
    return nullptr;
}

const PeSection* PeImage::sectionAt(uint32_t rva) const {
    for (const PeSection& section : sections) {
        if (section.contains(rva)) {
            return &section;
        }
    }
    return nullptr;
}

PeImage readPeImage(const std::string& path) {
    PeImage image;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return failed(image, "cannot open " + path);
    }
    const Bytes bytes(std::vector<unsigned char>(std::istreambuf_iterator<char>(file), {}));
    image.fileSize = bytes.size();

    IMAGE_DOS_HEADER dos;
    DWORD signature = 0;
    IMAGE_FILE_HEADER fileHeader;
    if (!bytes.read(0, &dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || !bytes.read(dos.e_lfanew, &signature) ||
        signature != IMAGE_NT_SIGNATURE || !bytes.read(dos.e_lfanew + 4, &fileHeader)) {
        return failed(image, "not a PE file");
    }
    image.machine = fileHeader.Machine;
    image.fileCharacteristics = fileHeader.Characteristics;
    const uint64_t optionalAt = dos.e_lfanew + 4 + sizeof(IMAGE_FILE_HEADER);
    WORD magic = 0;
    bytes.read(optionalAt, &magic);
    image.is64Bit = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;

    IMAGE_DATA_DIRECTORY directories[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {};
    const bool readOptional = image.is64Bit
                                  ? readOptionalHeader<IMAGE_OPTIONAL_HEADER64>(bytes, optionalAt, &image, directories)
                              : magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC
                                  ? readOptionalHeader<IMAGE_OPTIONAL_HEADER32>(bytes, optionalAt, &image, directories)
                                  : false;
    if (!readOptional) {
        return failed(image, "unreadable optional header");
    }
    image.importTableRva = directories[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    image.importAddressTableRva = directories[IMAGE_DIRECTORY_ENTRY_IAT].VirtualAddress;
    image.importAddressTableSize = directories[IMAGE_DIRECTORY_ENTRY_IAT].Size;
    image.baseRelocationSize = directories[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size;
    image.exceptionTableRva = directories[IMAGE_DIRECTORY_ENTRY_EXCEPTION].VirtualAddress;

    std::vector<IMAGE_SECTION_HEADER> headers(fileHeader.NumberOfSections);
    const uint64_t sectionsAt = optionalAt + fileHeader.SizeOfOptionalHeader;
    for (size_t i = 0; i < headers.size(); ++i) {
        if (!bytes.read(sectionsAt + i * sizeof(IMAGE_SECTION_HEADER), &headers[i])) {
            return failed(image, "truncated section table");
        }
        const IMAGE_SECTION_HEADER& header = headers[i];
        image.sections.push_back({std::string(reinterpret_cast<const char*>(header.Name),
                                              strnlen(reinterpret_cast<const char*>(header.Name), 8)),
                                  header.VirtualAddress, header.Misc.VirtualSize, header.SizeOfRawData,
                                  header.Characteristics});
    }

    if (directories[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress != 0) {
        IMAGE_EXPORT_DIRECTORY exports;
        const uint64_t at = offsetOf(image, headers, directories[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
        if (at == 0 || !bytes.read(at, &exports)) {
            return failed(image, "unreadable export directory");
        }
        image.exportName = bytes.string(offsetOf(image, headers, exports.Name));
        for (DWORD i = 0; i < exports.NumberOfFunctions; ++i) {
            DWORD rva = 0;
            bytes.read(offsetOf(image, headers, exports.AddressOfFunctions) + 4 * i, &rva);
            if (rva != 0) {
                image.exports.push_back({exports.Base + i, "", rva});
            }
        }
        for (DWORD i = 0; i < exports.NumberOfNames; ++i) {
            DWORD nameRva = 0;
            WORD index = 0;
            bytes.read(offsetOf(image, headers, exports.AddressOfNames) + 4 * i, &nameRva);
            bytes.read(offsetOf(image, headers, exports.AddressOfNameOrdinals) + 2 * i, &index);
            for (PeExport& entry : image.exports) {
                if (entry.ordinal == exports.Base + index) {
                    entry.name = bytes.string(offsetOf(image, headers, nameRva));
                }
            }
        }
    }

    for (uint64_t at = offsetOf(image, headers, image.importTableRva); image.importTableRva != 0;
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR import;
        if (!bytes.read(at, &import)) {
            return failed(image, "unreadable import directory");
        }
        if (import.Name == 0) {
            break;
        }
        std::vector<std::string>& names = image.imports[bytes.string(offsetOf(image, headers, import.Name))];
        const uint32_t lookup = import.OriginalFirstThunk ? import.OriginalFirstThunk : import.FirstThunk;
        if (image.is64Bit) {
            readImportNames<uint64_t>(image, bytes, headers, lookup, &names);
        } else {
            readImportNames<uint32_t>(image, bytes, headers, lookup, &names);
        }
    }
    if (image.is64Bit && image.exceptionTableRva != 0) {
        const uint64_t at = offsetOf(image, headers, image.exceptionTableRva);
        // The x64 layout of an entry; a 32-bit build's headers do not declare it.
        struct FunctionEntry {
            uint32_t begin;
            uint32_t end;
            uint32_t unwindData;
        };
        const uint32_t count = directories[IMAGE_DIRECTORY_ENTRY_EXCEPTION].Size / sizeof(FunctionEntry);
        for (uint32_t i = 0; i < count; ++i) {
            FunctionEntry entry;
            if (at == 0 || !bytes.read(at + i * sizeof entry, &entry)) {
                return failed(image, "unreadable exception directory");
            }
            image.functionTable.push_back({entry.begin, entry.end});
        }
    }
    image.fileVersion =
        readFileVersion(image, bytes, headers, directories[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress);
    image.valid = true;
    return image;
}

namespace {

struct FlagName {
    uint16_t flag;
    const char* name;
};

template <size_t N>
std::string describeFlags(uint16_t flags, const FlagName (&known)[N]) {
    std::string text;
    for (const FlagName& entry : known) {
        if (flags & entry.flag) {
            text.append(text.empty() ? "" : " ").append(entry.name);
        }
    }
    return text.empty() ? "(none)" : text;
}

}  // namespace

std::string describeDllCharacteristics(uint16_t flags) {
    static const FlagName known[] = {
        {IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA"},
        {IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, "DYNAMIC_BASE"},
        {IMAGE_DLLCHARACTERISTICS_FORCE_INTEGRITY, "FORCE_INTEGRITY"},
        {IMAGE_DLLCHARACTERISTICS_NX_COMPAT, "NX_COMPAT"},
        {IMAGE_DLLCHARACTERISTICS_NO_ISOLATION, "NO_ISOLATION"},
        {IMAGE_DLLCHARACTERISTICS_NO_SEH, "NO_SEH"},
        {IMAGE_DLLCHARACTERISTICS_NO_BIND, "NO_BIND"},
        {IMAGE_DLLCHARACTERISTICS_APPCONTAINER, "APPCONTAINER"},
        {IMAGE_DLLCHARACTERISTICS_WDM_DRIVER, "WDM_DRIVER"},
        {IMAGE_DLLCHARACTERISTICS_GUARD_CF, "GUARD_CF"},
        {IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE, "TERMINAL_SERVER_AWARE"},
    };
    return describeFlags(flags, known);
}

std::string describeFileCharacteristics(uint16_t flags) {
    static const FlagName known[] = {
        {IMAGE_FILE_RELOCS_STRIPPED, "RELOCS_STRIPPED"},
        {IMAGE_FILE_EXECUTABLE_IMAGE, "EXECUTABLE_IMAGE"},
        {IMAGE_FILE_LINE_NUMS_STRIPPED, "LINE_NUMS_STRIPPED"},
        {IMAGE_FILE_LOCAL_SYMS_STRIPPED, "LOCAL_SYMS_STRIPPED"},
        {IMAGE_FILE_LARGE_ADDRESS_AWARE, "LARGE_ADDRESS_AWARE"},
        {IMAGE_FILE_32BIT_MACHINE, "32BIT_MACHINE"},
        {IMAGE_FILE_DEBUG_STRIPPED, "DEBUG_STRIPPED"},
        {IMAGE_FILE_DLL, "DLL"},
    };
    return describeFlags(flags, known);
}

std::string describeProtection(const PeSection& section) {
    return std::string(section.readable() ? "r" : "-") + (section.writable() ? "w" : "-") +
           (section.executable() ? "x" : "-");
}
