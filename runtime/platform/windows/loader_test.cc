// What the application image needs of Windows: memory below 4 GiB, call
// stubs there, and libraries loaded at run time.
#include <gtest/gtest.h>
#include <windows.h>
#undef LoadLibrary

#include <fstream>
#include <iterator>

#include "platform/dynamic_library.h"
#include "platform/memory.h"

namespace {

using namespace corv::platform;

int FortyTwo() {
  return 42;
}

TEST(WindowsLoaderTest, LowMemoryAndCallStubs) {
  uint8_t *block = AllocateLowMemory(100000);
  ASSERT_NE(block, nullptr);
  EXPECT_LE(reinterpret_cast<uintptr_t>(block) + 100000, uintptr_t{1} << 32);
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(block[99999], 0);
  block[99999] = 1;
  uint8_t *other = AllocateLowMemory(10);
  ASSERT_NE(other, nullptr);
  EXPECT_TRUE(other + 10 <= block || other >= block + 100000);
  for (int i = 0; i < 300; ++i) {  // more than one page of stubs
    uint32_t stub = MakeLowCallStub(reinterpret_cast<void *>(&FortyTwo));
    ASSERT_NE(stub, 0u);
    EXPECT_EQ(reinterpret_cast<int (*)()>(uintptr_t{stub})(), 42);
  }
}

TEST(WindowsLoaderTest, LibrariesBySystemNameAndMissingOnes) {
  std::string message;
  void *kernel = LoadLibrary("kernel32.dll", &message);
  ASSERT_NE(kernel, nullptr) << message;
  EXPECT_NE(FindSymbol(kernel, "GetTickCount"), nullptr);
  EXPECT_EQ(FindSymbol(kernel, "NoSuchFunctionAnywhere"), nullptr);
  EXPECT_EQ(LoadLibrary("C:\\no such folder\\none.dll", &message), nullptr);
  EXPECT_FALSE(message.empty());
  std::string path = WriteTemporaryLibrary("Shell.dll", {1, 2, 3});
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.substr(path.size() - 9), "Shell.dll");
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  EXPECT_EQ(bytes, std::string("\1\2\3"));
  DeleteFileA(path.c_str());
}

}  // namespace
