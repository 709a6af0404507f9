// The plugin host with plugins built for the tests and the three real ones:
// resource records of every kind, the folder walk, class processing, the
// entry table and its reports.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "core/failure.h"
#include "core/loader.h"
#include "core/plugin_host.h"
#include "core/runtime_classes.h"
#include "corv.h"
#include "corv/class_decl.h"
#include "corv/exception.h"
#include "corv_shell.h"
#include "disk_test.h"
#include "image_builder.h"
#include "platform/executable.h"
#include "platform/path.h"
#include "runtime_test.h"

namespace {

using kilnrun_image::Bytes;

// The test plugins lie in "Test Libs" beside this program.
std::string TestLibrary(const char *name) {
  return corv::platform::JoinPath(
      corv::platform::JoinPath(corv::platform::ExecutableFolder(), "Test Libs"),
      std::string(name) + KILNRUN_PLUGIN_SUFFIX);
}

const uint32_t kRelative = CORV_FOUR_CHAR('C', 'V', 'n', 'x');
const uint32_t kAbsolute = CORV_FOUR_CHAR('C', 'V', 'P', 'x');
const uint32_t kCarried = CORV_FOUR_CHAR('C', 'V', 'P', 'l');

Bytes Text(const std::string &s) {
  Bytes b(s.begin(), s.end());
  b.push_back(0);
  return b;
}

class PluginHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    corv::ResetImageTablesForTest();
    corv::ResetPluginHostForTest();
    corv::RegisterRuntimeClassDeclarations();
    corv::SetPluginBaseFolder(corv::platform::ExecutableFolder());
    corv::CaptureFailures(true);
  }
  void TearDown() override {
    corv::CaptureFailures(false);
    corv::ResetPluginHostForTest();
    corv::ResetImageTablesForTest();
  }
  void Install(const Bytes &records) {
    static Bytes *kept = nullptr;  // the resource table points into it
    delete kept;
    kept = new Bytes(records);
    registerResources(kept->data(), static_cast<uint32_t>(kept->size()), 0);
    corv::InstallPlugins();
    corv::ProcessPluginClasses();
  }
  static void *Lookup(const std::string &name) {
    CORVstring s =
        RuntimeCreateString(name.data(), static_cast<int32_t>(name.size()), kEncodingUTF8);
    void *entry = RuntimeLookupPluginEntrypoint(s);
    RuntimeUnlockString(s);
    return entry;
  }
  static CORVclass *Class(const char *name) {
    CORVstring s = RuntimeCreateString(name, static_cast<int32_t>(strlen(name)), kEncodingUTF8);
    CORVclass *cls = RuntimeLookupClass(s);
    RuntimeUnlockString(s);
    return cls;
  }
};

TEST_F(PluginHostTest, MissingFolderLoadsNothingAndEveryLookupReportsOnceAndGivesZero) {
  Bytes rsrc;
  kilnrun_image::AddResource(&rsrc, kRelative, 0, Text("No Such Libs\\Shell" KILNRUN_PLUGIN_SUFFIX),
                             "plugin:a:0");
  Install(rsrc);
  EXPECT_EQ(corv::PluginClassCount(), 0);
  EXPECT_TRUE(corv::TakeCapturedFailures().empty());  // skipped without a report
  EXPECT_EQ(Lookup("Shell.__init"), nullptr);
  EXPECT_EQ(Lookup("Shell.Execute(command as String)"), nullptr);
  auto reports = corv::TakeCapturedFailures();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_NE(reports[0].find("Failure Condition: pluginEntryTable.GetEntry( entrypointName, out )\n"
                            "can't find plugin method Shell.__init"),
            std::string::npos);
}

TEST_F(PluginHostTest, TrailingOrEmptyPathComponentsLoadNothing) {
  Bytes rsrc;
  kilnrun_image::AddResource(&rsrc, kRelative, 0, Text("Test Libs\\"), "");
  kilnrun_image::AddResource(&rsrc, kRelative, 0,
                             Text("Test Libs\\\\test_plugin_a" KILNRUN_PLUGIN_SUFFIX), "");
  kilnrun_image::AddResource(&rsrc, kRelative, 0,
                             Text("..\\Test Libs\\test_plugin_a" KILNRUN_PLUGIN_SUFFIX), "");
  Install(rsrc);
  EXPECT_EQ(corv::PluginClassCount(), 0);
}

