// The inline-handler-record scan and the frame walk of a raise in image code.
#include "core/handler_search.h"

#include <cstring>

#include "corv.h"

namespace corv {

namespace {

constexpr std::uint8_t kJumpNear = 0xE9;
constexpr std::uint8_t kJumpShort = 0xEB;
constexpr std::uint8_t kLeave = 0xC9;
constexpr std::uint8_t kPopFramePointer = 0x5D;
constexpr std::uint8_t kReturn = 0xC3;

// Where the marker, the slot and the code of a record lie after its jump.
constexpr std::ptrdiff_t kMarkerOffset = 5;
constexpr std::ptrdiff_t kSlotOffset = 11;
constexpr std::ptrdiff_t kHandlerCodeOffset = 13;

// Image code is little-endian whatever the host is.
std::uint32_t ReadU32(const std::uint8_t *p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::int16_t ReadS16(const std::uint8_t *p) {
  return static_cast<std::int16_t>(p[0] | p[1] << 8);
}

}  // namespace

bool ScanForHandler(CodeRange code, const std::uint8_t *ptr, std::int16_t *slot,
                    std::uintptr_t *handlerCode) {
  if (!ptr) {
    CORV_REPORT("ptr", nullptr);
    return false;
  }
  if (!slot) {
    CORV_REPORT("exceptionObjectLocation", nullptr);
    return false;
  }
  if (!handlerCode) {
    CORV_REPORT("handlerCodeLocation", nullptr);
    return false;
  }
  // Reading past the code would fault on the real image; it ends the scan.
  auto readable = [&](const std::uint8_t *p, std::ptrdiff_t bytes) {
    return p >= code.begin && p <= code.end && code.end - p >= bytes;
  };
  int depth = 0;  // protected blocks entered after the return address
  for (const std::uint8_t *p = ptr; readable(p, 1);) {
    std::uint8_t op = p[0];
    if (op == kLeave || op == kPopFramePointer) {
      if (!readable(p, 2)) return false;
      if (p[1] == kReturn) return false;  // the function's epilogue
      ++p;
      continue;
    }
    if (op != kJumpNear && op != kJumpShort) {
      ++p;
      continue;
    }
    if (!readable(p, kMarkerOffset + 4)) return false;
    switch (ReadU32(p + kMarkerOffset)) {
      case kHandlerMarker:
        if (depth == 0) {
          if (!readable(p, kHandlerCodeOffset)) return false;
          *slot = ReadS16(p + kSlotOffset);
          *handlerCode = reinterpret_cast<std::uintptr_t>(p + kHandlerCodeOffset);
          return true;
        }
        ++p;  // the handler of a block that began after the return address
        break;
      case kTryBeginMarker:
        ++depth;
        ++p;
        break;
      case kTryEndMarker:
        if (depth > 0) --depth;
        ++p;
        break;
      default:
        p += op == kJumpShort ? 2 : 3;
        break;
    }
  }
  return false;
}

bool SearchAndTransfer(CodeRange code, FrameRecord *frame, std::uintptr_t top,
                       CORVobject exception) {
  while (frame) {
    FrameRecord *next = frame->savedFramePointer;
    auto nextAddress = reinterpret_cast<std::uintptr_t>(next);
    // A chain that does not rise strictly towards the top is broken (or
    // leaves this thread's stack); following it could loop or fault.
    if (nextAddress <= reinterpret_cast<std::uintptr_t>(frame) || nextAddress > top) break;
    std::uintptr_t ret = frame->returnAddress;
    std::int16_t slot = 0;
    std::uintptr_t handler = 0;
    if (ret != 0 && code.Contains(ret) &&
        ScanForHandler(code, reinterpret_cast<const std::uint8_t *>(ret), &slot, &handler)) {
      if (slot != 0) {
        RuntimeLockObject(exception);
        std::memcpy(reinterpret_cast<char *>(next) + slot, &exception, sizeof exception);
      }
      frame->returnAddress = handler;
      return true;
    }
    frame = next;
  }
  RuntimeUnhandledException(exception);
  return false;
}

}  // namespace corv
