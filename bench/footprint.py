#!/usr/bin/python3
"""What each built module is made of, read from the file with pefile and written as Markdown for docs/.

Usage: footprint.py MODULE...
"""
import sys

import pefile

RIGHTS = ((0x40000000, "r"), (0x80000000, "w"), (0x20000000, "x"))


def flag_names(value, prefix):
    return " ".join(name[len(prefix):] for name, bit in sorted(pefile.retrieve_flags(
        pefile.DLL_CHARACTERISTICS if "DLL" in prefix else pefile.IMAGE_CHARACTERISTICS, prefix), key=lambda f: f[1])
        if value & bit)


def report(path):
    pe = pefile.PE(path)
    optional, is64 = pe.OPTIONAL_HEADER, pe.PE_TYPE == pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS
    print("### %s\n" % path)
    print("- File: {:,} bytes, {} ({})".format(len(pe.__data__), "PE32+" if is64 else "PE32",
                                                "x86-64" if is64 else "i386"))
    print("- Entry point: %s" % ("none (0), so loading and unloading run no code of the module"
                                 if optional.AddressOfEntryPoint == 0 else "0x%X" % optional.AddressOfEntryPoint))
    print("- File characteristics: 0x%04X %s" % (pe.FILE_HEADER.Characteristics,
                                                 flag_names(pe.FILE_HEADER.Characteristics, "IMAGE_FILE_")))
    print("- DLL characteristics: 0x%04X %s" % (optional.DllCharacteristics, flag_names(
        optional.DllCharacteristics, "IMAGE_DLLCHARACTERISTICS_")))
    exports = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    print("- Export directory's module name: %s" % (exports.name.decode() if exports else "(no export directory)"))
    if hasattr(pe, "VS_FIXEDFILEINFO"):
        fixed = pe.VS_FIXEDFILEINFO[0]
        print("- Version resource: file version %d.%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                                                               fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF))
    if is64:
        print("- Function table (unwind data): %d entries" % len(getattr(pe, "DIRECTORY_ENTRY_EXCEPTION", [])))

    print("\n| Section | Virtual size | Raw size | Protection |\n|---|---:|---:|:---:|")
    for s in pe.sections:
        rights = "".join(letter if s.Characteristics & bit else "-" for bit, letter in RIGHTS)
        print("| {} | {:,} | {:,} | {} |".format(s.Name.rstrip(b"\0").decode(), s.Misc_VirtualSize, s.SizeOfRawData,
                                                 rights))
    print("| all {} | {:,} | {:,} | |".format(len(pe.sections), sum(s.Misc_VirtualSize for s in pe.sections),
                                              sum(s.SizeOfRawData for s in pe.sections)))

    imports = getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])
    print("\n| Imported module | Functions |\n|---|---|")
    for entry in imports:  # pefile's own name for a module whose name has a space is "*invalid*"
        print("| %s | %s |" % (pe.get_string_at_rva(entry.struct.Name).decode(),
                               ", ".join(i.name.decode() if i.name else "#%d" % i.ordinal for i in entry.imports)))
    print("\n%d functions from %d modules." % (sum(len(e.imports) for e in imports), len(imports)))

    print("\n| Ordinal | Export | RVA |\n|---:|---|---|")
    for symbol in exports.symbols if exports else []:
        section = next((s for s in pe.sections if s.contains_rva(symbol.address)), None)
        print("| %d | %s | 0x%X (%s) |" % (symbol.ordinal, (symbol.name or b"(by ordinal only)").decode(),
                                           symbol.address, section.Name.rstrip(b"\0").decode() if section else "-"))
    print()


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    for module in sys.argv[1:]:
        report(module)
