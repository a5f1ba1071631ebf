#!/usr/bin/python3
"""Both files on an emulated CPU, kernel32 and WNetGetConnectionA answered as documented, each
case held to the core built for this host (ORACLE), with what only the machine code shows.

usage: emulate.py ORACLE CORPUS_DIR EXE..."""
import collections
import itertools
import os
import random
import re
import struct
import subprocess
import sys
import time

import pefile
import unicorn as U
from unicorn import x86_const as X

STACK, LINE, STUBS, SPAN, TOP = 0x100000, 0x200000, 0x300000, 0x10000, 0x10FEF8
MPR, INHERITED_MODE, WRITE_MODE, STD_OUT, STARTUP_OUT = 0x6D700000, 2, 0x8001, 0x1C, 0x2C
SYSTEM_DIR = b"C:\\Windows\\system32"
LOAD = ("LoadLibraryExA", SYSTEM_DIR + b"\\mpr.dll", 0, 8)  # LOAD_WITH_ALTERED_SEARCH_PATH
DRIVES = {b"m": b"\\\\fileserver\\public", b"n": b"\\\\fileserver\\public\\docs",
          b"j": b"\\\\fileserver\\" + b"j" * 241, b"k": b"\\\\fileserver\\" + b"k" * 242,
          b"u": "\\\\s\xe9rveur\\donn\xe9es\xfc".encode("cp1252"), b"e": b""}
# Per machine: STARTUPINFOA's dwFlags, hStdInput, hStdOutput, hStdError and size, and a base
# that leaves the preferred one unmapped, so that a relocation not applied faults.
ARCHES = {0x14C: ("x86", (44, 56, 60, 64, 68), 0x10000000),
          0x8664: ("x64", (60, 80, 88, 96, 104), 0x7FF650000000)}
# mov dword [esp/ebp/rsp/rbp + disp], 0xff: the size stated to WNetGetConnectionA.
STORE_255 = re.compile(rb"\xc7(?:\x44\x24.|\x45.|\x84\x24....|\x85....)\xff\x00\x00\x00", re.S)
SCN = pefile.SECTION_CHARACTERISTICS


