// Merging two property lists of 1 MiB each (parse both, merge, write)
// against Python's plistlib doing the same in the same run: loads of both,
// the dicts merged (the first's keys in order, the second's values winning,
// then its other keys, as MergePlist does) and dumps without sorting.
// Python's figure is the work alone, timed inside the script from texts
// already in memory (BM_MergePlistPlistlib); BM_MergePlistPlistlibProcess
// adds the interpreter's start and the reading of the files.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "corv.h"
#include "platform/process.h"
#include "plist.h"
#include "plugin_entries.h"
#include "shell_plugin_record.h"

namespace {

namespace fs = std::filesystem;
using corv::Dictionary;
using corv::Ref;
using corv::String;
namespace PlistUtils = kilnrun::PlistUtils;

const fs::path &Root() {
  static const fs::path root = fs::temp_directory_path() / "kilnrun-plist-bench";
  return root;
}

std::string PathOf(const char *name) {
  return (Root() / name).string();
}

// The program's full path, as RunProgram wants it.
std::string Which(const std::string &program) {
  std::string path = corv::platform::RunCommandLine("command -v " + program).output;
  while (!path.empty() && path.back() == '\n') path.pop_back();
  return path;
}

// Two lists of about 1 MiB written by plistlib: top-level dicts of entries
// holding every kind of value, the second sharing half of the first's keys.
bool MakeLists() {
  static const bool made = [] {
    fs::create_directories(Root());
    auto result = corv::platform::RunProgram(
        {Which("python3"), "-c",
         "import datetime, plistlib, sys\n"
         "def entry(i, tag):\n"
         "    return {'Name': '%s entry %d &amp; more' % (tag, i), 'Count': i * 4294967311,\n"
         "            'Ratio': i / 7.0, 'Enabled': i % 2 == 0, 'Empty': {}, 'None': [],\n"
         "            'Stamp': datetime.datetime(2020, 1, 1) + datetime.timedelta(seconds=i),\n"
         "            'Blob': bytes(range(i % 7, i % 7 + 48)),\n"
         "            'Items': ['%s item %d' % (tag, k) for k in range(4)]}\n"
         "def write(path, keys, tag):\n"
         "    d = {'Key%06d' % i: entry(i, tag) for i in keys}\n"
         "    with open(path, 'wb') as f:\n"
         "        plistlib.dump(d, f, sort_keys=False)\n"
         "n = 1650\n"
         "write(sys.argv[1], range(n), 'first')\n"
         "write(sys.argv[2], range(n // 2, n + n // 2), 'second')\n",
         PathOf("a.plist"), PathOf("b.plist")});
    return result.started && result.exitStatus == 0;
  }();
  return made;
}

std::string ReadAll(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

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

void BM_MergePlist(benchmark::State &state) {
  if (!MakeLists()) return state.SkipWithError("plistlib could not write the lists");
  LoadEncodingPlugins();
  String a(ReadAll(PathOf("a.plist"))), b(ReadAll(PathOf("b.plist")));
  state.counters["KiB_first"] = static_cast<double>(corv::LenB(a)) / 1024;
  state.counters["KiB_second"] = static_cast<double>(corv::LenB(b)) / 1024;
  for (auto _ : state) {
    Ref<Dictionary> merged =
        PlistUtils::MergePlist(PlistUtils::ParsePlist(a), PlistUtils::ParsePlist(b));
    String written = PlistUtils::WritePlist(merged);
    if (merged->Count() != 2475 || written.empty()) {
      state.SkipWithError("the merge lost keys");
      break;
    }
  }
}
BENCHMARK(BM_MergePlist)->Unit(benchmark::kMillisecond);

const char kPlistlibMerge[] =
    "import plistlib, sys, time\n"
    "a_text = open(sys.argv[1], 'rb').read()\n"
    "b_text = open(sys.argv[2], 'rb').read()\n"
    "start = time.perf_counter()\n"
    "merged = dict(plistlib.loads(a_text))\n"
    "merged.update(plistlib.loads(b_text))\n"
    "written = plistlib.dumps(merged, sort_keys=False)\n"
    "elapsed = time.perf_counter() - start\n"
    "assert len(merged) == 2475\n"
    "print(elapsed)\n";

void BM_MergePlistPlistlib(benchmark::State &state) {
  if (!MakeLists()) return state.SkipWithError("plistlib could not write the lists");
  const std::vector<std::string> merge = {Which("python3"), "-c", kPlistlibMerge, PathOf("a.plist"),
                                          PathOf("b.plist")};
  for (auto _ : state) {
    auto result = corv::platform::RunProgram(merge);
    if (!result.started || result.exitStatus != 0) {
      state.SkipWithError("the plistlib merge failed");
      break;
    }
    state.SetIterationTime(std::stod(result.output));
  }
}
BENCHMARK(BM_MergePlistPlistlib)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_MergePlistPlistlibProcess(benchmark::State &state) {
  if (!MakeLists()) return state.SkipWithError("plistlib could not write the lists");
  const std::vector<std::string> merge = {Which("python3"), "-c", kPlistlibMerge, PathOf("a.plist"),
                                          PathOf("b.plist")};
  for (auto _ : state) {
    auto result = corv::platform::RunProgram(merge);
    if (!result.started || result.exitStatus != 0) {
      state.SkipWithError("the plistlib merge failed");
      break;
    }
  }
}
BENCHMARK(BM_MergePlistPlistlibProcess)->Unit(benchmark::kMillisecond);

}  // namespace
