// Where the native stack pointer is, for the stack-overflow check.
#pragma once

#include <cstdint>

namespace corv::platform {

/// An address inside the caller's stack frame. Stacks grow downwards on
/// every platform we run on, so a smaller value means a deeper stack.
std::uintptr_t CurrentStackPosition();

}  // namespace corv::platform
