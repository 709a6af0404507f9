// The system script code from the user's language settings.
#include "platform/system_locale.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

namespace {

using corv::platform::ScriptCodeForLanguage;
using corv::platform::SystemScriptCode;

TEST(SystemLocaleTest, ScriptCodesFromLanguageTags) {
  struct Case {
    const char *tag;
    int32_t code;
  };
  static const Case kCases[] = {
      {"zh_TW.UTF-8", 21}, {"zh-Hant", 21},    {"ZH_HK", 21},
      {"ja_JP.UTF-8", 13}, {"ja", 13},         {"jam", 0},
      {"zh_CN", 20},       {"zh@stroke", 20},  {"zh_Hans.GB2312", 20},
      {"zh_TWx", 0},       {"de_DE.UTF-8", 0}, {"", 0},
      {nullptr, 0},
  };
  for (const Case &c : kCases)
    EXPECT_EQ(ScriptCodeForLanguage(c.tag), c.code) << (c.tag ? c.tag : "(null)");
}

// Restores one environment variable when it goes out of scope.
class ScopedVariable {
 public:
  ScopedVariable(const char *name, const char *value) : name_(name) {
    const char *old = getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedVariable() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char *name_;
  bool had_ = false;
  std::string old_;
};

TEST(SystemLocaleTest, TheFirstNonEmptyOfLcAllLcMessagesAndLangDecides) {
  struct Case {
    const char *all, *messages, *lang;
    int32_t code;
  };
  static const Case kCases[] = {
      {"ja_JP", "zh_TW", "zh_CN", 13}, {"", "zh_TW", "ja_JP", 21},
      {nullptr, nullptr, "zh_CN", 20}, {"C", "ja_JP", "ja_JP", 0},
      {nullptr, nullptr, nullptr, 0},
  };
  for (const Case &c : kCases) {
    ScopedVariable all("LC_ALL", c.all), messages("LC_MESSAGES", c.messages), lang("LANG", c.lang);
    EXPECT_EQ(SystemScriptCode(), c.code)
        << (c.all ? c.all : "-") << " " << (c.messages ? c.messages : "-") << " "
        << (c.lang ? c.lang : "-");
  }
}

}  // namespace
