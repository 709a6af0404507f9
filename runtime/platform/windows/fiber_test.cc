// Fibers on Windows: switching back and forth, a body that is done handing
// over, stacks where they say, exceptions inside a fiber, and nothing kept
// once deleted.
#include "platform/fiber.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

using namespace corv::platform;

struct PingPong {
  Fiber *back = nullptr;
  std::vector<int> steps;
  std::uintptr_t local = 0;
};

Fiber *Body(void *argument) {
  auto *game = static_cast<PingPong *>(argument);
  int onThisStack = 0;
  game->local = reinterpret_cast<std::uintptr_t>(&onThisStack);
  for (int i = 0; i < 3; ++i) {
    game->steps.push_back(i);
    SwitchToFiber(game->back);
  }
  try {
    throw std::runtime_error("inside");
  } catch (const std::runtime_error &) {
    game->steps.push_back(99);
  }
  return game->back;  // done: on to the caller, never to come back
}

TEST(WindowsFiberTest, SwitchesHandsOverWhenDoneAndFreesItsStack) {
  Fiber *thread = RunningFiber();
  std::size_t before = MappedFiberStackBytes();
  PingPong game;
  game.back = thread;
  Fiber *fiber = CreateFiber(0xE2000, Body, &game);
  ASSERT_NE(fiber, nullptr);
  EXPECT_GE(MappedFiberStackBytes() - before, 0xE2000u);
  EXPECT_TRUE(game.steps.empty());  // the body waits for the first switch
  FiberStack stack = StackOf(fiber);
  EXPECT_GE(stack.top - stack.lowest, 0xE2000u);
  for (int i = 0; i < 3; ++i) SwitchToFiber(fiber);
  EXPECT_EQ(game.steps, (std::vector<int>{0, 1, 2}));
  EXPECT_GT(game.local, stack.lowest);
  EXPECT_LT(game.local, stack.top);
  SwitchToFiber(fiber);  // the body ends and hands over back here
  EXPECT_EQ(game.steps.back(), 99);
  EXPECT_EQ(RunningFiber(), thread);
  SwitchToFiber(fiber);  // finished: nothing happens
  DeleteFiber(fiber);
  DeleteFiber(thread);  // never the thread's own
  EXPECT_EQ(MappedFiberStackBytes(), before);
}

}  // namespace
