// The native stack position on POSIX compilers (GCC and Clang).
#include "platform/stack.h"

namespace corv::platform {

std::uintptr_t CurrentStackPosition() {
  // This frame lies just below the caller's (or is the caller's, if inlined);
  // unlike the address of a local it never lands on a sanitizer's fake stack.
  return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
}

}  // namespace corv::platform
