// POSIX (x86-64 Linux): low memory through MAP_32BIT and jump stubs there.
#include "platform/memory.h"

#include "platform/jump_stub.h"

#include <sys/mman.h>
#include <unistd.h>

#include <mutex>

namespace corv::platform {
namespace {

constexpr size_t kStubSize = kJumpStubSize;

std::mutex gStubMutex;
uint8_t *gStubPage = nullptr;
size_t gStubUsed = 0;
size_t gStubPageSize = 0;

bool BelowFourGiB(const void *p, size_t size) {
  return reinterpret_cast<uintptr_t>(p) + size <= (uintptr_t{1} << 32);
}

}  // namespace

uint8_t *AllocateLowMemory(size_t size) {
  if (size == 0) size = 1;
  void *block =
      mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  if (!BelowFourGiB(block, size)) {
    munmap(block, size);
    return nullptr;
  }
  return static_cast<uint8_t *>(block);
}

// Each stub jumps to its target. The page is written while
// writable and made executable (never both) before a stub is handed out.
uint32_t MakeLowCallStub(void *target) {
#if defined(__x86_64__)
  std::lock_guard<std::mutex> hold(gStubMutex);
  if (gStubPageSize == 0) gStubPageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  if (!gStubPage || gStubUsed + kStubSize > gStubPageSize) {
    gStubPage = AllocateLowMemory(gStubPageSize);
    gStubUsed = 0;
    if (!gStubPage) return 0;
  }
  if (mprotect(gStubPage, gStubPageSize, PROT_READ | PROT_WRITE) != 0) return 0;
  uint8_t *stub = gStubPage + gStubUsed;
  WriteJumpStub(stub, target);
  gStubUsed += kStubSize;
  mprotect(gStubPage, gStubPageSize, PROT_READ | PROT_EXEC);
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(stub));
#else
  (void)target;
  return 0;
#endif
}

}  // namespace corv::platform
