// The link table: lookup order, case, and dynamic registration.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "core/failure.h"
#include "core/link_table.h"
#include "corv.h"

namespace {

int First() {
  return 1;
}
int Second() {
  return 2;
}

TEST(LinkTable, FindsFixedEntriesIgnoringCase) {
  EXPECT_EQ(CORVLookupLinkEntry("RuntimeNewObject"), reinterpret_cast<void *>(&RuntimeNewObject));
  EXPECT_EQ(CORVLookupLinkEntry("runtimenewOBJECT"), reinterpret_cast<void *>(&RuntimeNewObject));
  EXPECT_EQ(CORVLookupLinkEntry("CreateInstance"), reinterpret_cast<void *>(&CreateInstance));
  EXPECT_EQ(CORVLookupLinkEntry("NoSuchEntryPoint"), nullptr);
  EXPECT_EQ(CORVLookupLinkEntry(nullptr), nullptr);
}

TEST(LinkTable, RegisteredEntriesAreFoundAfterTheFixedOnes) {
  registerLinkEntry("TestOnly.First", reinterpret_cast<void *>(&First));
  EXPECT_EQ(CORVLookupLinkEntry("testonly.first"), reinterpret_cast<void *>(&First));
  // A dynamic entry cannot shadow a fixed one: the fixed entry is found first.
  corv::CaptureFailures(true);
  registerLinkEntry("RuntimeNewObject", reinterpret_cast<void *>(&First));
  auto reports = corv::TakeCapturedFailures();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("Failure Condition: functionPtr == oldEntry->code"), std::string::npos);
  EXPECT_EQ(CORVLookupLinkEntry("RuntimeNewObject"), reinterpret_cast<void *>(&RuntimeNewObject));
  corv::CaptureFailures(false);
}

TEST(LinkTable, SecondRegistrationWithAnotherFunctionIsReportedAndIgnored) {
  corv::CaptureFailures(true);
  registerLinkEntry("TestOnly.Twice", reinterpret_cast<void *>(&First));
  registerLinkEntry("TESTONLY.TWICE", reinterpret_cast<void *>(&First));  // same: silent
  EXPECT_TRUE(corv::TakeCapturedFailures().empty());
  registerLinkEntry("TestOnly.Twice", reinterpret_cast<void *>(&Second));
  EXPECT_EQ(corv::TakeCapturedFailures().size(), 1u);
  EXPECT_EQ(CORVLookupLinkEntry("TestOnly.Twice"), reinterpret_cast<void *>(&First));
  size_t count;
  const CORVlinkEntry *dynamic = corv::DynamicLinkEntries(&count);
  size_t named = 0;
  for (size_t i = 0; i < count; ++i)
    if (std::string(dynamic[i].name) == "TestOnly.Twice") ++named;
  EXPECT_EQ(named, 1u);
  corv::CaptureFailures(false);
}

TEST(LinkTable, DynamicTableGrowsPastItsFirstBlock) {
  static int anchors[40];
  for (int i = 0; i < 40; ++i)
    registerLinkEntry(("TestOnly.Grow" + std::to_string(i)).c_str(), &anchors[i]);
  for (int i = 0; i < 40; ++i)
    EXPECT_EQ(CORVLookupLinkEntry(("testonly.grow" + std::to_string(i)).c_str()), &anchors[i]);
}

TEST(LinkTable, EveryEntryStaysFoundWhenTheIndexGrows) {
  // Enough names to take the index past its first size several times over.
  static int anchors[3000];
  for (int i = 0; i < 3000; ++i)
    registerLinkEntry(("TestOnly.Many" + std::to_string(i)).c_str(), &anchors[i]);
  for (int i = 0; i < 3000; ++i)
    ASSERT_EQ(CORVLookupLinkEntry(("TESTONLY.MANY" + std::to_string(i)).c_str()), &anchors[i]);
  // Every fixed entry is still the one its own name finds (the first of
  // that name, case ignored, should a name be listed twice).
  auto same = [](const char *a, const char *b) {
    for (; *a && *b; ++a, ++b)
      if (std::tolower(static_cast<unsigned char>(*a)) !=
          std::tolower(static_cast<unsigned char>(*b)))
        return false;
    return *a == *b;
  };
  size_t fixedCount;
  const CORVlinkEntry *fixed = corv::FixedLinkEntries(&fixedCount);
  for (size_t i = 0; i < fixedCount; ++i) {
    const CORVlinkEntry *first = fixed;
    while (!same(first->name, fixed[i].name)) ++first;
    EXPECT_EQ(CORVLookupLinkEntry(fixed[i].name), first->code) << fixed[i].name;
  }
  EXPECT_EQ(CORVLookupLinkEntry("TestOnly.Many3000"), nullptr);
}

TEST(FailureReporter, FormatsTheDefaultText) {
  corv::CaptureFailures(true);
  CORVReportFailure("object.cc", 42, "obj", "some message");
  CORVReportFailure("object.cc", 7, "app", nullptr);
  auto reports = corv::TakeCapturedFailures();
  corv::CaptureFailures(false);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0],
            "Runtime Error\nPlease report what caused this error along with the information "
            "below.\nobject.cc: 42\nFailure Condition: obj\nsome message");
  EXPECT_EQ(reports[1],
            "Runtime Error\nPlease report what caused this error along with the information "
            "below.\nobject.cc: 7\nFailure Condition: app\n");
}

std::string gSecondSaw;
void SecondReporter(const char *, int32_t line, const char *condition, const char *) {
  gSecondSaw = std::string(condition) + "@" + std::to_string(line);
}

TEST(FailureReporter, SecondReporterHearsEveryReport) {
  CORVSetSecondFailureReporter(&SecondReporter);
  CORVReportFailure("x.cc", 3, "cond", nullptr);
  CORVSetSecondFailureReporter(nullptr);
  EXPECT_EQ(gSecondSaw, "cond@3");
}

}  // namespace
