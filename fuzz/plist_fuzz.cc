// Property lists from arbitrary text: reading never crashes or leaks, and
// what is written from a read list reads back to the same list, so a second
// write gives the same text as the first.
#include "fuzz_input.h"
#include "plist.h"
#include "plugin_entries.h"
#include "shell_plugin_record.h"

using corv::Ref;
using corv::String;
using corv::fuzz::Require;
namespace PlistUtils = kilnrun::PlistUtils;

namespace {

// The encoding plugins that "data" values are decoded and encoded with.
void LoadEncodingPlugins() {
  static const bool loaded = [] {
    corv::testing::RegisterPluginRecords(KILNRUN_TOOL_FOLDER,
                                         {"Internet Encodings", "EHBase649371"});
    RuntimeInitExternalClasses();
    kilnrun::LookUpPluginEntries();
    return true;
  }();
  (void)loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  LoadEncodingPlugins();  // first: the shell entries it does not load are reported missing
  corv::fuzz::TrapFailureReports();
  String text(std::string_view(reinterpret_cast<const char *>(data), size));
  corv::fuzz::IgnoringLanguageExceptions([&] {
    Ref<corv::Dictionary> plist = PlistUtils::ParsePlist(text);
    if (!plist) return;
    String written = PlistUtils::WritePlist(plist);
    Ref<corv::Dictionary> again = PlistUtils::ParsePlist(written);
    Require(bool(again), "a written list has a plist element");
    Require(PlistUtils::WritePlist(again).view() == written.view(),
            "a written list reads back to the same list");
  });
  return 0;
}
