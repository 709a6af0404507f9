// Test helpers: proving that nothing leaks and that a statement raises.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "corv.h"
#include "corv/exception.h"

namespace corv::testing {

/// Asserts, when it goes out of scope, that the live-object and string
/// counts are back where they were when it was made.
class LiveObjectCheck {
 public:
  LiveObjectCheck() : objects_(RuntimeLiveObjectCount()), strings_(RuntimeLiveStringCount()) {}
  ~LiveObjectCheck() {
    EXPECT_EQ(RuntimeLiveObjectCount(), objects_) << "objects leaked or over-released";
    EXPECT_EQ(RuntimeLiveStringCount(), strings_) << "strings leaked or over-released";
  }

 private:
  int32_t objects_;
  int32_t strings_;
};

/// A fixture whose every test must leave the live-object and string counts
/// as it found them.
class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    objects_ = RuntimeLiveObjectCount();
    strings_ = RuntimeLiveStringCount();
  }
  void TearDown() override {
    EXPECT_EQ(RuntimeLiveObjectCount(), objects_) << "objects leaked or over-released";
    EXPECT_EQ(RuntimeLiveStringCount(), strings_) << "strings leaked or over-released";
  }

 private:
  int32_t objects_ = 0;
  int32_t strings_ = 0;
};

}  // namespace corv::testing

/// Expects `statement` to raise a language exception of class `decl` (or a
/// subclass).
#define EXPECT_RAISES(statement, decl)                                  \
  do {                                                                  \
    bool raisedExpected_ = false;                                       \
    try {                                                               \
      statement;                                                        \
    } catch (const ::corv::LanguageException &e) {                      \
      raisedExpected_ = e.Isa(&(decl));                                 \
    }                                                                   \
    EXPECT_TRUE(raisedExpected_) << #statement " did not raise " #decl; \
  } while (0)