class Machine:
    """One image at one base; reset, not rebuilt, between cases: four times faster."""

    def __init__(self, data, base):
        pe = pefile.PE(data=data)
        arch, self.info, _ = ARCHES[pe.FILE_HEADER.Machine]
        r, self.ptr, self.size = ("R", "<Q", 8) if arch == "x64" else ("E", "<I", 4)
        self.sp, self.pc, self.ax = (getattr(X, f"UC_X86_REG_{r}{n}") for n in ("SP", "IP", "AX"))
        # x64 passes four in registers, stdcall none.
        self.regs = [getattr(X, f"UC_X86_REG_{n}") for n in ("RCX", "RDX", "R8", "R9") if r == "R"]
        imports = [(i.name.decode(), i.address - pe.OPTIONAL_HEADER.ImageBase)
                   for d in pe.DIRECTORY_ENTRY_IMPORT for i in d.imports]
        self.stubs = [name for name, _ in imports] + ["WNetGetConnectionA", "a return from entry"]
        pe.relocate_image(base)
        image = bytearray(pe.get_memory_mapped_image())
        image += bytes(pe.OPTIONAL_HEADER.SizeOfImage - len(image))
        for n, (_, rva) in enumerate(imports):
            struct.pack_into(self.ptr, image, rva, STUBS + 16 * n)
        self.uc = U.Uc(U.UC_ARCH_X86, U.UC_MODE_64 if r == "R" else U.UC_MODE_32)
        self.entry, self.writable = base + pe.OPTIONAL_HEADER.AddressOfEntryPoint, []
        for rva, size, flags in [(0, 1, 0)] + [(s.VirtualAddress, max(
                s.Misc_VirtualSize, s.SizeOfRawData), s.Characteristics) for s in pe.sections]:
            prot = U.UC_PROT_READ | (flags & SCN["IMAGE_SCN_MEM_WRITE"] and U.UC_PROT_WRITE) | (
                flags & SCN["IMAGE_SCN_MEM_EXECUTE"] and U.UC_PROT_EXEC)
            chunk = bytes(image[rva:rva + ((size + 0xFFF) & -0x1000)])
            self.uc.mem_map(base + rva, len(chunk), prot)
            self.uc.mem_write(base + rva, chunk)
            self.writable += [(base + rva, chunk)] if prot & U.UC_PROT_WRITE else []
        for start in STACK, LINE, STUBS:
            self.uc.mem_map(start, SPAN, U.UC_PROT_ALL if start == STUBS else 3)
        self.uc.hook_add(U.UC_HOOK_CODE, self.call, begin=STUBS, end=STUBS + SPAN - 1)

    def run(self, line, startup):
        """The exit status, and the calls that matter as events."""
        self.startup, self.mode, self.status, self.trace = startup, INHERITED_MODE, None, []
        # The stack dirty, so that a buffer left unzeroed shows; TOP as after a call, which x64
        # code relies on to align it.
        for start, chunk in self.writable + [(STACK, b"\xcc" * SPAN), (LINE, line + b"\0"), (
                TOP, struct.pack(self.ptr, STUBS + 16 * len(self.stubs) - 16))]:
            self.uc.mem_write(start, chunk)
        self.uc.reg_write(self.sp, TOP)
        try:
            self.uc.emu_start(self.entry, 0, count=1_000_000)
        except (RuntimeError, U.UcError) as e:
            self.trace.append(("fault", str(e)))
        return self.status, self.trace

    def word(self, address, fmt="<I"):
        return struct.unpack(fmt, self.uc.mem_read(address, struct.calcsize(fmt)))[0]

    def string(self, address):
        text = b""
        while b"\0" not in text:  # a page at a time: the next one may not be mapped
            text += self.uc.mem_read(address + len(text), 0x1000 - (address + len(text)) % 0x1000)
        return text.split(b"\0")[0]

    def call(self, uc, address, _size, _data):
        name, sp = self.stubs[(address - STUBS) // 16], uc.reg_read(self.sp)
        if not hasattr(self, name):
            raise RuntimeError(f"call to {name}")
        count = getattr(self, name).__code__.co_argcount - 1
        # Past the return address; x64 leaves home slots there for its register arguments.
        result = getattr(self, name)(*[uc.reg_read(r) for r in self.regs[:count]] + [
            self.word(sp + self.size * (1 + n), self.ptr) for n in range(len(self.regs), count)])
        if self.status is not None:
            return uc.emu_stop()
        uc.reg_write(self.ax, result or 0)
        # The callee pops the arguments in stdcall, the caller in x64.
        uc.reg_write(self.sp, sp + self.size + (0 if self.regs else 4 * count))
        uc.reg_write(self.pc, self.word(sp, self.ptr))

    def ExitProcess(self, status):
        self.status = status & 0xFFFFFFFF

    def GetCommandLineA(self):
        return LINE

    def GetStdHandle(self, which):
        return STD_OUT if which & 0xFFFFFFFF == 0xFFFFFFF5 else self.trace.append(("std", which))

    def GetStartupInfoA(self, info):
        flags, stdin, stdout, stderr, size = self.info
        self.uc.mem_write(info, bytes(size))
        # Without USESTDHANDLES another flag, and an output handle all the same: only that bit
        # may choose it.
        for at, fmt, value in ((0, "<I", size), (flags, "<I", 0x100 if self.startup else 1), (
                stdin, self.ptr, 0x4C), (stdout, self.ptr, STARTUP_OUT), (stderr, self.ptr, 0x5C)):
            self.uc.mem_write(info + at, struct.pack(fmt, value))

    def SetErrorMode(self, mode):
        self.trace.append(("SetErrorMode", mode & 0xFFFFFFFF))
        previous, self.mode = self.mode, mode & 0xFFFFFFFF
        return previous

    def WriteFile(self, handle, data, count, written, overlapped):
        data = bytes(self.uc.mem_read(data, count & 0xFFFFFFFF))
        self.trace.append(("WriteFile", handle, data, self.mode, overlapped))
        self.uc.mem_write(written, struct.pack("<I", len(data)))
        return 1

    def GetSystemDirectoryA(self, buffer, size):
        fits = size & 0xFFFFFFFF > len(SYSTEM_DIR)
        self.uc.mem_write(buffer, SYSTEM_DIR + b"\0" if fits else b"")
        return len(SYSTEM_DIR) + (not fits)

    def LoadLibraryExA(self, path, file, flags):
        self.trace.append(("LoadLibraryExA", self.string(path), file, flags & 0xFFFFFFFF))
        return MPR if self.trace[-1][1] == LOAD[1] else 0

    def GetProcAddress(self, module, name):
        found = module == MPR and name > 0xFFFF and self.string(name) == b"WNetGetConnectionA"
        return STUBS + 16 * (len(self.stubs) - 2) if found else 0

    def WNetGetConnectionA(self, device, remote, size_at):
        name, size = self.string(device), self.word(size_at)
        self.trace.append(("WNetGetConnectionA", name, size,
                           not any(self.uc.mem_read(remote, size + 1))))  # a zero past it too
        found = DRIVES.get(name[:1].lower()) if name[1:] == b":" else None
        if found is None:
            return 2250  # ERROR_NOT_CONNECTED
        if len(found) >= size:  # no room for its zero
            self.uc.mem_write(size_at, struct.pack("<I", len(found) + 1))
            return 234  # ERROR_MORE_DATA
        self.uc.mem_write(remote, found + b"\0")
        return 0


def expected(status, output, devices, handle):
    """From the oracle's answer: each lookup after loading mpr.dll by its full path, with a
    zeroed buffer stated as 255 bytes; one write per line's text and one per line end, each in
    the no-dialog error mode, the inherited one restored after it."""
    trace = [e for device in devices for e in (LOAD, ("WNetGetConnectionA", device, 255, True))]
    for text in output.split(b"\r\n")[:-1]:
        for piece in [text] * bool(text) + [b"\r\n"]:
            trace += [("SetErrorMode", WRITE_MODE), ("WriteFile", handle, piece, WRITE_MODE, 0),
                      ("SetErrorMode", INHERITED_MODE)]
    return status, trace


def cases(corpus, seed=1):
    table = [b"mapcue " + letter + colon for lower in list(DRIVES) + [b"a", b"q", b"z"]
             for letter in (lower, lower.upper()) for colon in (b"", b":")]
    rng = random.Random(seed)
    pool = list(b" \t\"\\:" * 8 + b"mnjkueaqzMNJKUEAQZ" * 4 + bytes(range(1, 32)) +
                bytes(range(0x80, 0x100, 5)))
    prefixes = [b"", b"mapcue ", b"mapcue   ", b"\"C:\\Program Files\\mapcue.exe\""]
    generated = [rng.choice(prefixes) + bytes(rng.choices(pool, k=rng.choice(
        [rng.randrange(24)] * 30 + [rng.randrange(32700)]))) for _ in range(2000)]
    return table, [open(os.path.join(corpus, f), "rb").read().split(b"\0")[0]
                   for f in sorted(os.listdir(corpus))] + table + generated


def oracle(path, lines):
    out = subprocess.run([path] + [k + b"=" + v for k, v in DRIVES.items()], check=True,
                         input=b"\0".join(lines) + b"\0", capture_output=True).stdout
    return {line: (int(s), bytes.fromhex(o.decode()), ds.split(b",")[:-1])
            for line, (s, o, ds) in zip(lines, (r.split(b" ") for r in out.splitlines()))}


def run_all(data, base, lines, want, label, failures):
    """Failed cases, and in how many cases each kind of event, or the status, was wrong."""
    start, failed, kinds, m = time.monotonic(), 0, collections.Counter(), Machine(data, base)
    for n, line in enumerate(lines):
        status, trace = m.run(line, startup=n % 2 == 1)
        wanted, events = expected(*want[line], STARTUP_OUT if n % 2 else STD_OUT)
        bad = [(i, g, w) for i, (g, w) in enumerate(itertools.zip_longest(trace, events))
               if g != w]
        found = {(g or w)[0] for _, g, w in bad} | ({"status"} if status != wanted else set())
        kinds.update(found)
        failed += bool(found)
        failures += [f"{label}: {line[:40]!r}: status {status} want {wanted}" + "".join(
            f", event {i}: {g!r:.80} want {w!r:.80}" for i, g, w in bad[:1])] if found else []
    print(f"{label}: {len(lines)} cases, {failed} failed, {time.monotonic() - start:.1f} s")
    return failed, kinds


def main():
    began, (table, lines), failures, passed, failed = time.monotonic(), cases(sys.argv[2]), [], 0, 0
    want = oracle(sys.argv[1], lines)
    for exe in sys.argv[3:]:
        data = open(exe, "rb").read()
        pe = pefile.PE(data=data)
        arch, _, moved = ARCHES[pe.FILE_HEADER.Machine]
        label = f"{os.path.basename(exe)} ({arch})"
        for base, chosen in (moved, lines), (pe.OPTIONAL_HEADER.ImageBase, table):
            f, _ = run_all(data, base, chosen, want, f"{label} at {base:#x}", failures)
            passed, failed = passed + len(chosen) - f, failed + f
        text = pe.sections[0]
        stores = [m.end() - 4 for m in STORE_255.finditer(
            data, text.PointerToRawData, text.PointerToRawData + text.SizeOfRawData)]
        if len(stores) != 1:
            print(f"FAIL {label}: {len(stores)} stores of 255 in .text, want exactly 1")
            failed += 1
            continue
        mutant = data[:stores[0]] + struct.pack("<I", 256) + data[stores[0] + 4:]
        caught, kinds = run_all(mutant, moved, lines, want, f"{label} stating 256", [])
        print(f"  caught: {caught} cases, by "
              + ", ".join(f"{kind} {n}" for kind, n in sorted(kinds.items())))
        # Both ways: the size itself, and the 255-byte name come back whole.
        noticed = {"WNetGetConnectionA", "WriteFile"} <= kinds.keys()
        passed, failed = passed + noticed, failed + (not noticed)
    print("".join(f"FAIL {f}\n" for f in failures[:10]) + f"{time.monotonic() - began:.1f} s in all"
          f"\ncpu: {passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
