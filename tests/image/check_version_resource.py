#!/usr/bin/python3
"""Reads mapcue.exe's resource directory without Windows: one version resource (type 16),
id 1, language 0x0409, string entries in their fixed order, the translation pair."""
import sys

import pefile

KEYS = ["Comments", "CompanyName", "FileDescription", "FileVersion", "InternalName",
        "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"]

pe = pefile.PE(sys.argv[1])
failures = []


def check(what, got, want):
    print(f"{what}: {got!r}")
    if got != want:
        failures.append(f"{what}: want {want!r}")


types = pe.DIRECTORY_ENTRY_RESOURCE.entries
check("resource types", [t.id for t in types], [pefile.RESOURCE_TYPE["RT_VERSION"]])
names = types[0].directory.entries
check("version ids", [n.id for n in names], [1])
check("languages", [hex(l.id) for l in names[0].directory.entries], ["0x409"])

string_tables = [t for info in pe.FileInfo[0] if info.Key == b"StringFileInfo" for t in info.StringTable]
check("string blocks", [t.LangID for t in string_tables], [b"040904E4"])
entries = string_tables[0].entries if string_tables else {}
check("string order", [k.decode() for k in entries], KEYS)
check("FileDescription is ProductName", entries.get(b"FileDescription"), entries.get(b"ProductName"))
var = [v for info in pe.FileInfo[0] if info.Key == b"VarFileInfo" for v in info.Var]
check("translation", [v.entry for v in var], [{b"Translation": "0x0409 0x04e4"}])

for failure in failures:
    print("FAIL", failure)
sys.exit(1 if failures else 0)
