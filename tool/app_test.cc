// The driver's pieces that a whole run does not show: its waits across the
// wrap of the millisecond counter, and the report of an exception that
// nothing caught.
#include "app.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "build_config.h"
#include "core/failure.h"
#include "corv/exception.h"
#include "deadline.h"
#include "disk_test.h"
#include "platform/clock.h"

namespace {

using corv::String;

// 2^32 milliseconds: where the counter starts again at 0.
constexpr uint64_t kWrap = uint64_t(1) << 32;

TEST(Deadline, HoldsAcrossTheWrapOfTheMillisecondCounter) {
  // A two-second limit made half a second before the wrap: a deadline
  // compared with the tick count would have passed at once (now + 120 lies
  // beyond the largest tick) or never.
  struct Case {
    uint32_t madeAt;  // milliseconds
    uint32_t lookAt;
    bool passed;
  } cases[] = {
      {uint32_t(kWrap - 500), uint32_t(kWrap - 400), false},
      {uint32_t(kWrap - 500), 1000, false},  // 1.5 s later, past the wrap
      {uint32_t(kWrap - 500), 1600, true},   // 2.1 s later
      {1000, 2900, false},
      {1000, 3100, true},
  };
  for (const Case &c : cases) {
    corv::platform::FixMillisecondCounterForTest(c.madeAt);
    kilnrun::Deadline deadline(120);
    corv::platform::FixMillisecondCounterForTest(c.lookAt);
    EXPECT_EQ(deadline.Passed(), c.passed) << c.madeAt << " -> " << c.lookAt;
  }
  corv::platform::ResumeSystemClockForTest();
}

TEST(Deadline, AddsUpTheTimeBetweenLooks) {
  // Each look sees less than the limit; together they pass it, through two
  // wraps, as in a wait of many polls.
  corv::platform::FixMillisecondCounterForTest(uint32_t(kWrap - 1000));
  kilnrun::Deadline deadline(int64_t(60) * 24 * 3600 * 60);  // 60 days of ticks
  bool passed = false;
  uint32_t now = uint32_t(kWrap - 1000);
  for (int day = 1; day <= 59; ++day) {
    now += 24u * 3600 * 1000;
    corv::platform::FixMillisecondCounterForTest(now);
    passed = passed || deadline.Passed();
  }
  EXPECT_FALSE(passed);
  now += 2u * 24 * 3600 * 1000;
  corv::platform::FixMillisecondCounterForTest(now);
  EXPECT_TRUE(deadline.Passed());
  corv::platform::ResumeSystemClockForTest();
}

class UnhandledExceptionTest : public corv::testing::RuntimeTest {
 protected:
  void TearDown() override {
    kilnrun::BuildConfig::Clear();
    RuntimeTest::TearDown();
  }
};

TEST_F(UnhandledExceptionTest, ReportsTheTypeAndRemovesEveryProjectsTemporaryFiles) {
  corv::testing::ScopedTempFolder folder;
  for (const char *name : {"Tool.cvvcp", "TempKR0042.cvvcp", "tempkr-notes.txt", "notes.txt"})
    corv::testing::WriteFileBytes(folder / name, "x");
  auto project = kilnrun::Project::New();
  corv::Assign(&project->file, corv::GetFolderItem(String((folder / "TempKR0042.cvvcp").c_str())));
  kilnrun::BuildConfig::Projects = corv::NewArray<kilnrun::Project *>();
  kilnrun::BuildConfig::Projects.Append(project);

  struct Case {
    const CORVclassDecl *raised;
    const char *type;
  } cases[] = {
      {&kNilObjectExceptionDecl, "NilObjectException"},
      {&kKeyNotFoundExceptionDecl, "KeyNotFoundException"},
      {&kOutOfMemoryExceptionDecl, "Unknown"},
  };
  for (const Case &c : cases) {
    corv::CaptureDebugLog(true);
    testing::internal::CaptureStderr();
    try {
      corv::RaiseNew(c.raised);
    } catch (const corv::LanguageException &e) {
      kilnrun::AppEventUnhandledException(nullptr, e.object());
    }
    std::string errors = testing::internal::GetCapturedStderr();
    std::vector<std::string> debug = corv::TakeCapturedDebugLog();
    corv::CaptureDebugLog(false);

    EXPECT_EQ(errors, std::string("Kilnrun has encountered an error: ") + c.type +
                          "\nTerminating build process and cleaning up.\n");
    // The rule, the type, one line per frame of the raise's stack, the rule.
    ASSERT_GE(debug.size(), 4u) << "no stack lines";
    EXPECT_EQ(debug.front(), "====================");
    EXPECT_EQ(debug[1], std::string("Kilnrun exception: ") + c.type);
    EXPECT_EQ(debug.back(), "====================");
  }
  auto exists = [&](const char *name) {
    return corv::GetFolderItem(String((folder / name).c_str()))->Exists();
  };
  EXPECT_FALSE(exists("TempKR0042.cvvcp"));
  EXPECT_FALSE(exists("tempkr-notes.txt"));
  EXPECT_TRUE(exists("Tool.cvvcp"));
  EXPECT_TRUE(exists("notes.txt"));
}

}  // namespace