TEST_F(PluginHostTest, UnderscoreGivesZeroWithoutAReport) {
  Install({});
  EXPECT_EQ(Lookup("_"), nullptr);
  EXPECT_TRUE(corv::TakeCapturedFailures().empty());
}

TEST_F(PluginHostTest, ClassesModulesAndSuperclassesFirst) {
  Bytes rsrc;
  kilnrun_image::AddResource(&rsrc, kRelative, 0,
                             Text("Test Libs\\test_plugin_a" KILNRUN_PLUGIN_SUFFIX), "");
  Install(rsrc);
  EXPECT_EQ(corv::PluginClassCount(), 4);
  CORVclass *base = Class("TestPluginBase");
  CORVclass *derived = Class("TestPluginDerived");
  ASSERT_NE(base, nullptr);
  ASSERT_NE(derived, nullptr);
  EXPECT_EQ(derived->base, base);
  EXPECT_EQ(derived->instanceSize, sizeof(CORVobjectHeader) + 4 + 12);
  EXPECT_EQ(CORVEventIndex(derived, "Changed"), 0);
  auto twice = reinterpret_cast<int32_t (*)(int32_t)>(Lookup("twice(X AS INTEGER) as integer"));
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(twice(21), 42);
  EXPECT_NE(Lookup("Dup.__init"), nullptr);
  EXPECT_EQ(Lookup("TestPluginBase.__init"), nullptr);  // no constructor: reported, 0
  EXPECT_EQ(corv::TakeCapturedFailures().size(), 1u);
}

void StackSlot() {}

// A class the image builds itself, with a method in its virtual table, as
// the image's RuntimeException has its Stack; made once per process.
CORVclass *ImageBaseClass() {
  static CORVclass *base = [] {
    CORVclass *cls = RuntimeNewClass(nullptr, 1, 0, 0, 0, 0, 0);
    cls->name = RuntimeCreateString("TestImageBase", 13, kEncodingUTF8);
    cls->instanceSize = sizeof(CORVobjectHeader);
    cls->methods[0].name = RuntimeCreateString("Stack", 5, kEncodingUTF8);
    cls->methods[0].code = reinterpret_cast<void *>(&StackSlot);
    cls->vtableCount = 1;
    cls->vtable = RuntimeNewVtable(1);
    cls->vtable[0] = reinterpret_cast<void *>(&StackSlot);
    static const CORVclassDecl declared =
        corv::ClassDecl("TestImageBase", sizeof(CORVobjectHeader));
    CORVRegisterDeclaration(&declared);
    return cls;
  }();
  return base;
}

TEST_F(PluginHostTest, PluginSubclassOfAnImageClassKeepsItsMethodsAndSlots) {
  CORVclass *base = ImageBaseClass();
  Bytes rsrc;
  kilnrun_image::AddResource(&rsrc, kRelative, 0,
                             Text("Test Libs\\test_plugin_a" KILNRUN_PLUGIN_SUFFIX), "");
  Install(rsrc);
  // The newest class of that name: earlier tests may have loaded the plugin.
  CORVclass *child = RuntimeGetClassList();
  while (child && std::string(CORVStringBytes(child->name)) != "TestPluginImageChild")
    child = child->next;
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->base, base);
  ASSERT_EQ(child->vtableCount, 1u);
  EXPECT_NE(child->vtable, base->vtable);  // a copy of its own, freed with the class
  CORVobject obj = RuntimeNewObject(child);
  EXPECT_EQ(obj->vtable[0], reinterpret_cast<void *>(&StackSlot));
  EXPECT_EQ(CORVLookupMethodByName(obj, "stack"), reinterpret_cast<void *>(&StackSlot));
  RuntimeUnlockObject(obj);
}

