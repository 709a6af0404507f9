// The bytes of a call stub on x86-64, the same on every platform:
// `movabs rax, target; jmp rax`, padded with int3.
#pragma once

#include <cstdint>
#include <cstring>

namespace corv::platform {

inline constexpr size_t kJumpStubSize = 16;

inline void WriteJumpStub(uint8_t *stub, const void *target) {
  uint64_t address = reinterpret_cast<uint64_t>(target);
  stub[0] = 0x48;  // movabs rax, imm64
  stub[1] = 0xB8;
  std::memcpy(stub + 2, &address, sizeof address);
  stub[10] = 0xFF;  // jmp rax
  stub[11] = 0xE0;
  std::memset(stub + 12, 0xCC, kJumpStubSize - 12);
}

}  // namespace corv::platform
