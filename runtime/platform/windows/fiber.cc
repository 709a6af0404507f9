// Fibers on Windows: the system's own, with stacks it reserves. A new fiber
// runs once as soon as it is made, only to learn where its stack lies, and
// switches straight back; its body starts at the first real switch to it.
// A body that is done switches to the fiber it names and is never resumed
// (a fiber's function must not return: that would end the thread).
#include "platform/fiber.h"

#include <windows.h>

#include <atomic>

namespace corv::platform {

struct Fiber {
  void *handle = nullptr;  // the system's fiber
  FiberStart start = nullptr;
  void *argument = nullptr;
  FiberStack stack;
  std::size_t asked = 0;  // the usable stack asked for
  std::size_t reserved = 0;
  void *creator = nullptr;  // switched back to after the first, learning run
  bool finished = false;
};

namespace {

Fiber *gThreadFiber = nullptr;
Fiber *gRunning = nullptr;
std::size_t gReservedBytes = 0;

// Pages at the very bottom of a reservation the system keeps for its own
// overflow handling: the usable stack starts above them.
constexpr std::uintptr_t kSystemReserve = 16 * 1024;

void WINAPI FiberEntry(void *parameter) {
  auto *self = static_cast<Fiber *>(parameter);
  ULONG_PTR low = 0, high = 0;
  GetCurrentThreadStackLimits(&low, &high);
  // The system reserves at least its own minimum (a megabyte): the stack
  // offered is the size asked for, as on every platform.
  std::uintptr_t lowest = low + kSystemReserve;
  if (self->asked < high - lowest) lowest = high - self->asked;
  self->stack = {lowest, high};
  ::SwitchToFiber(self->creator);
  Fiber *next = self->start(self->argument);
  if (!next || next == self || next->finished) next = gThreadFiber;
  self->finished = true;
  gRunning = next;
  ::SwitchToFiber(next->handle);
}

}  // namespace

// GetCurrentFiber reads the thread's information block through the GS
// segment, which the compiler takes for an access outside an empty array.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
Fiber *RunningFiber() {
  if (!gRunning) {
    gThreadFiber = new Fiber;
    gThreadFiber->handle = IsThreadAFiber() ? GetCurrentFiber() : ConvertThreadToFiber(nullptr);
    gRunning = gThreadFiber;
  }
  return gRunning;
}
#pragma GCC diagnostic pop

Fiber *CreateFiber(std::size_t stackSize, FiberStart start, void *argument) {
  Fiber *creator = RunningFiber();
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  std::size_t page = system.dwPageSize;
  std::size_t reserve = (stackSize + kSystemReserve + page - 1) / page * page;
  auto *fiber = new Fiber;
  fiber->start = start;
  fiber->argument = argument;
  fiber->creator = creator->handle;
  fiber->asked = (stackSize + page - 1) / page * page;
  fiber->handle = CreateFiberEx(0, reserve, FIBER_FLAG_FLOAT_SWITCH, FiberEntry, fiber);
  if (!fiber->handle) {
    delete fiber;
    return nullptr;
  }
  fiber->reserved = reserve;
  gReservedBytes += reserve;
  ::SwitchToFiber(fiber->handle);  // learns its stack and comes straight back
  return fiber;
}

void SwitchToFiber(Fiber *to) {
  Fiber *from = RunningFiber();
  if (!to || to == from || to->finished) return;
  gRunning = to;
  ::SwitchToFiber(to->handle);
}

void DeleteFiber(Fiber *fiber) {
  if (!fiber || fiber == gThreadFiber || fiber == gRunning) return;
  ::DeleteFiber(fiber->handle);
  gReservedBytes -= fiber->reserved;
  delete fiber;
}

FiberStack StackOf(const Fiber *fiber) {
  return fiber ? fiber->stack : FiberStack{};
}

std::size_t MappedFiberStackBytes() {
  return gReservedBytes;
}

}  // namespace corv::platform
