// velmorant-footprint: what a built module is made of, read from the file alone and written as Markdown, so
// that the report can go into the README as it is printed.
#include <cstdio>
#include <string>

#include "PeImage.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

const char* machineName(uint16_t machine) {
    switch (machine) {
        case IMAGE_FILE_MACHINE_I386:
            return "i386";
        case IMAGE_FILE_MACHINE_AMD64:
            return "x86-64";
        default:
            return "unknown machine";
    }
}

std::string withSeparators(uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    return grouped;
}

void report(const char* path, const PeImage& image) {
    std::printf("### %s\n\n", path);
    std::printf("- File: %s bytes, %s (%s)\n", withSeparators(image.fileSize).c_str(), image.is64Bit ? "PE32+" : "PE32",
                machineName(image.machine));
    if (image.entryPoint == 0) {
        std::printf("- Entry point: none (0), so loading and unloading run no code of the module\n");
    } else {
        const PeSection* section = image.sectionAt(image.entryPoint);
        std::printf("- Entry point: 0x%X in %s\n", image.entryPoint, section ? section->name.c_str() : "no section");
    }
    std::printf("- File characteristics: 0x%04X %s\n", image.fileCharacteristics,
                describeFileCharacteristics(image.fileCharacteristics).c_str());
    std::printf("- DLL characteristics: 0x%04X %s\n", image.dllCharacteristics,
                describeDllCharacteristics(image.dllCharacteristics).c_str());
    std::printf("- Export directory's module name: %s\n",
                image.exportName.empty() ? "(no export directory)" : image.exportName.c_str());
    std::printf("- Version resource: %s%s\n", image.fileVersion.empty() ? "none" : "file version ",
                image.fileVersion.c_str());
    if (image.is64Bit) {
        std::printf("- Function table (unwind data): %zu entries\n", image.functionTable.size());
    }

    uint64_t virtualTotal = 0;
    uint64_t rawTotal = 0;
    std::printf("\n| Section | Virtual size | Raw size | Protection |\n|---|---:|---:|:---:|\n");
    for (const PeSection& section : image.sections) {
        std::printf("| %s | %s | %s | %s |\n", section.name.c_str(), withSeparators(section.virtualSize).c_str(),
                    withSeparators(section.rawSize).c_str(), describeProtection(section).c_str());
        virtualTotal += section.virtualSize;
        rawTotal += section.rawSize;
    }
    std::printf("| all %zu | %s | %s | |\n", image.sections.size(), withSeparators(virtualTotal).c_str(),
                withSeparators(rawTotal).c_str());

    size_t importTotal = 0;
    std::printf("\n| Imported module | Functions |\n|---|---|\n");
    for (const auto& [module, functions] : image.imports) {
        std::string names;
        for (const std::string& function : functions) {
            names.append(names.empty() ? "" : ", ").append(function);
        }
        std::printf("| %s | %s |\n", module.c_str(), names.c_str());
        importTotal += functions.size();
    }
    if (image.imports.empty()) {
        std::printf("| (none) | |\n");
    }
    std::printf("\n%zu functions from %zu modules.\n", importTotal, image.imports.size());

    std::printf("\n| Ordinal | Export | RVA |\n|---:|---|---|\n");
    for (const PeExport& entry : image.exports) {
        const PeSection* section = image.sectionAt(entry.rva);
        std::printf("| %u | %s | 0x%X (%s) |\n", entry.ordinal,
                    entry.name.empty() ? "(by ordinal only)" : entry.name.c_str(), entry.rva,
                    section ? section->name.c_str() : "outside every section");
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(
            "usage: velmorant-footprint MODULE...\n"
            "Prints each module's size, sections, imports, exports, entry point and header flags as Markdown.\n",
            stderr);
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const PeImage image = readPeImage(argv[i]);
        if (!image.valid) {
            std::fprintf(stderr, "velmorant-footprint: %s: %s\n", argv[i], image.problem.c_str());
            status = 1;
            continue;
        }
        report(argv[i], image);
    }
    return status;
}
