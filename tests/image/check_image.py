#!/usr/bin/python3
"""Checks what the mapcue files claim of themselves: size, hardening, loading on
every Windows of their kind, their one import, their version resource. Prints the sections
and each property, then breaks each property in a copy and makes sure its check notices, so
that no check passes whatever it is given.

Each file is held to the machine it is listed for, and so is the MPR.dll planted beside it.

usage: check_image.py EXE MACHINE MAX_BYTES PLANTED_DLL [...], MACHINE as I386, AMD64, ARM64"""
import sys

import pefile

DLL, SCN, MACHINE = pefile.DLL_CHARACTERISTICS, pefile.SECTION_CHARACTERISTICS, pefile.MACHINE_TYPE
I386, AMD64, ARM64 = (MACHINE["IMAGE_FILE_MACHINE_" + m] for m in ("I386", "AMD64", "ARM64"))
# Per machine: its name, optional header, another machine, DllCharacteristics and the subsystem
# versions its loader takes (x86 from 3.10, x64 from 5.2; 4.0 and 5.2 keep every such Windows;
# ARM64 Windows began at 10.0). No other bit: FORCE_INTEGRITY wants a signature, APPCONTAINER a
# sandbox, GUARD_CF a load configuration; each stops the image on Windows, not Wine. x64 and
# ARM64 have no SEH bit: their handlers are found through the unwind tables.
WIDE = ("HIGH_ENTROPY_VA", "DYNAMIC_BASE", "NX_COMPAT", "TERMINAL_SERVER_AWARE")
ARCHES = {
    I386: ("PE32 for i386", pefile.OPTIONAL_HEADER_MAGIC_PE, AMD64,
           ("DYNAMIC_BASE", "NX_COMPAT", "NO_SEH", "TERMINAL_SERVER_AWARE"), (3, 10), (4, 0)),
    AMD64: ("PE32+ for x64", pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS, I386, WIDE, (5, 2), (5, 2)),
    ARM64: ("PE32+ for ARM64", pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS, AMD64, WIDE, (6, 0), (10, 0)),
}
UNWIND_ENTRY = {AMD64: 12, ARM64: 8}  # bytes of a function's entry in .pdata
WRITE, EXECUTE = SCN["IMAGE_SCN_MEM_WRITE"], SCN["IMAGE_SCN_MEM_EXECUTE"]
RELOCS_STRIPPED = pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_RELOCS_STRIPPED"]
KEYS = [b"Comments", b"CompanyName", b"FileDescription", b"FileVersion", b"InternalName",
        b"LegalCopyright", b"OriginalFilename", b"ProductName", b"ProductVersion"]


def edit(get, field, value):
    """A break that sets a field of a structure."""
    def brk(data):
        pe = pefile.PE(data=data)
        setattr(get(pe), field, value)
        return bytes(pe.write())
    return brk


def patch(old, new, after=""):
    """A break that rewrites the first `old` following `after`; text in UTF-16, as in resources."""
    old, new, after = (s.encode("utf-16le") if isinstance(s, str) else s for s in (old, new, after))
    def brk(data):
        at = data.index(old, data.index(after))
        return data[:at] + new + data[at + len(old):]
    return brk


def name(section):
    return section.Name.rstrip(b"\0").decode(errors="replace")


