// The CI options on the command line, and the patterns that choose projects.
#include "run_options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "argument_processor.h"
#include "disk_test.h"
#include "runtime_test.h"

namespace {

using corv::String;
using kilnrun::ArgumentProcessor;
using kilnrun::ArgumentValue;
using kilnrun::RunOptions;

class RunOptionsTest : public corv::testing::RuntimeTest {};

TEST_F(RunOptionsTest, PatternsAreShellWildcardsIgnoringCase) {
  struct Case {
    const char *pattern, *text;
    bool matches;
  } cases[] = {
      {"apps/*", "Apps/One/One.cvvcp", true},  // "*" crosses folders
      {"*.cvvcp", "One.cvvcp", true},
      {"*.cvvcp", "One.cvvcp.bak", false},
      {"*One*", "tools/one/x", true},
      {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false},
      {"*", "", true},
      {"?", "", false},
      {"One?cvvcp", "One.cvvcp", true},
      {"One?cvvcp", "One..cvvcp", false},
      {"??", "\u00e9\u00df", true},  // characters, not bytes
      {"[ot]*", "Tools/x", true},
      {"[a-c]x", "Bx", true},
      {"[a-c]x", "dx", false},
      {"[!a-c]x", "dx", true},
      {"[^a-c]x", "Ax", false},
      {"[]]", "]", true},
      {"[!]]", "]", false},
      {"[ab", "[ab", true},  // no "]": the "[" is itself
      {"[ab", "a", false},
      {"dir\\One", "DIR\\one", true},  // "\" is a folder separator, not an escape
      {"One", "One.cvvcp", false},     // the whole path must match
      {"", "", true},
      {"", "x", false},
  };
  for (const Case &c : cases)
    EXPECT_EQ(kilnrun::PatternMatches(String(c.pattern), String(c.text)), c.matches)
        << c.pattern << " vs " << c.text;
}

corv::Ref<> Strings(const std::vector<std::string> &items) {
  corv::Ref<> array = corv::Ref<>::Adopt(CreateArray(1, kCORVArrayString, -1));
  for (const std::string &item : items) CORVArrayAppendString(array.object(), String(item).get());
  return array;
}

// "name=value" for every entry left after the options were taken.
std::string Rest(ArgumentProcessor &p) {
  std::string out;
  for (int32_t i = 0; i < p.Count(); ++i) {
    auto item = corv::Ref<ArgumentValue>::Adopt(CORVArrayObjectAt(p.arguments, i));
    out += std::string(i ? " " : "") + std::string(String::Share(item->name).view()) + "=" +
           std::string(String::Share(item->value).view());
  }
  return out;
}

TEST_F(RunOptionsTest, EveryFormOfTheOptionsLeavesTheRestToTheConfigurationRule) {
  corv::testing::ScopedTempFolder folder;
  const std::string report = folder / "r.xml";
  using Strict = RunOptions::Strict;
  struct Case {
    std::vector<std::string> args;
    const char *rest;
    Strict strict;
    bool report;
    const char *patterns;
  } cases[] = {
      {{"--strict", "--report", report, "k.conf"}, "=k.conf", Strict::kOn, true, ""},
      {{"-strict", "-report=" + report, "k.conf"}, "=k.conf", Strict::kOn, true, ""},
      {{"--strict", "k.conf"}, "=k.conf", Strict::kOn, false, ""},  // a flag takes no value
      {{"--strict=false", "k.conf"}, "=k.conf", Strict::kOff, false, ""},
      {{"--STRICT", "true", "k.conf"}, "=k.conf", Strict::kOn, false, ""},
      {{"-strict=NO", "k.conf"}, "=k.conf", Strict::kOff, false, ""},
      {{"--strict", "0", "k.conf"}, "=k.conf", Strict::kOff, false, ""},
      {{"--strict=maybe"}, "=maybe", Strict::kOn, false, ""},
      {{"k.conf", "--report=" + report}, "=k.conf", Strict::kAsConfigured, true, ""},
      {{"--project", "a*", "-project=b?", "--Project=c", "-project", "d", "--config=k.conf"},
       "config=k.conf",
       Strict::kAsConfigured,
       false,
       "a* b? c d"},
      {{"--project=x", "-v", "k.conf"}, "v=k.conf", Strict::kAsConfigured, false, "x"},
      {{"-config", "k.conf", "-x"}, "config=k.conf x=", Strict::kAsConfigured, false, ""},
      {{"strict", "report"}, "=strict =report", Strict::kAsConfigured, false, ""},  // bare words
  };
  for (const Case &c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "kilnrun");
    auto p = corv::New<ArgumentProcessor>(&kilnrun::kArgumentProcessorDecl);
    p->Process(Strings(args).object());
    RunOptions options;
    ASSERT_TRUE(kilnrun::TakeRunOptions(p.get(), &options)) << c.rest;
    EXPECT_EQ(Rest(*p), c.rest);
    EXPECT_EQ(options.strict, c.strict) << c.rest;
    EXPECT_EQ(options.report ? std::string(options.report->AbsolutePath().view()) : "",
              c.report ? report : "")
        << c.rest;
    std::string patterns;
    for (int32_t i = 0; options.projectPatterns && i <= options.projectPatterns.UBound(); ++i)
      patterns += std::string(i ? " " : "") + std::string(options.projectPatterns(i).view());
    EXPECT_EQ(patterns, c.patterns);
  }
}

TEST_F(RunOptionsTest, AnOptionWithoutItsValueStopsTheRun) {
  corv::testing::ScopedTempFolder folder;
  struct Case {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"k.conf", "--report"}, "Error: --report needs a file name.\n"},
      {{"--report=", "k.conf"}, "Error: --report needs a file name.\n"},
      {{"k.conf", "-project"}, "Error: --project needs a pattern.\n"},
      {{"--report", folder / "missing/r.xml"},
       "Error: The report cannot be written to " + (folder / "missing/r.xml") + "\n"},
      {{"--report", folder.path()},
       "Error: The report cannot be written to " + folder.path() + "\n"},
  };
  for (const Case &c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "kilnrun");
    auto p = corv::New<ArgumentProcessor>(&kilnrun::kArgumentProcessorDecl);
    p->Process(Strings(args).object());
    RunOptions options;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(kilnrun::TakeRunOptions(p.get(), &options));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.error);
  }
}

TEST_F(RunOptionsTest, ARelativeReportLiesInTheCurrentFolder) {
  auto p = corv::New<ArgumentProcessor>(&kilnrun::kArgumentProcessorDecl);
  p->Process(Strings({"kilnrun", "--report=out.xml"}).object());
  RunOptions options;
  ASSERT_TRUE(kilnrun::TakeRunOptions(p.get(), &options));
  String current = corv::GetSpecialFolder(0, 1047)->AbsolutePath();
  EXPECT_EQ(std::string(options.report->AbsolutePath().view()),
            std::string(current.view()) + "out.xml");
}

}  // namespace
