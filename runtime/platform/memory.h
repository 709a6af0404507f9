// Memory the application image needs: blocks whose addresses fit in 32 bits,
// and call stubs there that forward to native functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corv::platform {

/// A zeroed, writable block placed below 4 GiB so that 32-bit fix-ups can
/// hold its real addresses. Null when no such memory is available. Never freed.
uint8_t *AllocateLowMemory(size_t size);

/// A call stub below 4 GiB that jumps to `target`; returns its address, or 0
/// when stubs cannot be made. Stubs live until the process ends.
uint32_t MakeLowCallStub(void *target);

}  // namespace corv::platform
