// The symbol of a code address on Windows: the export directory of the
// module it lies in, the nearest export at or below it. Programs export all
// their functions for this (the linker's --export-all-symbols).
#include <windows.h>

#include "platform/symbol_lookup.h"

namespace corv::platform {

std::string SymbolContaining(const void *inside) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<const wchar_t *>(inside), &module))
    return {};
  auto *base = reinterpret_cast<const uint8_t *>(module);
  auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
  auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY &directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.VirtualAddress == 0 || directory.Size == 0) return {};
  auto *exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + directory.VirtualAddress);
  auto *functions = reinterpret_cast<const DWORD *>(base + exports->AddressOfFunctions);
  auto *names = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
  auto *ordinals = reinterpret_cast<const WORD *>(base + exports->AddressOfNameOrdinals);
  uintptr_t target = reinterpret_cast<uintptr_t>(inside) - reinterpret_cast<uintptr_t>(base);
  const char *best = nullptr;
  DWORD bestAddress = 0;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    DWORD address = functions[ordinals[i]];
    // Forwarded exports point into the directory itself: no code there.
    if (address >= directory.VirtualAddress && address < directory.VirtualAddress + directory.Size)
      continue;
    if (address <= target && address >= bestAddress) {
      bestAddress = address;
      best = reinterpret_cast<const char *>(base + names[i]);
    }
  }
  return best ? best : std::string();
}

}  // namespace corv::platform