TEST_F(PluginHostTest, TwoPluginsRegisteringOneClassAreBothKeptNewestFirst) {
  Bytes rsrc;
  kilnrun_image::AddResource(&rsrc, kRelative, 0,
                             Text("Test Libs\\test_plugin_a" KILNRUN_PLUGIN_SUFFIX), "");
  kilnrun_image::AddResource(&rsrc, kAbsolute, 0, Text(TestLibrary("test_plugin_b")), "");
  Install(rsrc);
  EXPECT_EQ(corv::PluginClassCount(), 6);
  auto which = reinterpret_cast<int32_t (*)(CORVobject)>(Lookup("Dup.Which() as Integer"));
  ASSERT_NE(which, nullptr);
  EXPECT_EQ(which(nullptr), 2);
  // Plugin b's definitions are reported: a count without a table, a method
  // registered without an implementation.
  auto reports = corv::TakeCapturedFailures();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_NE(reports[0].find("method->function != (CORVproc) CORVnoImplementation"),
            std::string::npos);
  EXPECT_NE(reports[1].find("properties || propertyCount == 0"), std::string::npos);
}

TEST_F(PluginHostTest, OldVersionsAndLibrariesWithoutMainAreIgnored) {
  Bytes rsrc;
  kilnrun_image::AddResource(&rsrc, kRelative, 0,
                             Text("Test Libs\\test_plugin_old" KILNRUN_PLUGIN_SUFFIX), "");
  kilnrun_image::AddResource(&rsrc, kRelative, 0,
                             Text("Test Libs\\not_a_plugin" KILNRUN_PLUGIN_SUFFIX), "");
  Install(rsrc);
  EXPECT_EQ(corv::PluginClassCount(), 0);
  EXPECT_TRUE(corv::TakeCapturedFailures().empty());
}

TEST_F(PluginHostTest, LibrariesThatFailToLoadAreReportedWithTheLoadersReason) {
  struct Case {
    const char *file;
    std::string_view bytes;
  };
  const Case cases[] = {
      {"garbage" KILNRUN_PLUGIN_SUFFIX, "this is no shared library"},
      {"empty" KILNRUN_PLUGIN_SUFFIX, ""},
      {"truncated" KILNRUN_PLUGIN_SUFFIX, std::string_view("\x7f"
                                                           "ELF\x02\x01\x01",
                                                           7)},
  };
  for (const Case &c : cases) {
    corv::testing::ScopedTempFolder folder;
    ASSERT_TRUE(corv::platform::CreateFolder(folder / "Libs").ok());
    std::string library = corv::platform::JoinPath(folder / "Libs", c.file);
    corv::testing::WriteFileBytes(library, c.bytes);
    corv::SetPluginBaseFolder(folder.path());
    corv::ResetImageTablesForTest();  // the previous case's table points into freed bytes
    Bytes rsrc;
    kilnrun_image::AddResource(&rsrc, kRelative, 0, Text(std::string("Libs\\") + c.file), "");
    Install(rsrc);
    EXPECT_EQ(corv::PluginClassCount(), 0) << c.file;
    auto reports = corv::TakeCapturedFailures();
    ASSERT_EQ(reports.size(), 1u) << c.file;
    std::string lead = "Failure Condition: library\ncan't load plugin library " + library + ": ";
    size_t at = reports[0].find(lead);
    ASSERT_NE(at, std::string::npos) << reports[0];
    EXPECT_GT(reports[0].size(), at + lead.size()) << "the loader's reason is missing";
  }
}

TEST_F(PluginHostTest, CarriedLibraryLoadsFromATemporaryFile) {
  Bytes library;
  ASSERT_TRUE(corv::platform::ReadWholeFile(TestLibrary("test_plugin_b"), &library));
  std::string name = "carried_plugin" KILNRUN_PLUGIN_SUFFIX;
  std::string blob = std::string(1, static_cast<char>(name.size())) + name +
                     std::string(library.begin(), library.end());
  Bytes data(blob.begin(), blob.end());
  Bytes rsrc;
  kilnrun_image::AddResource(&rsrc, kCarried, 0, data, "");
  Install(rsrc);
  EXPECT_EQ(corv::PluginClassCount(), 2);
}

