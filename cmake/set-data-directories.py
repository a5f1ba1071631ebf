#!/usr/bin/python3
"""Points a linked image's import, resource and base relocation directories at the blocks
that compact.ld marks, as the link map gives them, and brings the checksum up to date.

GNU ld fills these three directories only from sections named .idata, .rsrc and .reloc,
which compact.ld folds into .rdata (the import address table's it fills itself, from the
__IAT_start__ and __IAT_end__ marks). On any doubt the image is deleted, so that a failed
step can never leave a plausible but broken executable behind for the next build.

usage: set-data-directories.py IMAGE MAP
"""
import os
import re
import struct
import sys

DIRECTORIES = [(1, "import"), (2, "rsrc"), (5, "reloc")]  # index in the table, mark
RELOCS_STRIPPED = 0x0001


def pe_checksum(image, field):
    words = image[:field] + bytes(4) + image[field + 4:]
    if len(words) % 2:
        words += b"\0"
    total = 0
    for (word,) in struct.iter_unpack("<H", words):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total & 0xFFFF) + len(image)


def patch(image, map_text):
    marks = {name: int(value, 16) for value, name in
             re.findall(r"^\s+0x([0-9a-fA-F]+)\s+__mapcue_(\w+) = \.", map_text, re.M)}
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    opt = pe + 24
    magic, = struct.unpack_from("<H", image, opt)
    if magic != 0x10B:
        raise ValueError(f"optional header magic {magic:#x}, want PE32")
    image_base, = struct.unpack_from("<I", image, opt + 28)
    image_size, = struct.unpack_from("<I", image, opt + 56)
    field = opt + 64
    if struct.unpack_from("<I", image, field)[0] != pe_checksum(image, field):
        raise ValueError("the linker's checksum does not match ours: header layout misread")
    for index, mark in DIRECTORIES:
        start, end = marks.get(mark + "_start"), marks.get(mark + "_end")
        if start is None or end is None or not image_base < start <= end:
            raise ValueError(f"marks for {mark} missing from the map")
        # An empty block (a program without resources) leaves its directory empty.
        rva, size = (start - image_base, end - start) if end > start else (0, 0)
        if rva + size > image_size:
            raise ValueError(f"{mark} lies outside the image")
        entry = opt + 96 + 8 * index
        if struct.unpack_from("<II", image, entry) not in ((0, 0), (rva, size)):
            raise ValueError(f"directory {index} already points elsewhere")
        struct.pack_into("<II", image, entry, rva, size)
        if mark == "reloc" and size > 0:
            # ld marks the image as stripped when it finds no .reloc section; a loader then
            # never moves it, and DYNAMICBASE would be a dead letter.
            characteristics = pe + 22
            flags, = struct.unpack_from("<H", image, characteristics)
            struct.pack_into("<H", image, characteristics, flags & ~RELOCS_STRIPPED)
    struct.pack_into("<I", image, field, pe_checksum(image, field))


def main():
    image_path, map_path = sys.argv[1:3]
    try:
        with open(image_path, "rb") as f:
            image = bytearray(f.read())
        with open(map_path) as f:
            patch(image, f.read())
        with open(image_path, "wb") as f:
            f.write(image)
    except Exception as error:
        if os.path.exists(image_path):
            os.remove(image_path)
        sys.exit(f"{image_path}: {error}; deleted")


if __name__ == "__main__":
    main()
