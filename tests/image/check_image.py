#!/usr/bin/python3
"""Holds mapcue.exe to its size limit and to what the three-section layout (cmake/compact.ld)
and the directories filled after the link could silently break; the hardening flags are
check_pe.py's. The layout is checked as the Windows loader checks it, which Wine does not,
and each of those properties is then broken in a copy to make sure its check notices.
Prints the size and the sections.

usage: check_image.py IMAGE MAX_BYTES
"""
import struct
import sys

import pefile

from check_pe import add, or_field, verify

SCN_EXECUTE, SCN_WRITE = 0x20000000, 0x80000000
IMPORT, RESOURCE, SECURITY, BASERELOC, IAT = 1, 2, 4, 5, 12
HIGHLOW = pefile.RELOCATION_TYPE["IMAGE_REL_BASED_HIGHLOW"]


def up(n, alignment):
    return -(-n // alignment) * alignment


def holder(pe, rva, length=1):
    """The section whose bytes in the file hold all of [rva, rva + length), or None."""
    return next((s for s in pe.sections if s.VirtualAddress <= rva and rva + length
                 <= s.VirtualAddress + min(s.SizeOfRawData, s.Misc_VirtualSize)), None)


def address_words(pe):
    """The RVAs of the 32-bit words in the sections' loaded bytes that hold an address in
    the image, and how many were skipped. Not scanned: the directories (RVAs by their format;
    UTF-16 resource text reads "x@" as 0x004000xx). Skipped: words overlapping a relocated
    one (a relocated address followed by a small number reads as one)."""
    opt = pe.OPTIONAL_HEADER
    relocated = relocations(pe)
    directories = [(d.VirtualAddress, d.VirtualAddress + d.Size) for i, d in
                   enumerate(opt.DATA_DIRECTORY) if i in (IMPORT, RESOURCE, BASERELOC, IAT)]
    found, skipped = set(), 0
    for s in pe.sections:
        data = s.get_data()[:s.Misc_VirtualSize]
        for at in range(len(data) - 3):
            rva, value = s.VirtualAddress + at, struct.unpack_from("<I", data, at)[0]
            if (not 0 <= value - opt.ImageBase < opt.SizeOfImage
                    or any(a <= rva < b for a, b in directories)):
                continue
            if rva not in relocated and any(abs(rva - r) < 4 for r in relocated):
                skipped += 1
            else:
                found.add(rva)
    return found, skipped


def relocations(pe):
    return {r.rva for b in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", []) for r in b.entries
            if r.type == HIGHLOW}


def layout(pe, size):
    """The Windows loader's rules for the layout, as (what, found, ok)."""
    opt, sections = pe.OPTIONAL_HEADER, pe.sections
    file_align, section_align = opt.FileAlignment, opt.SectionAlignment
    pow2 = lambda n: n > 0 and not n & (n - 1)  # noqa: E731
    # Each section where the one before ends, the first after the headers (the loader takes
    # the raw size when the virtual size is 0); SizeOfImage where the last ends.
    ends = [up(opt.SizeOfHeaders, section_align)] + [
        s.VirtualAddress + up(s.Misc_VirtualSize or s.SizeOfRawData, section_align)
        for s in sections]
    table_end = (pe.DOS_HEADER.e_lfanew + 24 + pe.FILE_HEADER.SizeOfOptionalHeader
                 + 40 * len(sections))
    raw = [(s.PointerToRawData, s.SizeOfRawData) for s in sections]
    raw_inside = all(length == 0 or (at % file_align == 0 and
                     opt.SizeOfHeaders <= at <= size - length) for at, length in raw)
    entry = holder(pe, opt.AddressOfEntryPoint)
    directories = [(i, d) for i, d in enumerate(opt.DATA_DIRECTORY) if d.Size and i != SECURITY]
    outside = [i for i, d in directories if holder(pe, d.VirtualAddress, d.Size) is None]
    rsrc, iat = opt.DATA_DIRECTORY[RESOURCE], opt.DATA_DIRECTORY[IAT]
    imports = getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])
    slots = [f.address - opt.ImageBase for d in imports for f in d.imports]
    # Import (with the tables its descriptors point to), IAT, resource and relocation bytes.
    tables = [(d.VirtualAddress, d.Size) for i, d in directories
              if i in (IMPORT, RESOURCE, BASERELOC, IAT)]
    tables += [(d.struct.Name, 1) for d in imports] + [(d.struct.OriginalFirstThunk, 4)
                                                         for d in imports]
    tables += [(f.hint_name_table_rva, 2) for d in imports for f in d.imports]
    exposed = [hex(rva) for rva, length in tables if holder(pe, rva, length) is None
               or holder(pe, rva, length).Characteristics & (SCN_WRITE | SCN_EXECUTE)]
    block_bytes = sum(b.struct.SizeOfBlock for b in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", []))
    words, skipped = address_words(pe)
    relocated = relocations(pe)
    return [
        ("alignments powers of two", f"file {file_align}, section {section_align}",
         pow2(file_align) and pow2(section_align) and file_align <= section_align),
        ("sections ascending and contiguous in memory",
         " ".join(f"{s.VirtualAddress:#x}" for s in sections),
         [s.VirtualAddress for s in sections] == ends[:-1]),
        ("SizeOfImage the aligned end of the last section", f"{opt.SizeOfImage:#x}",
         opt.SizeOfImage == ends[-1]),
        ("SizeOfHeaders aligned and covering the section table",
         f"{opt.SizeOfHeaders} for a table ending at {table_end}",
         opt.SizeOfHeaders % file_align == 0 and table_end <= opt.SizeOfHeaders),
        ("every section's raw data inside the file",
         ", ".join(f"{at:#x}+{length:#x}" for at, length in raw) + f" in {size:#x} bytes",
         raw_inside),
        ("entry point inside executable code, above the headers", f"{opt.AddressOfEntryPoint:#x}",
         entry is not None and bool(entry.Characteristics & SCN_EXECUTE)
         and opt.AddressOfEntryPoint >= opt.SizeOfHeaders),
        ("each data directory inside one section's file bytes",
         f"directories {[i for i, _ in directories]}, outside {outside}", not outside),
        ("resource directory at the start of its section", f"{rsrc.VirtualAddress:#x}",
         rsrc.Size > 0 and any(s.VirtualAddress == rsrc.VirtualAddress for s in sections)),
        # While it binds, the loader makes the IAT directory's range writable, and only that.
        ("IAT directory covers every imported function's slot", f"{len(slots)} slots",
         bool(slots) and all(iat.VirtualAddress <= rva <= iat.VirtualAddress + iat.Size - 4
                             for rva in slots)),
        ("imports, IAT, resources, relocations read-only",
         f"{len(tables)} tables, writable or executable at {exposed}", not exposed),
        ("relocation blocks add up to the directory's size",
         f"{block_bytes} of {opt.DATA_DIRECTORY[BASERELOC].Size} bytes",
         block_bytes > 0 and block_bytes == opt.DATA_DIRECTORY[BASERELOC].Size),
        ("every word holding an address in the image relocated",
         f"{len(words)} found by the scan ({skipped} overlapping a relocated one skipped), "
         f"{len(relocated)} in the table, "
         f"unrelocated at {[hex(rva) for rva in sorted(words - relocated)]}",
         bool(words) and words == relocated),
    ]


def drop_relocation(pe):
    pe.DIRECTORY_ENTRY_BASERELOC[0].entries[0].struct.Data = 0  # to padding


opt = lambda pe: pe.OPTIONAL_HEADER  # noqa: E731
BREAKS = [  # in the order of layout()'s properties
    add(opt, "FileAlignment", 0x100),
    add(lambda pe: pe.sections[-1], "VirtualAddress", 0x1000),
    add(opt, "SizeOfImage", 0x1000),
    add(opt, "SizeOfHeaders", -0x100),
    add(lambda pe: pe.sections[-1], "SizeOfRawData", 0x200),
    add(opt, "AddressOfEntryPoint", -0x1000),
    add(lambda pe: opt(pe).DATA_DIRECTORY[BASERELOC], "VirtualAddress", 0x1000),
    add(lambda pe: opt(pe).DATA_DIRECTORY[RESOURCE], "VirtualAddress", 8),
    add(lambda pe: opt(pe).DATA_DIRECTORY[IAT], "Size", -8),
    or_field(lambda pe: pe.sections[-1], "Characteristics", SCN_WRITE),
    add(lambda pe: opt(pe).DATA_DIRECTORY[BASERELOC], "Size", 8),
    drop_relocation,
]


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
    check("file alignment is not 512", opt.FileAlignment == 512)
    check("checksum does not match the file", opt.CheckSum == pe.generate_checksum())
    check("time stamp is set", pe.FILE_HEADER.TimeDateStamp == 0)
    check("a writable section has bytes in the file",
          all(s.SizeOfRawData == 0 for s in pe.sections if s.Characteristics & SCN_WRITE))

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

    print("layout as the Windows loader checks it:")
    broken = verify(data, lambda pe: layout(pe, size), BREAKS,
                    lambda ok: "  ok  " if ok else "  FAIL")
    for failure in failures:
        print("FAIL", failure)
    sys.exit(1 if failures or broken else 0)


if __name__ == "__main__":
    main()
