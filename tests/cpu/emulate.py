#!/usr/bin/python3
"""emulate.py ORACLE CORPUS_DIR EXE MACHINE...: each file, of the machine it is listed for (I386,
AMD64, ARM64), on an emulated CPU, kernel32 and mpr.dll as documented, each case held to the core
built for this host and to what only machine code shows."""
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

STACK, LINE, STUBS, SPAN, TOP = 0x100000, 0x200000, 0x300000, 0x10000, 0x10FF00
MPR, INHERITED_MODE, WRITE_MODE, STD_OUT, STARTUP_OUT = 0x6D700000, 2, 0x8001, 0x1C, 0x2C
SYSTEM_DIR = b"C:\\Windows\\system32"
LOAD = ("LoadLibraryExA", SYSTEM_DIR + b"\\mpr.dll", 0, 8)  # LOAD_WITH_ALTERED_SEARCH_PATH
DRIVES = {b"m": b"\\\\fileserver\\public", b"n": b"\\\\fileserver\\public\\docs",
          b"j": b"\\\\fileserver\\" + b"j" * 241, b"k": b"\\\\fileserver\\" + b"k" * 242,
          b"u": b"\\\\s\xe9rveur\\donn\xe9es\xfc", b"e": b""}
# mov dword [esp/ebp/rsp/rbp + disp], 0xff: the size stated to WNetGetConnectionA.
STORE_255 = re.compile(rb"\xc7(?:\x44\x24.|\x45.|\x84\x24....|\x85....)\xff\x00\x00\x00", re.S)


def x86_256(code): return STORE_255.subn(lambda m: m[0][:-4] + struct.pack("<I", 256), code)


def arm64_256(code):
    """mov wN, #255 that str wN, [sp, #imm] stores soon after; not the 255 of a failed start."""
    words = struct.unpack(f"<{len(code) // 4}I", code)
    at = {n for n, w in enumerate(words) if w & ~0x1F == 0x52801FE0 and any(
        v & 0xFFC003FF == 0xB90003E0 | w & 0x1F for v in words[n + 1:n + 9])}
    return b"".join(struct.pack("<I", w + 0x20 * (n in at)) for n, w in enumerate(words)), len(at)


# Per machine: Unicorn's CPU and mode; its stack, program, result and link (if any) registers,
# then its argument ones; STARTUPINFOA as cb, dwFlags and hStdOutput, the rest zero; a base that
# leaves the preferred one unmapped, so that a relocation not applied faults; .text stating 256.
ARCHES = {
    0x14C: ("x86", "X86", U.UC_MODE_32, "ESP EIP EAX", "", "<I40xI12xI4x", 0x10000000, x86_256),
    0x8664: ("x64", "X86", U.UC_MODE_64, "RSP RIP RAX", "RCX RDX R8 R9", "<I56xI24xQ8x",
             0x7FF6 << 32, x86_256),
    0xAA64: ("arm64", "ARM64", U.UC_MODE_ARM, "SP PC X0 LR", "X0 X1 X2 X3 X4 X5 X6 X7",
             "<I56xI24xQ8x", 0x7FF6 << 32, arm64_256)}


