// Property lists: reading what real writers emit, merging, writing, and
// the round trip through Python's plistlib.
#include "plist.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "disk_test.h"
#include "platform/path.h"
#include "plugin_entries.h"
#include "shell_plugin_record.h"

namespace {

using corv::Dictionary;
using corv::Ref;
using corv::String;
using corv::Variant;
namespace PlistUtils = kilnrun::PlistUtils;

std::string Text(const String &s) {
  return std::string(s.view());
}

// A compact picture of a value: {key=value;...} for a dict, [value,...]
// for an array, i:/r:/s:/d:/date: before integers, reals, strings, bytes
// and dates, true and false as themselves.
std::string Describe(const Variant &v) {
  switch (v.Type()) {
    case kVariantBoolean:
      return v.BooleanValue() ? "true" : "false";
    case kVariantInt32:
    case kVariantInt64:
      return "i:" + Text(v.StringValue());
    case kVariantDouble:
      return "r:" + Text(v.StringValue());
    case kVariantDate:
      return "date:" + Text(v.StringValue());
    case kVariantString:
      return (v.StringValue().encoding() == kEncodingUnknown ? "d:" : "s:") + Text(v.StringValue());
    case kVariantObject: {
      auto d = Ref<Dictionary>::Share(v.ObjectValue());
      bool isArray = PlistUtils::IsPlistArray(d);
      std::string out = isArray ? "[" : "{";
      for (int32_t i = 0; i < d->Count(); ++i)
        out += (i ? ";" : "") + (isArray ? "" : Text(d->Key(i).StringValue()) + "=") +
               Describe(d->ValueByIndex(i));
      return out + (isArray ? "]" : "}");
    }
    default:
      return "?";
  }
}

std::string Plist(const std::string &body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body +
         "</plist>\n";
}

class PlistTest : public corv::testing::DiskTest {
 protected:
  static void SetUpTestSuite() {
    corv::testing::RegisterPluginRecords(KILNRUN_TOOL_FOLDER,
                                         {"Internet Encodings", "EHBase649371"});
    RuntimeInitExternalClasses();
    kilnrun::LookUpPluginEntries();
  }
};

TEST_F(PlistTest, ReadsEveryKindOfValue) {
  const struct {
    const char *body, *described;  // described: null when there is no list
  } kCases[] = {
      // Self-closing containers and strings keep their types.
      {"<dict><key>d</key><dict/><key>a</key><array/><key>s</key><string/>"
       "<key>t</key><true/><key>f</key><false /><key>x</key><integer/></dict>",
       "{d={};a=[];s=s:;t=true;f=false;x=false}"},
      // Integers are 64-bit; beyond that they stop at the limit.
      {"<dict><key>big</key><integer>9007199254740993</integer><key>min</key>"
       "<integer>-9223372036854775808</integer><key>over</key>"
       "<integer>99999999999999999999</integer></dict>",
       "{big=i:9007199254740993;min=i:-9223372036854775808;over=i:9223372036854775807}"},
      {"<dict><key>r</key><real>-1.5e3</real><key>data</key><data>\n\tSG\n\tk=\n\t</data>"
       "<key>e</key><string>&lt;&amp;</string></dict>",
       "{r=r:-1500;data=d:Hi;e=s:&lt;&amp;}"},
      // Comments are not values; a "key" with no text is the empty key.
      {"<dict><!-- note --><key>a</key><string>1</string><key></key><string>2</string></dict>",
       "{a=s:1;=s:2}"},
      {"<array><array><integer>1</integer></array><dict/></array>", "[[i:1];{}]"},
      {"", "{}"},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.body);
    Ref<Dictionary> plist = PlistUtils::ParsePlist(String(Plist(c.body)));
    ASSERT_TRUE(plist);
    EXPECT_EQ(Describe(plist), c.described);
  }
  EXPECT_FALSE(PlistUtils::ParsePlist("<dict><key>a</key><true/></dict>"));
  // Bytes of no declared encoding, as an archive member reads: the strings
  // are text all the same, the data stays data.
  String bytes = corv::DefineEncoding(
      String(Plist(
          "<dict><key>n</key><string>Caf\xC3\xA9</string><key>d</key><data>SGk=</data></dict>")),
      kEncodingUnknown);
  EXPECT_EQ(Describe(PlistUtils::ParsePlist(bytes)), "{n=s:Caf\xC3\xA9;d=d:Hi}");
}

