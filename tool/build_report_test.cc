// The report's text escaping: every name a project can have gives
// well-formed UTF-8 XML.
#include "build_report.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(XmlText, EscapesMarkupAndReplacesWhatXmlCannotHold) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"R&D <\"x\"> 'y'", "R&amp;D &lt;&quot;x&quot;&gt; &apos;y&apos;"},
      {"a\tb\nc\rd", "a&#9;b&#10;c&#13;d"},  // kept through attribute normalisation
      {std::string("nul\0bell\x07 del\x7f", 14),
       "nul\xEF\xBF\xBD"
       "bell\xEF\xBF\xBD del\xEF\xBF\xBD"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\xA5", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\xA5"},
      {"\xFF\xFEx", "\xEF\xBF\xBD\xEF\xBF\xBDx"},                // bytes of no UTF-8 sequence
      {"\xC3(", "\xEF\xBF\xBD("},                                // a sequence cut short
      {"\xC3", "\xEF\xBF\xBD"},                                  // cut by the end
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong "/"
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
      {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // past U+10FFFF
      {"\xEF\xBF\xBF", "\xEF\xBF\xBD"},  // U+FFFF, not a character
  };
  for (const Case &c : cases) {
    std::string out;
    kilnrun::AppendXmlText(&out, c.in);
    EXPECT_EQ(out, c.out) << c.in;
  }
}

}  // namespace
