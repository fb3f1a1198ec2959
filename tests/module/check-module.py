#!/usr/bin/python3
"""What the built file promises an application, read from the file alone with pefile, for either width.

Its name and processor, its two exports, exactly five imports and no runtime DLL, no entry point, the
hardening flags, no writable data in the file, import tables in a read-only section, the project's version,
on x64 unwind data for both entry points and the four table functions, and its size budget.
Usage: check-module.py VelmorantUtils.dll MACHINE VERSION   (MACHINE as in cmake/platforms.txt: 014c, 8664)
"""
import pathlib
import sys

import pefile

TABLE = [line for line in (pathlib.Path(__file__).parent.parent / "support" / "table.txt").read_text().splitlines()
         if line and not line.startswith("#")]
IMPORTS = {"Adobe AIR.dll": ["FREGetObjectAsInt32", "FRENewObjectFromBool"],
           "USER32.dll": ["ChangeDisplaySettingsExW", "EnumDisplaySettingsW", "SystemParametersInfoW"]}
BUDGET = {False: 4608, True: 5120}  # bytes, by width
WRITABLE, EXECUTABLE = 0x80000000, 0x20000000
DLL = pefile.DLL_CHARACTERISTICS


def section_at(pe, rva):
    return next((s for s in pe.sections if s.VirtualAddress <= rva < s.VirtualAddress + s.Misc_VirtualSize), None)


def table_functions(pe):
    """The table's rows as the file holds them: each name's string, then the row {name, data, function} that
    points at it; returns name -> function RVA."""
    base, width = pe.OPTIONAL_HEADER.ImageBase, 8 if pe.PE_TYPE == pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS else 4
    image, functions, start = pe.get_memory_mapped_image(), {}, pe.sections[0].VirtualAddress
    for name in TABLE:
        string = image.find(name.encode() + b"\0", start)  # not in the headers' padding, which holds file bytes
        row = image.find((base + string).to_bytes(width, "little")) if string > 0 else -1
        if row > 0:
            functions[name] = int.from_bytes(image[row + 2 * width:row + 3 * width], "little") - base
    return functions


def checks(pe, machine, version):
    is64 = pe.PE_TYPE == pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS
    header, optional = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    yield "a DLL for this build's processor", header.Machine == int(machine, 16) and header.IMAGE_FILE_DLL, \
        "machine 0x%x, DLL flag %s" % (header.Machine, header.IMAGE_FILE_DLL)

    exports = pe.DIRECTORY_ENTRY_EXPORT
    listed = [(s.ordinal, (s.name or b"").decode()) for s in exports.symbols]
    yield "exports the two entry points at ordinals 1 and 2, named VelmorantUtils.dll", \
        listed == [(1, "ExtensionFinalizer"), (2, "ExtensionInitializer")] and exports.name == b"VelmorantUtils.dll" \
        and all((section_at(pe, s.address) or header).Characteristics & EXECUTABLE for s in exports.symbols), \
        "%s from %s" % (listed, exports.name)

    # pefile names an imported module whose name has a space "*invalid*", so the name is read where it lies.
    imports = {pe.get_string_at_rva(entry.struct.Name).decode(): sorted(i.name.decode() if i.name else "#%d" % i.ordinal
                                                                        for i in entry.imports)
               for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    yield "imports the five functions and nothing else (no C or C++ runtime)", imports == IMPORTS, imports

    flags = {"DYNAMIC_BASE": True, "NX_COMPAT": True, "HIGH_ENTROPY_VA": is64, "NO_SEH": not is64}
    have = {flag: bool(optional.DllCharacteristics & DLL["IMAGE_DLLCHARACTERISTICS_" + flag]) for flag in flags}
    relocations = optional.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]].Size
    yield "no entry point, the hardening flags, relocations", optional.AddressOfEntryPoint == 0 and have == flags \
        and relocations > 0 and not header.IMAGE_FILE_RELOCS_STRIPPED, \
        "entry 0x%x, flags %s, relocations %d bytes" % (optional.AddressOfEntryPoint, have, relocations)

    initialized = [s.Name.rstrip(b"\0").decode() for s in pe.sections if s.Characteristics & WRITABLE and s.SizeOfRawData]
    yield "no writable section with bytes in the file", not initialized, "writable and initialized: %s" % initialized

    tables = [optional.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY[d]].VirtualAddress
              for d in ("IMAGE_DIRECTORY_ENTRY_IMPORT", "IMAGE_DIRECTORY_ENTRY_IAT")]
    places = [section_at(pe, rva) for rva in tables]
    yield "the import directory and import address table in a read-only section", \
        all(s and not s.Characteristics & WRITABLE for s in places), [s and s.Name for s in places]

    fixed = pe.VS_FIXEDFILEINFO[0] if hasattr(pe, "VS_FIXEDFILEINFO") else None
    numbers = fixed and "%d.%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                                         fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    strings = {k.decode(): v.decode() for info in getattr(pe, "FileInfo", [[]])[0] if info.Key == b"StringFileInfo"
               for table in info.StringTable if table.LangID == b"040904B0" for k, v in table.entries.items()}
    wanted = {"FileVersion": version, "ProductVersion": version, "ProductName": "VelmorantUtils",
              "OriginalFilename": "VelmorantUtils.dll", "LegalCopyright": "Copyright (c) 2026 The VelmorantUtils authors"}
    yield "carries the project's version", numbers == version + ".0" and \
        {k: strings.get(k) for k in wanted} == wanted, "FILEVERSION %s, strings %s" % (numbers, strings)

    if is64:
        code = dict(table_functions(pe), **{s.name.decode(): s.address for s in exports.symbols})
        ranges = [(f.struct.BeginAddress, f.struct.EndAddress) for f in getattr(pe, "DIRECTORY_ENTRY_EXCEPTION", [])]
        bare = [name for name, rva in code.items() if not any(begin <= rva < end for begin, end in ranges)]
        yield "unwind data for both entry points and the four table functions", len(code) == 6 and not bare, \
            "found %s; without a function-table entry: %s" % (sorted(code), bare)

    size = len(pe.__data__)
    yield "fits in its size budget", size <= BUDGET[is64], "%d bytes, budget %d" % (size, BUDGET[is64])


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[-1])
    failed = 0
    for name, passed, detail in checks(pefile.PE(sys.argv[1]), sys.argv[2], sys.argv[3]):
        failed += not passed
        print("ok   %s" % name if passed else "FAIL %s: %s" % (name, detail))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
