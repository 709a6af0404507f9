// Windows (x86-64): low memory by asking VirtualAlloc for addresses below
// 4 GiB in turn, and jump stubs there.
#include "platform/memory.h"

#include "platform/jump_stub.h"

#include <windows.h>

#include <mutex>

namespace corv::platform {
namespace {

constexpr size_t kStubSize = kJumpStubSize;
// Where the search for free low addresses begins and the step it takes:
// the system hands out reservations on 64 KiB boundaries.
constexpr uintptr_t kLowStart = 0x10000000;
constexpr uintptr_t kGranularity = 0x10000;

std::mutex gLowMutex;
uintptr_t gNextTry = kLowStart;
uint8_t *gStubPage = nullptr;
size_t gStubUsed = 0;
size_t gStubPageSize = 0;

}  // namespace

uint8_t *AllocateLowMemory(size_t size) {
  if (size == 0) size = 1;
  std::lock_guard<std::mutex> hold(gLowMutex);
  const uintptr_t limit = uintptr_t{1} << 32;
  // Two passes: from where the last block was found, then from the start.
  for (int pass = 0; pass < 2; ++pass) {
    for (uintptr_t at = pass ? kGranularity : gNextTry; at + size <= limit; at += kGranularity) {
      void *block = VirtualAlloc(reinterpret_cast<void *>(at), size, MEM_RESERVE | MEM_COMMIT,
                                 PAGE_READWRITE);
      if (!block) continue;
      gNextTry = (at + size + kGranularity - 1) / kGranularity * kGranularity;
      return static_cast<uint8_t *>(block);  // zeroed by the system
    }
  }
  return nullptr;
}

// Each stub jumps to its target. The page is written while
// writable and made executable (never both) before a stub is handed out.
uint32_t MakeLowCallStub(void *target) {
  if (gStubPageSize == 0) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    gStubPageSize = system.dwPageSize;
  }
  if (!gStubPage || gStubUsed + kStubSize > gStubPageSize) {
    gStubPage = AllocateLowMemory(gStubPageSize);
    gStubUsed = 0;
    if (!gStubPage) return 0;
  }
  DWORD old;
  if (!VirtualProtect(gStubPage, gStubPageSize, PAGE_READWRITE, &old)) return 0;
  uint8_t *stub = gStubPage + gStubUsed;
  WriteJumpStub(stub, target);
  gStubUsed += kStubSize;
  VirtualProtect(gStubPage, gStubPageSize, PAGE_EXECUTE_READ, &old);
  FlushInstructionCache(GetCurrentProcess(), stub, kStubSize);
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(stub));
}

}  // namespace corv::platform
