// Naming the frames of the native call stack on Windows.
#include "platform/symbols.h"

#include <gtest/gtest.h>

namespace corv_test {

struct Captured {
  std::vector<std::string> names;
  std::vector<void *> addresses;
};

__attribute__((noinline)) void Inner(int depth, Captured *captured) {
  captured->names = corv::platform::NativeCallStack();
  captured->addresses = corv::platform::NativeCallStackAddresses();
  asm volatile("" ::"r"(depth));  // not a tail call
}

__attribute__((noinline)) void Outer(Captured *captured) {
  Inner(1, captured);
  asm volatile("");
}

}  // namespace corv_test

namespace {

TEST(WindowsSymbolsTest, FramesAreNamedFromTheExports) {
  corv_test::Captured captured;
  corv_test::Outer(&captured);
  ASSERT_GE(captured.names.size(), 2u);
  EXPECT_EQ(captured.names[0], "corv_test::Inner(int, corv_test::Captured*)");
  EXPECT_EQ(captured.names[1], "corv_test::Outer(corv_test::Captured*)");
  ASSERT_GE(captured.addresses.size(), 2u);
  EXPECT_EQ(corv::platform::FunctionNameAt(captured.addresses[1]), captured.names[1]);
}

}  // namespace