def properties(data, limit, machine):
    """(what, found, ok, a break that must make it fail) for each property."""
    kind, magic, other, names, lowest, highest = ARCHES[machine]
    bits = {bit: DLL["IMAGE_DLLCHARACTERISTICS_" + bit] for bit in names}
    wanted = sum(bits.values())
    pe = pefile.PE(data=data)
    opt, head, dll = pe.OPTIONAL_HEADER, pe.FILE_HEADER, pe.OPTIONAL_HEADER.DllCharacteristics
    optional, file_header = (lambda pe: pe.OPTIONAL_HEADER), (lambda pe: pe.FILE_HEADER)
    relocations = [r for b in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", []) for r in b.entries
                   if r.type != pefile.RELOCATION_TYPE["IMAGE_REL_BASED_ABSOLUTE"]]
    stripped = head.Characteristics & RELOCS_STRIPPED
    wx = [name(s) for s in pe.sections if s.Characteristics & WRITE and s.Characteristics & EXECUTE]
    entry = pe.get_section_by_rva(opt.AddressOfEntryPoint)
    dlls = [i.dll.decode() for i in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    delayed = [i.dll.decode() for i in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
    unwound = opt.DATA_DIRECTORY[3].Size // UNWIND_ENTRY.get(machine, 1)
    os_version = (opt.MajorOperatingSystemVersion, opt.MinorOperatingSystemVersion)
    subsystem_version = (opt.MajorSubsystemVersion, opt.MinorSubsystemVersion)
    types = [t.id for t in pe.DIRECTORY_ENTRY_RESOURCE.entries]
    version = lambda pe: pe.DIRECTORY_ENTRY_RESOURCE.entries[0].directory  # noqa: E731
    ids = [i.id for i in version(pe).entries]
    languages = [la.id for la in version(pe).entries[0].directory.entries]
    info = getattr(pe, "FileInfo", [[]])[0]
    tables = [t for i in info if i.Key == b"StringFileInfo" for t in i.StringTable]
    strings = tables[0].entries if tables else {}
    translations = [v.entry for i in info if i.Key == b"VarFileInfo" for v in i.Var]
    # A signature is a certificate table after the image, named by the security directory.
    built = max(s.PointerToRawData + s.SizeOfRawData for s in pe.sections)
    table = opt.DATA_DIRECTORY[4]
    return [
        ("size limit, as built", f"{built} bytes, limit {limit}", built <= limit,
         edit(lambda pe: pe.sections[-1], "SizeOfRawData", limit)),
        ("after the image only its certificate table", f"{len(data) - built} bytes after it",
         len(data) == built + table.Size and table.VirtualAddress in (0, built),
         lambda data: data + b"\0"),
        (kind, f"magic {opt.Magic:#x}, machine {head.Machine:#x}",
         opt.Magic == magic and head.Machine == machine, edit(file_header, "Machine", other)),
    ] + [(bit, f"DllCharacteristics {dll:#06x}", bool(dll & value),
          edit(optional, "DllCharacteristics", wanted & ~value))
         for bit, value in bits.items()] + [
        (f"DllCharacteristics exactly {wanted:#06x}", f"{dll:#06x}", dll == wanted,
         edit(optional, "DllCharacteristics", dll | 0x80)),  # FORCE_INTEGRITY
        # A Win32VersionValue makes Windows report another version to the process.
        ("Win32VersionValue and LoaderFlags 0", f"{opt.Reserved1}, {opt.LoaderFlags}",
         opt.Reserved1 == 0 and opt.LoaderFlags == 0, edit(optional, "Reserved1", 1)),
        ("relocations kept", f"{len(relocations)}, stripped flag {'set' if stripped else 'clear'}",
         relocations != [] and not stripped,
         edit(file_header, "Characteristics", head.Characteristics | RELOCS_STRIPPED)),
        ("no section writable and executable", ", ".join(wx) or "none", not wx,
         edit(lambda pe: pe.sections[0], "Characteristics",
              pe.sections[0].Characteristics | WRITE | EXECUTE)),
        ("entry point in executable code", name(entry) if entry else "outside every section",
         entry is not None and bool(entry.Characteristics & EXECUTE),
         edit(optional, "AddressOfEntryPoint", 0x10000000)),
        ("console subsystem", f"subsystem {opt.Subsystem}",
         opt.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_CUI"],
         edit(optional, "Subsystem", pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"])),
        ("OS version %d.%d or lower" % highest, "%d.%d" % os_version, os_version <= highest,
         edit(optional, "MajorOperatingSystemVersion", highest[0] + 1)),
        ("subsystem version %d.%d to %d.%d" % (lowest + highest), "%d.%d" % subsystem_version,
         lowest <= subsystem_version <= highest,
         edit(optional, "MajorSubsystemVersion", highest[0] + 1)),
        ("imports KERNEL32.dll only", ", ".join(dlls + delayed) or "none",
         dlls == ["KERNEL32.dll"] and not delayed, patch(b"KERNEL32.dll\0", b"msvcrt.dll\0\0\0")),
    ] + ([
        # Every function that calls another must have an entry, or Windows cannot walk it.
        ("unwind tables kept", f"{unwound} functions", unwound > 0,
         edit(lambda pe: pe.OPTIONAL_HEADER.DATA_DIRECTORY[3], "Size", 0)),
    ] if machine in UNWIND_ENTRY else []) + [
        ("time stamp 0", head.TimeDateStamp, head.TimeDateStamp == 0,
         edit(file_header, "TimeDateStamp", 1)),
        ("one resource, a version", types, types == [pefile.RESOURCE_TYPE["RT_VERSION"]],
         edit(lambda pe: pe.DIRECTORY_ENTRY_RESOURCE.entries[0].struct, "Name",
              pefile.RESOURCE_TYPE["RT_RCDATA"])),
        ("version id 1", ids, ids == [1], edit(lambda p: version(p).entries[0].struct, "Name", 2)),
        ("version language 0x409", [hex(la) for la in languages], languages == [0x409],
         edit(lambda pe: version(pe).entries[0].directory.entries[0].struct, "Name", 0x407)),
        ("string block 040904E4", [t.LangID for t in tables],
         [t.LangID for t in tables] == [b"040904E4"], patch("040904E4", "040704E4")),
        ("string keys in their fixed order", list(strings), list(strings) == KEYS,
         patch("CompanyName", "CompanyMame")),
        ("FileDescription is ProductName", strings.get(b"FileDescription"),
         None is not strings.get(b"FileDescription") == strings.get(b"ProductName"),
         patch("M", "m", after="FileDescription")),
        ("translation 0x0409 0x04e4", translations,
         translations == [{b"Translation": "0x0409 0x04e4"}],
         patch(b"\x09\x04\xe4\x04", b"\x07\x04\xe4\x04", after="Translation")),
    ]


def check(path, listed, limit, planted):
    data, machine = open(path, "rb").read(), MACHINE["IMAGE_FILE_MACHINE_" + listed]
    print(f"{path}: {len(data)} bytes")
    for s in pefile.PE(data=data).sections:
        flags = "".join(f if s.Characteristics & SCN["IMAGE_SCN_MEM_" + bit] else "-"
                        for f, bit in (("R", "READ"), ("W", "WRITE"), ("X", "EXECUTE")))
        print(f"  {name(s):8} {s.Misc_VirtualSize:5} in memory {s.SizeOfRawData:5} in the file "
              + flags)
    results = properties(data, limit, machine)
    for what, found, ok, _ in results:
        print(f"{'ok  ' if ok else 'FAIL'} {what}: {found}")
    unnoticed = [what for what, _, _, brk in results
                 if {w: ok for w, _, ok, _ in properties(brk(data), limit, machine)}[what]]
    print(f"each property broken in a copy: {len(results) - len(unnoticed)} of {len(results)}"
          " noticed" + "".join(f"\nUNNOTICED {what}" for what in unnoticed))
    dll = pefile.PE(planted, fast_load=True).FILE_HEADER.Machine
    print(f"{'ok  ' if dll == machine else 'FAIL'} {planted} is for {listed}: machine {dll:#x}")
    return not unnoticed and dll == machine and all(ok for _, _, ok, _ in results)


def main():
    results = [check(path, listed, int(limit), dll)
               for path, listed, limit, dll in zip(*[iter(sys.argv[1:])] * 4)]
    return 0 if results and all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
