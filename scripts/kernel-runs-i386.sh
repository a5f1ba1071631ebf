#!/bin/sh
# kernel-runs-i386.sh FOLDER: exits 0 where this kernel executes 32-bit x86 programs, as the 32-bit
# Wine loader is one, else says why in one line. Asks a 93-byte i386 program that only exits, in
# FOLDER: a temporary folder may be mounted noexec, where the answer would read as 64-bit only.
probe=$1/kernel-probe
trap 'rm -f "$probe"' EXIT
{ printf '#!/bin/sh\n' >"$probe" && chmod +x "$probe" && "$probe"; } 2>/dev/null ||
  { echo "no program runs from $1 (noexec?), so the kernel's 32-bit support is unknown"; exit 1; }
echo f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAAAAAAAIAECACABAhdAAAAXQAAAAUAAAAAEAAAuAEAAAAx282A |
  base64 -d >"$probe"
"$probe" 2>/dev/null || { echo "this kernel does not execute 32-bit programs"; exit 1; }