TEST_F(PlistTest, MergesTheTopLevelAndWritesWhatWasRead) {
  Ref<Dictionary> bundle = PlistUtils::ParsePlist(
      String(Plist("<dict><key>A</key><integer>1</integer><key>B</key><integer>2</integer>"
                   "<key>N</key><dict><key>x</key><true/><key>y</key><false/></dict>"
                   "<key>E</key><array/><key>F</key><dict/></dict>")));
  Ref<Dictionary> configured = PlistUtils::ParsePlist(
      String(Plist("<dict><key>C</key><integer>4</integer><key>b</key><integer>3</integer>"
                   "<key>N</key><dict><key>z</key><string>&amp;</string></dict></dict>")));
  ASSERT_TRUE(bundle && configured);
  Ref<Dictionary> merged = PlistUtils::MergePlist(bundle, configured);
  EXPECT_EQ(Describe(merged), "{A=i:1;B=i:3;N={z=s:&amp;};E=[];F={};C=i:4}");
  EXPECT_EQ(Text(PlistUtils::WritePlist(merged)),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\">\n<dict>\n"
            "<key>A</key>\n<integer>1</integer>\n<key>B</key>\n<integer>3</integer>\n"
            "<key>N</key>\n<dict>\n<key>z</key>\n<string>&amp;</string>\n</dict>\n"
            "<key>E</key>\n<array/>\n<key>F</key>\n<dict/>\n"
            "<key>C</key>\n<integer>4</integer>\n</dict>\n</plist>\n");
  EXPECT_RAISES(PlistUtils::MergePlist(bundle, nullptr), kNilObjectExceptionDecl);
  // A key held in another encoding (set from code) is written as UTF-8 too.
  Ref<Dictionary> wide = Dictionary::New();
  wide->Value(corv::ConvertEncoding(String("caf\xC3\xA9"), kEncodingUTF16), int32_t{1});
  std::string written = Text(PlistUtils::WritePlist(wide));
  EXPECT_EQ(written.substr(written.find("<dict>")),
            "<dict>\n<key>caf\xC3\xA9</key>\n<integer>1</integer>\n</dict>\n</plist>\n");
}

// Runs a Python script with plistlib; its standard output.
std::string Python(const std::string &script, const std::string &arguments) {
  corv::testing::ScopedTempFolder folder;
  std::string out = folder / "out";
  std::string command = "python3 -c " + corv::platform::ShellQuotePath(script) + " " + arguments +
                        " > " + corv::platform::ShellQuotePath(out);
  EXPECT_EQ(std::system(command.c_str()), 0) << script;
  return corv::testing::ReadFileBytes(out);
}

// The bundle's list holds every type plistlib writes; the configured one
// replaces a nested dict, a value and adds keys.
const char kPlistlibScript[] = R"(
import datetime, plistlib, sys
bundle = {
  'Name': 'Tool & <Co>', 'Version': '1.0', 'Flag': True, 'Off': False,
  'Big': 2**40 + 3, 'Negative': -(2**35), 'Pi': 3.141592653589793, 'Tiny': 1e-300, 'Inf': float('-inf'),
  'Blob': bytes(range(256)) * 2, 'When': datetime.datetime(2024, 2, 29, 23, 59, 58),
  'Nested': {'list': [1, 'two', {'three': [3.5, True]}], 'empty': {}},
  'EmptyList': [], 'EmptyDict': {}, 'EmptyString': '',
}
configured = {'Version': '2.0', 'Nested': {'k': 'configured'}, 'Added': [False, 2**62]}
if sys.argv[1] == 'write':
  open(sys.argv[2], 'wb').write(plistlib.dumps(bundle, sort_keys=False))
  open(sys.argv[3], 'wb').write(plistlib.dumps(configured, sort_keys=False))
else:
  got = plistlib.load(open(sys.argv[2], 'rb'))
  want = dict(bundle)
  want.update(configured)
  print('same' if got == want and list(got) == list(want) else
        repr([k for k in want if got.get(k) != want[k]]) + ' ' + repr(list(got)))
)";

TEST_F(PlistTest, AMergeKeepsEveryValueThatPlistlibWrote) {
  std::string bundlePath = temp_ / "bundle.plist", configuredPath = temp_ / "configured.plist";
  Python(kPlistlibScript, "write " + bundlePath + " " + configuredPath);
  String bundle(corv::testing::ReadFileBytes(bundlePath));
  String configured(corv::testing::ReadFileBytes(configuredPath));
  Ref<Dictionary> merged =
      PlistUtils::MergePlist(PlistUtils::ParsePlist(bundle), PlistUtils::ParsePlist(configured));
  std::string mergedPath = temp_ / "merged.plist";
  corv::testing::WriteFileBytes(mergedPath, PlistUtils::WritePlist(merged).view());
  EXPECT_EQ(Python(kPlistlibScript, "read " + mergedPath), "same\n");
}

}  // namespace
