// Test helpers for code that works on the real disk: a scoped temporary
// folder, removed afterwards, and a check that no file handle is left open.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/directory.h"
#include "platform/file_handle.h"
#include "platform/path.h"
#include "platform/special_folders.h"
#include "platform/unprivileged_child.h"
#include "runtime_test.h"

namespace corv::testing {

/// A new empty folder in the temporary folder, removed with all its contents
/// when it goes out of scope.
class ScopedTempFolder {
 public:
  ScopedTempFolder() {
    auto made = platform::CreateTemporaryFolder("corvtest");
    EXPECT_TRUE(made.ok()) << "cannot create a temporary folder: error " << made.error;
    path_ = made.value;
  }
  ~ScopedTempFolder() {
    if (!path_.empty()) platform::RemoveTree(path_);
  }
  ScopedTempFolder(const ScopedTempFolder &) = delete;
  ScopedTempFolder &operator=(const ScopedTempFolder &) = delete;

  const std::string &path() const { return path_; }
  std::string operator/(std::string_view name) const { return platform::JoinPath(path_, name); }

 private:
  std::string path_;
};

/// Writes a whole file (replacing it).
inline void WriteFileBytes(const std::string &path, std::string_view bytes) {
  auto file = platform::OpenFile(path, platform::OpenMode::kCreate);
  ASSERT_TRUE(file.ok()) << path << ": error " << file.error;
  EXPECT_TRUE(platform::WriteFile(file.value, bytes.data(), bytes.size()).ok());
  platform::CloseFile(file.value);
}

/// Reads a whole file; empty when it cannot be read.
inline std::string ReadFileBytes(const std::string &path) {
  auto file = platform::OpenFile(path, platform::OpenMode::kRead);
  if (!file.ok()) return {};
  std::string bytes;
  char buffer[4096];
  for (;;) {
    auto n = platform::ReadFile(file.value, buffer, sizeof buffer);
    if (!n.ok() || n.value == 0) break;
    bytes.append(buffer, n.value);
  }
  platform::CloseFile(file.value);
  return bytes;
}

/// Runs `body` in a child process as an unprivileged user that owns
/// `folder`, so that permission checks hold even when the tests run as root.
/// The body's failures (the child prints them) fail the test, and it must
/// leave objects, strings and file handles as it found them.
inline void RunUnprivileged(const ScopedTempFolder &folder, const std::function<void()> &body) {
  int status = platform::RunInUnprivilegedChild(folder.path(), [&] {
    int handles = platform::OpenFileHandleCount();
    {
      LiveObjectCheck check;
      body();
    }
    EXPECT_EQ(platform::OpenFileHandleCount(), handles) << "file handles leaked";
    return ::testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_EQ(status, 0) << "the unprivileged part failed; its messages are above";
}

/// A fixture for disk tests: each test gets its own temporary folder and
/// must leave objects, strings and open file handles as it found them.
class DiskTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    handles_ = platform::OpenFileHandleCount();
  }
  void TearDown() override {
    EXPECT_EQ(platform::OpenFileHandleCount(), handles_) << "file handles leaked";
    RuntimeTest::TearDown();
  }

  ScopedTempFolder temp_;

 private:
  int handles_ = 0;
};

}  // namespace corv::testing
