// Runs the image named by MAPCUE_IMAGE away from its preferred base, as Windows' address
// space randomisation does and Wine never does: sections copied, relocations applied, each
// section given its own protection, imports bound with only the IAT directory's range made
// writable (as Windows binds them; Wine opens each import's slots, wherever they lie), then
// its entry called with this process's command line. An absolute address missing from the
// relocation table would still point into this program's own image.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "host_files.h"

namespace {

DWORD protection(DWORD characteristics) {
  const bool write = (characteristics & IMAGE_SCN_MEM_WRITE) != 0;
  if ((characteristics & IMAGE_SCN_MEM_EXECUTE) != 0) {
    return write ? PAGE_EXECUTE_READWRITE : PAGE_EXECUTE_READ;
  }
  return write ? PAGE_READWRITE : PAGE_READONLY;
}

}  // namespace

int main() {
  char path[MAX_PATH];
  if (GetEnvironmentVariableA("MAPCUE_IMAGE", path, MAX_PATH) == 0) return 0xDEAD0010;
  const std::string file = read_file(path);
  if (file.size() < sizeof(IMAGE_DOS_HEADER)) return 0xDEAD0011;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(file.data() + dos->e_lfanew);
  const IMAGE_OPTIONAL_HEADER32& opt = nt->OptionalHeader;

  auto* base = static_cast<char*>(
      VirtualAlloc(nullptr, opt.SizeOfImage, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  if (base == nullptr || reinterpret_cast<DWORD>(base) == opt.ImageBase) return 0xDEAD0012;
  std::copy_n(file.data(), opt.SizeOfHeaders, base);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    std::copy_n(file.data() + section->PointerToRawData, section->SizeOfRawData,
                base + section->VirtualAddress);
  }

  const IMAGE_DATA_DIRECTORY& relocs = opt.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
  if (relocs.Size == 0) return 0xDEAD0013;
  const DWORD delta = reinterpret_cast<DWORD>(base) - opt.ImageBase;
  for (DWORD at = 0; at < relocs.Size;) {
    const auto* block = reinterpret_cast<IMAGE_BASE_RELOCATION*>(base + relocs.VirtualAddress + at);
    if (block->SizeOfBlock == 0) break;
    const auto* entry = reinterpret_cast<const WORD*>(block + 1);
    for (DWORD n = (block->SizeOfBlock - sizeof *block) / 2; n > 0; --n, ++entry) {
      if (*entry >> 12 == IMAGE_REL_BASED_HIGHLOW) {
        *reinterpret_cast<DWORD*>(base + block->VirtualAddress + (*entry & 0xFFF)) += delta;
      } else if (*entry >> 12 != IMAGE_REL_BASED_ABSOLUTE) {
        return 0xDEAD0014;
      }
    }
    at += block->SizeOfBlock;
  }

  DWORD old;
  VirtualProtect(base, opt.SizeOfHeaders, PAGE_READONLY, &old);
  section = IMAGE_FIRST_SECTION(nt);
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    VirtualProtect(base + section->VirtualAddress, section->Misc.VirtualSize,
                   protection(section->Characteristics), &old);
  }
  const IMAGE_DATA_DIRECTORY& iat = opt.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
  DWORD iat_protection;
  if (iat.Size == 0 ||
      !VirtualProtect(base + iat.VirtualAddress, iat.Size, PAGE_READWRITE, &iat_protection)) {
    return 0xDEAD0017;
  }
  const IMAGE_DATA_DIRECTORY& imports = opt.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       dll->Name != 0; ++dll) {
    const HMODULE module = LoadLibraryA(base + dll->Name);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + dll->FirstThunk);
    const auto* name = reinterpret_cast<IMAGE_THUNK_DATA32*>(
        base + (dll->OriginalFirstThunk != 0 ? dll->OriginalFirstThunk : dll->FirstThunk));
    for (; name->u1.AddressOfData != 0; ++name, ++slot) {
      const auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
      slot->u1.Function = reinterpret_cast<DWORD>(GetProcAddress(module, by_name->Name));
      if (slot->u1.Function == 0) return 0xDEAD0015;
    }
  }

  VirtualProtect(base + iat.VirtualAddress, iat.Size, iat_protection, &old);

  std::fflush(stdout);
  reinterpret_cast<void (*)()>(base + opt.AddressOfEntryPoint)();
  return 0xDEAD0016;  // the entry ends the process itself
}