class Machine:
    """One image at one base; reset, not rebuilt, between cases: four times faster."""

    def __init__(self, data, base):
        pe = pefile.PE(data=data)
        _, cpu, mode, fixed, args, self.info, _, _ = ARCHES[pe.FILE_HEADER.Machine]
        self.ptr = "Q" if pe.PE_TYPE == pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS else "I"
        self.size, const = struct.calcsize(self.ptr), getattr(U, f"{cpu.lower()}_const")
        (self.sp, self.pc, self.ax, *self.link), self.regs = (
            [getattr(const, f"UC_{cpu}_REG_{n}") for n in names.split()] for names in (fixed, args))
        imports = {i.name.decode(): i.address - pe.OPTIONAL_HEADER.ImageBase
                   for d in pe.DIRECTORY_ENTRY_IMPORT for i in d.imports}
        self.stubs = [*imports, "WNetGetConnectionA", "a return from entry"]
        image = bytearray(pe.get_memory_mapped_image(ImageBase=base))
        image += bytes(pe.OPTIONAL_HEADER.SizeOfImage - len(image))
        for n, rva in enumerate(imports.values()):
            struct.pack_into("<" + self.ptr, image, rva, STUBS + 16 * n)
        self.uc = U.Uc(getattr(U, f"UC_ARCH_{cpu}"), mode)
        self.entry, self.image = base + pe.OPTIONAL_HEADER.AddressOfEntryPoint, (base, bytes(image))
        for start, prot in (base, 1), (STACK, 3), (LINE, 3), (STUBS, 5):  # read, write, execute
            self.uc.mem_map(start, len(image) if start == base else SPAN, prot)
        for s in pe.sections:
            self.uc.mem_protect(base + s.VirtualAddress, s.Misc_VirtualSize + 0xFFF & -0x1000,
                                1 | 2 * s.IMAGE_SCN_MEM_WRITE | 4 * s.IMAGE_SCN_MEM_EXECUTE)
        self.uc.hook_add(U.UC_HOOK_CODE, self.call, begin=STUBS, end=STUBS + SPAN - 1)

    def run(self, line, startup):
        """The calls that matter as events, ExitProcess's status last; None: no line to be had."""
        self.line, self.startup, self.mode, self.trace = line, startup, INHERITED_MODE, []
        # The image afresh, the stack dirty to show unzeroed buffers, TOP aligned as before a call.
        back, sp = STUBS + 16 * len(self.stubs) - 16, TOP - self.size * (not self.link)
        for start, chunk in self.image, (STACK, b"\xcc" * SPAN), (LINE, (line or b"") + b"\0"), (
                sp, struct.pack("<" + self.ptr, back)):
            self.uc.mem_write(start, chunk)
        for reg, value in (self.sp, sp), *((link, back) for link in self.link):
            self.uc.reg_write(reg, value)
        try:
            self.uc.emu_start(self.entry, 0, count=1_000_000)
        except (AttributeError, StopIteration, U.UcError) as e:  # no handler, or no memory
            self.trace.append(("fault", str(e)))
        return self.trace

    def string(self, address):  # up to its region's end: the next may not be mapped
        end = next(last for first, last, _ in self.uc.mem_regions() if first <= address <= last)
        return bytes(self.uc.mem_read(address, end + 1 - address)).split(b"\0")[0]

    def call(self, uc, address, _size, _data):
        handler, sp = getattr(self, self.stubs[(address - STUBS) // 16]), uc.reg_read(self.sp)
        count = handler.__code__.co_argcount  # self standing for the return address
        # x64 passes the first four in registers, the rest past its home slots for them.
        words = struct.unpack(f"<{count}{self.ptr}", uc.mem_read(sp, self.size * count))
        back, *stack = [*map(uc.reg_read, self.link), *words]  # from its register, else pushed
        result = handler(*[uc.reg_read(r) for r in self.regs[:count - 1]], *stack[len(self.regs):])
        if handler == self.ExitProcess:
            return uc.emu_stop()
        sp += self.size * (0 if self.link else 1 if self.regs else count)  # stdcall pops all
        for reg, value in (self.ax, result or 0), (self.pc, back), (self.sp, sp):
            uc.reg_write(reg, value)

    def ExitProcess(self, status):
        self.trace.append(("ExitProcess", status & 0xFFFFFFFF))

    def GetCommandLineA(self): return 0 if self.line is None else LINE

    def GetStdHandle(self, which):
        return STD_OUT if which & 0xFFFFFFFF == 0xFFFFFFF5 else self.trace.append(("std", which))

    def GetStartupInfoA(self, info):
        # Without USESTDHANDLES another flag, the handle all the same: only that bit may choose it.
        self.uc.mem_write(info, struct.pack(self.info, struct.calcsize(self.info),
                                            0x100 if self.startup else 1, STARTUP_OUT))

    def SetErrorMode(self, mode):
        previous, self.mode = self.mode, mode & 0xFFFFFFFF
        self.trace.append(("SetErrorMode", self.mode))
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
        name, size = self.string(device), int.from_bytes(self.uc.mem_read(size_at, 4), "little")
        self.trace.append(("WNetGetConnectionA", name, size,
                           not any(self.uc.mem_read(remote, size + 1))))  # a zero past it too
        found = DRIVES.get(name[:1].lower()) if name[1:] == b":" else None
        if found is None:
            return 2250  # ERROR_NOT_CONNECTED
        fits = len(found) < size  # with its zero
        self.uc.mem_write(*(remote, found + b"\0") if fits else (
            size_at, struct.pack("<I", len(found) + 1)))
        return 0 if fits else 234  # ERROR_MORE_DATA


def expected(status, output, devices, handle):
    """From the oracle's answer: mpr.dll loaded by its full path for each lookup, with a zeroed
    buffer stated as 255 bytes; texts and line ends written apart in the no-dialog error mode."""
    trace = [e for device in devices for e in (LOAD, ("WNetGetConnectionA", device, 255, True))]
    for piece in filter(None, re.split(rb"(\r\n)", output)):
        trace += [("SetErrorMode", WRITE_MODE), ("WriteFile", handle, piece, WRITE_MODE, 0),
                  ("SetErrorMode", INHERITED_MODE)]
    return trace + [("ExitProcess", status)]


def cases(corpus):
    """The table of letters, and no line; then the corpus, the table and random lines, some long."""
    letters, rng = b"mnjkueaqzMNJKUEAQZ", random.Random(1)  # every drive, and three more
    table = [b"mapcue %c%s" % (c, colon) for c in letters for colon in (b"", b":")]
    pool = b" \t\"\\:" * 8 + letters * 4 + bytes([*range(1, 32), *range(0x80, 256, 5)])
    prefixes = [b"", b"mapcue ", b"mapcue   ", b"\"C:\\Program Files\\mapcue.exe\""]
    generated = [rng.choice(prefixes) + bytes(rng.choices(pool, k=rng.randrange(
        32700 if n % 31 == 0 else 24))) for n in range(2000)]
    return table + [None], [open(os.path.join(corpus, f), "rb").read().split(b"\0")[0]
                   for f in sorted(os.listdir(corpus))] + table + generated


def oracle(path, lines):
    out = subprocess.run([path] + [c + b"=" + v for k, v in DRIVES.items() for c in (k, k.upper())],
                         input=b"\0".join(lines) + b"\0", capture_output=True, check=True).stdout
    # No line at all: 255 as the contract states it, as the core's would follow a wrong constant.
    return {None: (255, b"", [])} | {line: (int(s), bytes.fromhex(o.decode()), ds)
            for line, (s, o, *ds) in zip(lines, (r.split(b" ") for r in out.splitlines()))}


def run_all(data, base, lines, want, label, failures):
    m, wrong = Machine(data, base), []
    for n, line in enumerate(lines):
        got, events = m.run(line, n % 2), expected(*want[line], (STD_OUT, STARTUP_OUT)[n % 2])
        bad = [(i, g, w) for i, (g, w) in enumerate(itertools.zip_longest(got, events)) if g != w]
        wrong += [{(g or w)[0] for _, g, w in bad}] if bad else []
        failures += [f"{label}: {line and line[:40]!r}: event {i}: {g!r:.80} want {w!r:.80}"
                     for i, g, w in bad[:1]]
    print(f"{label}: {len(lines)} cases, {len(wrong)} failed" + "".join(
        f", {kind} {sum(kind in w for w in wrong)}" for kind in sorted(set().union(*wrong))))
    return set().union(*wrong)


def main():
    began, (table, lines), failures = time.monotonic(), cases(sys.argv[2]), []
    want, checks = oracle(sys.argv[1], lines), len(sys.argv[3::2]) * (len(lines) + len(table) + 1)
    for exe, listed in zip(sys.argv[3::2], sys.argv[4::2]):
        pe = pefile.PE(data=(data := open(exe, "rb").read()))
        if pe.FILE_HEADER.Machine != pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_" + listed]:
            failures.insert(0, f"{exe}: machine {pe.FILE_HEADER.Machine:#x}, listed as {listed}")
            continue
        (arch, *_, moved, stating_256), text = ARCHES[pe.FILE_HEADER.Machine], pe.sections[0]
        label = f"{os.path.basename(exe)} ({arch})"
        for base, chosen in (moved, lines), (pe.OPTIONAL_HEADER.ImageBase, table):
            run_all(data, base, chosen, want, f"{label} at {base:#x}", failures)
        code, stores = stating_256(text.get_data())
        mutant = data[:text.PointerToRawData] + code + data[text.PointerToRawData + len(code):]
        caught = run_all(mutant, moved, lines, want, f"{label} stating 256", [])
        # Caught by the size and by the 255-byte name back whole; first, so no case hides it.
        if stores != 1 or not {"WNetGetConnectionA", "WriteFile"} <= caught:
            failures.insert(0, f"{label}: {stores} stores of 255 in .text, want 1 caught both ways")
    print("".join(f"FAIL {f}\n" for f in failures[:10]) + f"{time.monotonic() - began:.1f} s in all"
          f"\ncpu: {checks - len(failures)} passed, {len(failures)} failed")
    return 1 if failures or not checks else 0


if __name__ == "__main__":
    sys.exit(main())
