// Finding the handler that receives an exception raised under compiled image
// code: the scan of the code after a return address for inline handler
// records, and the walk along the chain of saved frame pointers.
//
// Compiled functions carry their handlers inline, each record hidden behind a
// jump over it: try-begin (E9 rel32=4, u32 0x412), handler (E9 rel32 over the
// handler block, u32 0x411, u16 0, s16 slot, handler code) and try-end (E9
// rel32=4, u32 0x413). Both functions only read inside the code range and
// only follow frames that rise strictly towards the stack top, so a damaged
// chain or stray bytes end the search instead of faulting or looping.
#pragma once

#include <cstdint>

#include "corv_types.h"

namespace corv {

inline constexpr std::uint32_t kHandlerMarker = 0x411;
inline constexpr std::uint32_t kTryBeginMarker = 0x412;
inline constexpr std::uint32_t kTryEndMarker = 0x413;

/// The compiled code of the image: [begin, end).
struct CodeRange {
  const std::uint8_t *begin = nullptr;
  const std::uint8_t *end = nullptr;

  bool Contains(std::uintptr_t address) const {
    return address >= reinterpret_cast<std::uintptr_t>(begin) &&
           address < reinterpret_cast<std::uintptr_t>(end);
  }
};

/// The record a compiled function's frame pointer points at: the caller's
/// saved frame pointer, then the return address into the caller.
struct FrameRecord {
  FrameRecord *savedFramePointer;
  std::uintptr_t returnAddress;
};

/// Scans the code from `ptr` (a return address) for the handler of the
/// protected region it lies in. On success stores the handler's exception
/// slot (offset from its frame pointer; 0 for none) and the address of its
/// code, and returns true. Reports "ptr", "exceptionObjectLocation" or
/// "handlerCodeLocation" when called without one of them.
bool ScanForHandler(CodeRange code, const std::uint8_t *ptr, std::int16_t *slot,
                    std::uintptr_t *handlerCode);

/// Walks the frames from `frame` (the searching function's own) up to `top`
/// for the nearest handler. When one is found, stores the exception into the
/// handler's slot with a new reference (none for slot 0), redirects that
/// frame's return address to the handler's code and returns true. Otherwise
/// calls RuntimeUnhandledException and returns false.
bool SearchAndTransfer(CodeRange code, FrameRecord *frame, std::uintptr_t top,
                       CORVobject exception);

}  // namespace corv
