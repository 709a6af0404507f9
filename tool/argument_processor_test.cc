// The command-line parser against the cases the tool's command line meets.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "argument_processor.h"
#include "platform/executable.h"
#include "runtime_test.h"

namespace {

using corv::String;
using kilnrun::ArgumentProcessor;
using kilnrun::ArgumentValue;

corv::Ref<> Strings(std::initializer_list<const char *> items) {
  corv::Ref<> array = corv::Ref<>::Adopt(CreateArray(1, kCORVArrayString, -1));
  for (const char *item : items) {
    String s(item);
    CORVArrayAppendString(array.object(), s.get());
  }
  return array;
}

// "name=value" for every parsed entry.
std::vector<std::string> Parsed(ArgumentProcessor &p) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < p.Count(); ++i) {
    auto item = corv::Ref<ArgumentValue>::Adopt(CORVArrayObjectAt(p.arguments, i));
    out.push_back(std::string(String::Share(item->name).view()) + "=" +
                  std::string(String::Share(item->value).view()));
  }
  return out;
}

class ArgumentProcessorTest : public corv::testing::RuntimeTest {};

TEST_F(ArgumentProcessorTest, OptionsTakeTheNextArgumentOrTheTextAfterEquals) {
  auto p = corv::New<ArgumentProcessor>(&kilnrun::kArgumentProcessorDecl);
  p->Process(Strings({"/bin/kilnrun", "-config", "a.conf", "-x"}).object());
  EXPECT_EQ(Parsed(*p), (std::vector<std::string>{"config=a.conf", "x="}));
  EXPECT_EQ(String::Share(p->executePath).view(), "/bin/kilnrun");
  p->Process(Strings({"k", "-a=1=2", "--b=", "--c", "v", "w"}).object());
  EXPECT_EQ(Parsed(*p), (std::vector<std::string>{"a=1=2", "b=", "c=v", "=w"}));
  EXPECT_EQ(p->GetValue(String("A"), String("d")).view(), "1=2");
  EXPECT_EQ(p->GetValue(String("missing"), String("d")).view(), "d");
}

TEST_F(ArgumentProcessorTest, WordOptionsSplitClustersOfLetters) {
  auto p = corv::New<ArgumentProcessor>(&kilnrun::kArgumentProcessorDecl);
  p->Process(Strings({"k", "-abc", "file", "-config", "x"}).object(), Strings({"config"}).object());
  EXPECT_EQ(Parsed(*p), (std::vector<std::string>{"a=", "b=", "c=file", "config=x"}));
  p->Process(Strings({"k", "-abc", "file"}).object());
  EXPECT_EQ(Parsed(*p), (std::vector<std::string>{"abc=file"}));
  // Letters are characters, not bytes.
  p->Process(Strings({"k", "-\u00e9\u00df", "file"}).object(), Strings({"config"}).object());
  EXPECT_EQ(Parsed(*p), (std::vector<std::string>{"\u00e9=", "\u00df=file"}));
}

TEST_F(ArgumentProcessorTest, LoneHyphensAndBareWords) {
  auto p = corv::New<ArgumentProcessor>(&kilnrun::kArgumentProcessorDecl);
  p->Process(Strings({"k", "-", "x", "--", "y", "-config"}).object());
  EXPECT_EQ(Parsed(*p), (std::vector<std::string>{"=", "=x", "=", "=y", "config="}));
  p->Process(Strings({"k", "--version"}).object());
  EXPECT_TRUE(p->Find(String("VERSION")));
  p->Process(Strings({"k", "version", "other"}).object());
  EXPECT_TRUE(p->Find(String("version")));
  p->Process(Strings({"k", "-q=1", "stray"}).object());
  EXPECT_EQ(Parsed(*p), (std::vector<std::string>{"q=1", "=stray"}));
  p->Process(Strings({"k"}).object());
  EXPECT_EQ(p->Count(), 0);
  EXPECT_FALSE(p->Find(String("version")));
}

// The path FolderItemValue gives for the first argument parsed from `args`
// ("nil" when it gives none).
std::string PathOfFirst(std::initializer_list<const char *> args) {
  auto p = corv::New<ArgumentProcessor>(&kilnrun::kArgumentProcessorDecl);
  p->Process(Strings(args).object());
  if (p->Count() == 0) return "no argument";
  auto first = corv::Ref<ArgumentValue>::Adopt(CORVArrayObjectAt(p->arguments, 0));
  corv::Ref<corv::FolderItem> item = first->FolderItemValue();
  if (!item) return "nil";
  return std::string(item->AbsolutePath().view());
}

TEST_F(ArgumentProcessorTest, FolderItemValueIsTheValueOrElseTheNameAsANativePath) {
  corv::testing::LiveObjectCheck check;
  const std::string folder = corv::platform::ExecutableFolder();
  const std::string absolute = folder + "/given.conf";
  EXPECT_EQ(PathOfFirst({"k", "--config", absolute.c_str()}), absolute);
  EXPECT_EQ(PathOfFirst({"k", ("-config=" + absolute).c_str()}), absolute);
  // An option given last has no value: its name is the path, relative to
  // the program's folder, never to the current directory.
  EXPECT_EQ(PathOfFirst({"k", "-config"}), folder + "/config");
  EXPECT_EQ(PathOfFirst({"k", "sub/../b.conf"}), folder + "/b.conf");
  // Lone hyphens give neither a name nor a value: no item at all.
  EXPECT_EQ(PathOfFirst({"k", "-"}), "nil");
  EXPECT_EQ(PathOfFirst({"k", "--"}), "nil");
  // A path whose folder does not exist names no item.
  EXPECT_EQ(PathOfFirst({"k", "-config", "/no such folder/kilnrun.conf"}), "nil");
}

}  // namespace
