// Fibers: separate stacks on the process's one system thread, switched
// explicitly. The cooperative thread scheduler runs each language thread on
// one; the thread that calls in first is a fiber too (the thread fiber).
#pragma once

#include <cstddef>
#include <cstdint>

namespace corv::platform {

struct Fiber;

/// What a fiber runs. It returns the fiber to switch to when it is done;
/// the returning fiber is finished then and never runs again.
using FiberStart = Fiber *(*)(void *argument);

/// The usable part of a fiber's stack: `lowest` is its lowest usable
/// address (a guard page lies below it), `top` the address it starts at.
struct FiberStack {
  std::uintptr_t lowest = 0;
  std::uintptr_t top = 0;
};

/// The fiber running now; the first call makes the calling flow of control
/// the thread fiber.
Fiber *RunningFiber();

/// A new fiber with at least `stackSize` usable bytes of stack above a guard
/// page, to run `start(argument)` from the first switch to it. Null when
/// the stack cannot be mapped.
Fiber *CreateFiber(std::size_t stackSize, FiberStart start, void *argument);

/// Suspends the running fiber and resumes `to` (nothing when it is the
/// running one). Returns when some fiber switches back to this one.
void SwitchToFiber(Fiber *to);

/// Frees a fiber that has finished or never ran; the thread fiber and the
/// running fiber are never freed. A fiber suspended mid-way is abandoned
/// with its stack rather than unwound, since its frames may not expect it.
void DeleteFiber(Fiber *fiber);

/// The stack of a fiber made by CreateFiber (zeros for the thread fiber).
FiberStack StackOf(const Fiber *fiber);

/// Bytes of fiber stack mapped now, guard pages included (tests).
std::size_t MappedFiberStackBytes();

}  // namespace corv::platform
