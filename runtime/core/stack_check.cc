// The stack-overflow check that compiled functions call on entry, and the
// per-thread stack records it reads.
#include "core/stack_check.h"

#include "corv.h"
#include "platform/stack.h"

namespace corv {

namespace {

// The runtime runs on one operating-system thread; its cooperative threads
// take turns being current.
StackBounds gMainBounds;
StackBounds *gCurrentBounds = &gMainBounds;

std::uintptr_t gProcessStackLimit = 0;

}  // namespace

StackBounds &CurrentStackBounds() {
  return *gCurrentBounds;
}

StackBounds &MainStackBounds() {
  return gMainBounds;
}

StackBounds *SwitchStackBounds(StackBounds *bounds) {
  StackBounds *previous = gCurrentBounds;
  gCurrentBounds = bounds ? bounds : &gMainBounds;
  return previous;
}

std::uintptr_t ProcessStackLimit() {
  return gProcessStackLimit;
}

}  // namespace corv

extern "C" void RuntimeStackCheck(void) {
  const corv::StackBounds &bounds = *corv::gCurrentBounds;  // read directly: every call pays
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
