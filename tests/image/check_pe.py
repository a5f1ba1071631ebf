#!/usr/bin/python3
"""Checks that mapcue.exe is hardened and loads on every 32- and 64-bit Windows: prints each
property and fails when one is missing. Then breaks each property in a copy held in memory
and makes sure its check notices, so no check passes whatever it is given.
usage: check_pe.py EXE"""
import os
import sys

import pefile

DYNAMIC_BASE, NX_COMPAT, NO_SEH, TERMINAL_SERVER_AWARE = 0x40, 0x100, 0x400, 0x8000
# And no other bit: FORCE_INTEGRITY (0x80) wants a signature, APPCONTAINER (0x1000) a
# sandbox, GUARD_CF (0x4000) a load configuration; each stops the image on Windows, not Wine.
DLL_CHARACTERISTICS = DYNAMIC_BASE | NX_COMPAT | NO_SEH | TERMINAL_SERVER_AWARE
FORCE_INTEGRITY = 0x80
RELOCS_STRIPPED = 0x1
MEM_EXECUTE, MEM_WRITE = 0x20000000, 0x80000000
CONSOLE = 3
BASERELOC = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]


def name(section):
    return section.Name.rstrip(b"\0").decode(errors="replace")


def checks(pe):
    opt, head = pe.OPTIONAL_HEADER, pe.FILE_HEADER
    reloc_size = opt.DATA_DIRECTORY[BASERELOC].Size
    reloc_blocks = len(getattr(pe, "DIRECTORY_ENTRY_BASERELOC", []))
    wx = [name(s) for s in pe.sections if s.Characteristics & MEM_WRITE and s.Characteristics & MEM_EXECUTE]
    entry = pe.get_section_by_rva(opt.AddressOfEntryPoint)
    dlls = [i.dll.decode() for i in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    delayed = [i.dll.decode() for i in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
    os_version = (opt.MajorOperatingSystemVersion, opt.MinorOperatingSystemVersion)
    subsystem_version = (opt.MajorSubsystemVersion, opt.MinorSubsystemVersion)
    return [
        ("PE32 for i386", f"magic {opt.Magic:#x}, machine {head.Machine:#x}",
         opt.Magic == 0x10B and head.Machine == 0x14C),
        ("DYNAMICBASE", f"DllCharacteristics {opt.DllCharacteristics:#06x}",
         bool(opt.DllCharacteristics & DYNAMIC_BASE)),
        ("NXCOMPAT", f"DllCharacteristics {opt.DllCharacteristics:#06x}",
         bool(opt.DllCharacteristics & NX_COMPAT)),
        # The SafeSEH rule for x86 images: no handlers at all, and the flag says so.
        ("NO_SEH", f"DllCharacteristics {opt.DllCharacteristics:#06x}",
         bool(opt.DllCharacteristics & NO_SEH)),
        ("TERMINAL_SERVER_AWARE", f"DllCharacteristics {opt.DllCharacteristics:#06x}",
         bool(opt.DllCharacteristics & TERMINAL_SERVER_AWARE)),
        (f"DllCharacteristics exactly {DLL_CHARACTERISTICS:#06x}",
         f"{opt.DllCharacteristics:#06x}", opt.DllCharacteristics == DLL_CHARACTERISTICS),
        # A Win32VersionValue makes Windows report another version to the process.
        ("Win32VersionValue and LoaderFlags 0", f"{opt.Reserved1}, {opt.LoaderFlags}",
         opt.Reserved1 == 0 and opt.LoaderFlags == 0),
        ("relocations kept", f"{reloc_size} bytes in {reloc_blocks} blocks, stripped flag "
         f"{'set' if head.Characteristics & RELOCS_STRIPPED else 'clear'}",
         reloc_size > 0 and reloc_blocks > 0 and not head.Characteristics & RELOCS_STRIPPED),
        ("no section writable and executable", ", ".join(wx) or "none", not wx),
        ("entry point in executable code", name(entry) if entry else "outside every section",
         entry is not None and bool(entry.Characteristics & MEM_EXECUTE)),
        ("console subsystem", f"subsystem {opt.Subsystem}", opt.Subsystem == CONSOLE),
        # The loader refuses subsystem versions below 3.10.
        ("OS version 4.0 or lower", "%d.%d" % os_version, os_version <= (4, 0)),
        ("subsystem version 3.10 to 4.0", "%d.%d" % subsystem_version,
         (3, 10) <= subsystem_version <= (4, 0)),
        ("imports KERNEL32.dll only", ", ".join(dlls + delayed) or "none",
         dlls == ["KERNEL32.dll"] and not delayed),
    ]


def set_field(get, field, value):
    return lambda pe: setattr(get(pe), field, value)


def or_field(get, field, bits):
    return lambda pe: setattr(get(pe), field, getattr(get(pe), field) | bits)


def add(get, field, by):
    return lambda pe: setattr(get(pe), field, getattr(get(pe), field) + by)


def verify(data, properties, breaks, label):
    """Prints each (what, found, ok) that properties(pe) gives, then applies each break to a
    copy (written back and read again, so that derived tables follow) and makes sure the
    property it is listed beside no longer holds. Returns the number of failures."""
    results = properties(pefile.PE(data=data))
    for what, found, ok in results:
        print(f"{label(ok)} {what}: {found}")
    unnoticed = []
    for (what, _, _), brk in zip(results, breaks, strict=True):
        broken = pefile.PE(data=data)
        brk(broken)
        if dict((w, ok) for w, _, ok in properties(pefile.PE(data=bytes(broken.write()))))[what]:
            unnoticed.append(what)
    print(f"each property broken in turn: {len(results) - len(unnoticed)} of {len(results)} noticed"
          + "".join(f"\nUNNOTICED {what}" for what in unnoticed))
    return sum(not ok for _, _, ok in results) + len(unnoticed)


opt = lambda pe: pe.OPTIONAL_HEADER  # noqa: E731
BREAKS = [  # in the order of checks()
    set_field(lambda pe: pe.FILE_HEADER, "Machine", 0x8664),
    set_field(opt, "DllCharacteristics", NX_COMPAT),
    set_field(opt, "DllCharacteristics", DYNAMIC_BASE),
    set_field(opt, "DllCharacteristics", DLL_CHARACTERISTICS & ~NO_SEH),
    set_field(opt, "DllCharacteristics", DLL_CHARACTERISTICS & ~TERMINAL_SERVER_AWARE),
    or_field(opt, "DllCharacteristics", FORCE_INTEGRITY),
    set_field(opt, "Reserved1", 1),
    or_field(lambda pe: pe.FILE_HEADER, "Characteristics", RELOCS_STRIPPED),
    or_field(lambda pe: pe.sections[0], "Characteristics", MEM_WRITE | MEM_EXECUTE),
    set_field(opt, "AddressOfEntryPoint", 0x10000000),
    set_field(opt, "Subsystem", 2),
    set_field(opt, "MajorOperatingSystemVersion", 6),
    set_field(opt, "MajorSubsystemVersion", 6),
    lambda pe: pe.set_bytes_at_rva(pe.DIRECTORY_ENTRY_IMPORT[0].struct.Name, b"msvcrt.dll\0"),
]


def main():
    path = sys.argv[1]
    data = open(path, "rb").read()
    failures = verify(data, checks, BREAKS, lambda ok: "ok     " if ok else "MISSING")
    print(f"size {os.path.getsize(path)} bytes:",
          ", ".join(f"{name(s)} {s.Misc_VirtualSize}" for s in pefile.PE(data=data).sections))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
