// The stack bounds of the running cooperative thread, read by the
// stack-overflow check and by the search for an exception handler.
//
// Every cooperative thread has one StackBounds record; exactly one record is
// current at a time, the main thread's until the scheduler switches to a
// fiber; the scheduler makes each thread's record current as it switches.
#pragma once

#include <cstdint>

namespace corv {

/// Compiled functions raise StackOverflowException when less than this many
/// bytes are left above their thread's limit.
inline constexpr std::uintptr_t kStackReserve = 0x2000;

/// One cooperative thread's stack: `limit` is the lowest usable address and
/// `top` the highest (the position its stack checker was started at). Both
/// are 0 until the thread's checker is initialised, which disables the check.
struct StackBounds {
  std::uintptr_t limit = 0;
  std::uintptr_t top = 0;
};

/// The record of the running cooperative thread.
StackBounds &CurrentStackBounds();

/// The main thread's record.
StackBounds &MainStackBounds();

/// Makes `bounds` current (null: the main thread's record) and returns the
/// record that was current before. The scheduler calls this at every switch.
StackBounds *SwitchStackBounds(StackBounds *bounds);

/// The limit last set by CORVInitStackChecker on any thread.
std::uintptr_t ProcessStackLimit();

}  // namespace corv
