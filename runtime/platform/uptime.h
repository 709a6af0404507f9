// The system's up-time counter, for the language's Ticks.
#pragma once

#include <cstdint>

namespace corv::platform {

/// Milliseconds since the system started, taken as unsigned 32-bit (wraps).
uint32_t UptimeMilliseconds();

}  // namespace corv::platform