class ShellPluginTest : public PluginHostTest, public corv::testing::LiveObjectCheck {};

TEST_F(ShellPluginTest, ShellAndBase64EntriesWork) {
  corv::SetPluginBaseFolder(KILNRUN_TOOL_FOLDER);
  Bytes rsrc;
  kilnrun_image::AddResource(&rsrc, kRelative, 0,
                             Text(KILNRUN_LIBS_FOLDER "\\Internet Encodings" KILNRUN_PLUGIN_SUFFIX),
                             "");
  kilnrun_image::AddResource(&rsrc, kRelative, 0,
                             Text(KILNRUN_LIBS_FOLDER "\\Shell" KILNRUN_PLUGIN_SUFFIX), "");
  kilnrun_image::AddResource(&rsrc, kRelative, 0,
                             Text(KILNRUN_LIBS_FOLDER "\\EHBase649371" KILNRUN_PLUGIN_SUFFIX), "");
  Install(rsrc);
  CORVclass *shellClass = Class("Shell");
  ASSERT_NE(shellClass, nullptr);
  EXPECT_EQ(shellClass->instanceSize, CORV_SHELL_INSTANCE_SIZE);
  auto execute = reinterpret_cast<void (*)(CORVobject, CORVstring)>(
      Lookup("Shell.Execute(command as String)"));
  auto result = reinterpret_cast<CORVstring (*)(CORVobject)>(Lookup("Shell.Result.Get"));
  auto write =
      reinterpret_cast<void (*)(CORVobject, CORVstring)>(Lookup("Shell.Write(s as String)"));
  ASSERT_TRUE(execute && result && write);
  CORVobject shell = RuntimeNewObject(shellClass);  // the constructor runs as initializer
  // Two lines on standard output and one on standard error, in the
  // platform's shell: only standard output is the result.
  const bool windows = corv::platform::kPathSeparator == '\\';
  std::string line = windows ? "echo a& echo b& echo err 1>&2" : "printf 'a\\nb\\n'; echo err >&2";
  CORVstring command =
      RuntimeCreateString(line.data(), static_cast<int32_t>(line.size()), kEncodingUTF8);
  execute(shell, command);
  CORVstring output = result(shell);
  EXPECT_EQ(std::string(CORVStringBytes(output), CORVStringLength(output)),
            windows ? "a\r\nb\r\n" : "a\nb\n");
  RuntimeUnlockString(output);
  RuntimeUnlockString(command);
  EXPECT_RAISES(write(shell, nullptr), kRuntimeExceptionDecl);
  try {
    write(shell, nullptr);
  } catch (const corv::LanguageException &e) {
    EXPECT_EQ(std::string(CORVStringBytes(e.object()->cls->name)), "ShellNotRunningException");
  }
  RuntimeUnlockObject(shell);
  auto encode = reinterpret_cast<CORVstring (*)(CORVstring, int32_t)>(
      Lookup("EncodeBase64(data As String, lineWrap As Integer = 76) As String"));
  auto decode =
      reinterpret_cast<CORVstring (*)(CORVstring)>(Lookup("Base64Decode(s as String) as String"));
  ASSERT_TRUE(encode && decode);
  std::string bytes(100, 'x');
  bytes[3] = '\0';
  CORVstring data = RuntimeCreateString(bytes.data(), 100, kEncodingUnknown);
  CORVstring encoded = encode(data, 76);
  std::string text(CORVStringBytes(encoded), CORVStringLength(encoded));
  EXPECT_EQ(text.find('\n'), 76u);  // 136 characters: one line of 76, then 60
  EXPECT_EQ(text.size(), 137u);
  CORVstring decoded = decode(encoded);
  EXPECT_EQ(std::string(CORVStringBytes(decoded), CORVStringLength(decoded)), bytes);
  EXPECT_EQ(CORVStringEncoding(decoded), kEncodingUnknown);
  for (CORVstring s : {data, encoded, decoded}) RuntimeUnlockString(s);
  EXPECT_TRUE(corv::TakeCapturedFailures().empty());
}

}  // namespace
