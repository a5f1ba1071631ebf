#!/usr/bin/python3
"""Holds mapcue.exe to its size limit, its zero time stamp, its version resource and base
relocations that patch addresses in the image; the hardening flags are check_pe.py's. Prints
the size and the sections.

usage: check_image.py IMAGE MAX_BYTES
"""
import sys

import pefile

SCN_EXECUTE, SCN_WRITE = 0x20000000, 0x80000000
HIGHLOW = pefile.RELOCATION_TYPE["IMAGE_REL_BASED_HIGHLOW"]


def main():
    path, limit = sys.argv[1], int(sys.argv[2])
    data = open(path, "rb").read()
    pe = pefile.PE(data=data)
    opt = pe.OPTIONAL_HEADER
    size = len(data)
    failures = []

    def check(what, ok):
        if not ok:
            failures.append(what)

    print(f"{size} bytes (limit {limit})")
    for s in pe.sections:
        flags = "".join(c for c, bit in (("R", 0x40000000), ("W", SCN_WRITE), ("X", SCN_EXECUTE))
                        if s.Characteristics & bit)
        name = s.Name.rstrip(b"\0").decode()
        print(f"  {name:8} {s.Misc_VirtualSize:5} bytes, "
              f"{s.SizeOfRawData:5} in the file, {flags}")
    check(f"{size} bytes, above {limit}", size <= limit)
    check("time stamp is set", pe.FILE_HEADER.TimeDateStamp == 0)

    imports = [entry.dll.decode() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    check("no version resource", resources is not None and any(
        e.id == pefile.RESOURCE_TYPE["RT_VERSION"] for e in resources.entries))

    # Every relocation must patch an address that lies in the image; a directory pointing at
    # the wrong bytes reads as entries of other types or targets outside it.
    relocations = [r for block in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", [])
                   for r in block.entries
                   if r.type != pefile.RELOCATION_TYPE["IMAGE_REL_BASED_ABSOLUTE"]]
    check("no base relocations", relocations)
    low, high = opt.ImageBase, opt.ImageBase + opt.SizeOfImage
    for r in relocations:
        if r.type != HIGHLOW or pe.get_section_by_rva(r.rva) is None:
            check(f"relocation of type {r.type} at {r.rva:#x}", False)
        elif not low <= pe.get_dword_at_rva(r.rva) < high:
            check(f"relocation at {r.rva:#x} patches {pe.get_dword_at_rva(r.rva):#x}, "
                  "outside the image", False)
    print(f"  {len(relocations)} relocations, imports {imports}")

    for failure in failures:
        print("FAIL", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
