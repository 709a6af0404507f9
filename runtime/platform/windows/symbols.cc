// The symbol of a code address on Windows: the function it lies in, by the
// module's unwind table (which knows where each function begins), named by
// the export at that very start. Programs export all their functions for
// this (the linker's --export-all-symbols); a function that is not exported
// has no name, rather than a neighbour's.
#include <windows.h>

#include "platform/symbol_lookup.h"

namespace corv::platform {

std::string SymbolContaining(const void *inside) {
  DWORD64 imageBase = 0;
  PRUNTIME_FUNCTION function =
      RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(inside), &imageBase, nullptr);
  if (!function || imageBase == 0) return {};
  auto *base = reinterpret_cast<const uint8_t *>(imageBase);
  auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
  auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY &directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.VirtualAddress == 0 || directory.Size == 0) return {};
  auto *exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + directory.VirtualAddress);
  auto *functions = reinterpret_cast<const DWORD *>(base + exports->AddressOfFunctions);
  auto *names = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
  auto *ordinals = reinterpret_cast<const WORD *>(base + exports->AddressOfNameOrdinals);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    if (functions[ordinals[i]] == function->BeginAddress)
      return reinterpret_cast<const char *>(base + names[i]);
  return {};
}

}  // namespace corv::platform
