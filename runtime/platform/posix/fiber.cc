// POSIX fibers: Boost.Context fibers on stacks we map ourselves, so that each
// stack's bounds are known and a guard page lies below it.
//
// A Boost fiber object is the handle of a *suspended* flow of control: a
// switch consumes the target's handle and hands the switcher's own handle
// to whoever runs next. So every switch records which fiber it left
// (gLeaving), and the fiber that is resumed stores the handle it receives
// into that fiber. Under AddressSanitizer every switch is announced with
// __sanitizer_start_switch_fiber and confirmed with
// __sanitizer_finish_switch_fiber; a new fiber confirms first thing.
#include "platform/fiber.h"

#include <sys/mman.h>
#include <unistd.h>

#include <boost/context/fiber.hpp>
#include <new>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define CORV_FIBER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORV_FIBER_ASAN 1
#endif
#endif
#ifdef CORV_FIBER_ASAN
#include <sanitizer/common_interface_defs.h>
#endif

namespace corv::platform {

struct Fiber {
  boost::context::fiber handle;  // empty while it runs and once it finished
  FiberStart start = nullptr;
  void *argument = nullptr;
  FiberStack stack;
  const void *sanitizerBottom = nullptr;  // the stack as the sanitizer knows it
  std::size_t sanitizerSize = 0;
  bool started = false;
  bool finished = false;
};

namespace {

Fiber *gThreadFiber = nullptr;
Fiber *gRunning = nullptr;
Fiber *gLeaving = nullptr;  // the fiber the latest switch left
std::size_t gMappedBytes = 0;

std::size_t PageSize() {
  static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

// Boost's stack-allocator concept: one mapping, its lowest page inaccessible.
struct GuardedStackAllocator {
  std::size_t usable;  // a multiple of the page size
  Fiber *fiber;        // learns where its stack lies

  boost::context::stack_context allocate() {
    std::size_t total = usable + PageSize();
    void *base = mmap(nullptr, total, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (base == MAP_FAILED) throw std::bad_alloc();
    if (mprotect(base, PageSize(), PROT_NONE) != 0) {
      munmap(base, total);
      throw std::bad_alloc();
    }
    gMappedBytes += total;
    auto lowest = reinterpret_cast<std::uintptr_t>(base) + PageSize();
    fiber->stack = {lowest, lowest + usable};
    fiber->sanitizerBottom = reinterpret_cast<const void *>(lowest);
    fiber->sanitizerSize = usable;
    boost::context::stack_context context;
    context.size = total;
    context.sp = static_cast<char *>(base) + total;
    return context;
  }

  void deallocate(boost::context::stack_context &context) {
    munmap(static_cast<char *>(context.sp) - context.size, context.size);
    gMappedBytes -= context.size;
  }
};

void AnnounceSwitch([[maybe_unused]] void **fakeStack, [[maybe_unused]] const Fiber *to) {
#ifdef CORV_FIBER_ASAN
  __sanitizer_start_switch_fiber(fakeStack, to->sanitizerBottom, to->sanitizerSize);
#endif
}

// `from` learns its bounds here the first time it is left (the thread
// fiber's stack is the sanitizer's to know, not ours).
void ConfirmSwitch([[maybe_unused]] void *fakeStack, [[maybe_unused]] Fiber *from) {
#ifdef CORV_FIBER_ASAN
  const void *bottom = nullptr;
  std::size_t size = 0;
  __sanitizer_finish_switch_fiber(fakeStack, &bottom, &size);
  if (from && !from->sanitizerBottom) {
    from->sanitizerBottom = bottom;
    from->sanitizerSize = size;
  }
#endif
}

// Boost's switch leaves by an indirect jump, not a return, so the processor's
// stack of predicted return addresses keeps one entry too many: every return
// of the resumed fiber would then be predicted as the one before it, and
// mispredicted, all the way up its call chain. One return that matches no
// call (to the next instruction; below the red zone, which the compiler may
// be using) drops the stale entry, and the chain's returns are predicted
// again. Only the prediction changes, never where execution goes.
inline void RealignReturnPredictions() {
#if defined(__x86_64__) && !defined(__CET__)
  asm volatile(
      "lea -128(%%rsp), %%rsp\n\t"
      "lea 1f(%%rip), %%rax\n\t"
      "push %%rax\n\t"
      "ret\n"
      "1:\n\t"
      "lea 128(%%rsp), %%rsp\n\t" ::
          : "rax", "memory");
#endif
}

// The body of a fiber, in a frame of its own below the entry's.
__attribute__((noinline)) Fiber *RunFiberBody(Fiber *fiber) {
  return fiber->start(fiber->argument);
}

boost::context::fiber FiberEntry(Fiber *self, boost::context::fiber &&caller) {
  ConfirmSwitch(nullptr, gLeaving);
  gLeaving->handle = std::move(caller);
  Fiber *next = RunFiberBody(self);
  if (!next || next == self || !next->handle) next = gThreadFiber;
  self->finished = true;
  gLeaving = self;
  gRunning = next;
#ifdef CORV_FIBER_ASAN
  __sanitizer_start_switch_fiber(nullptr, next->sanitizerBottom, next->sanitizerSize);
#endif
  return std::move(next->handle);  // Boost unmaps this stack once `next` runs
}

}  // namespace

Fiber *RunningFiber() {
  if (!gRunning) {
    gThreadFiber = new Fiber;
    gThreadFiber->started = true;
    gRunning = gThreadFiber;
  }
  return gRunning;
}

Fiber *CreateFiber(std::size_t stackSize, FiberStart start, void *argument) {
  RunningFiber();
  std::size_t page = PageSize();
  std::size_t usable = (stackSize + page - 1) / page * page;
  if (usable == 0) usable = page;
  auto *fiber = new Fiber;
  fiber->start = start;
  fiber->argument = argument;
  try {
    fiber->handle = boost::context::fiber(
        std::allocator_arg, GuardedStackAllocator{usable, fiber},
        [fiber](boost::context::fiber &&caller) { return FiberEntry(fiber, std::move(caller)); });
  } catch (const std::bad_alloc &) {
    delete fiber;
    return nullptr;
  }
  return fiber;
}

void SwitchToFiber(Fiber *to) {
  Fiber *from = RunningFiber();
  if (!to || to == from || !to->handle) return;
  gLeaving = from;
  gRunning = to;
  to->started = true;
  void *fakeStack = nullptr;
  AnnounceSwitch(&fakeStack, to);
  boost::context::fiber back = std::move(to->handle).resume();
  RealignReturnPredictions();
  ConfirmSwitch(fakeStack, gLeaving);
  gLeaving->handle = std::move(back);
}

void DeleteFiber(Fiber *fiber) {
  if (!fiber || fiber == gThreadFiber || fiber == gRunning) return;
  if (fiber->started && !fiber->finished) {
    // Kept reachable, so that its stack is neither unwound nor reported.
    static auto *abandoned = new std::vector<boost::context::fiber>;
    abandoned->push_back(std::move(fiber->handle));
  }
  delete fiber;
}

FiberStack StackOf(const Fiber *fiber) {
  return fiber ? fiber->stack : FiberStack{};
}

std::size_t MappedFiberStackBytes() {
  return gMappedBytes;
}

}  // namespace corv::platform
