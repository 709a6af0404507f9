// The stack-overflow check that compiled functions call on entry, and the
// per-thread stack records it reads.
#include "core/stack_check.h"

#include "corv.h"
#include "platform/stack.h"

namespace corv {

namespace {

// Per operating-system thread, so that a plugin's own thread can never be
// measured against the runtime thread's limit.
thread_local StackBounds tMainBounds;
thread_local StackBounds *tCurrentBounds = nullptr;  // null: tMainBounds

std::uintptr_t gProcessStackLimit = 0;

}  // namespace

StackBounds &CurrentStackBounds() {
  return tCurrentBounds ? *tCurrentBounds : tMainBounds;
}

StackBounds &MainStackBounds() {
  return tMainBounds;
}

StackBounds *SwitchStackBounds(StackBounds *bounds) {
  StackBounds *previous = &CurrentStackBounds();
  tCurrentBounds = bounds;
  return previous;
}

std::uintptr_t ProcessStackLimit() {
  return gProcessStackLimit;
}

}  // namespace corv

extern "C" void RuntimeStackCheck(void) {
  const corv::StackBounds &bounds = corv::CurrentStackBounds();
  if (corv::platform::CurrentStackPosition() < bounds.limit + corv::kStackReserve)
    CORVRaiseNew(CORVBindDeclaration(&kStackOverflowExceptionDecl));
}

extern "C" void CORVInitStackChecker(uintptr_t size, uintptr_t base) {
  if (base == 0) base = corv::platform::CurrentStackPosition();
  // A size beyond the address space's bottom leaves no limit rather than one
  // that wraps around to the top and fails every check.
  uintptr_t limit = size < base ? base - size : 0;
  corv::StackBounds &bounds = corv::CurrentStackBounds();
  bounds.limit = limit;
  bounds.top = base;
  corv::gProcessStackLimit = limit;
}
