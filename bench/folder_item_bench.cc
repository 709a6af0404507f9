// FolderItem over a folder of 10,000 entries: walking it with Count and
// Item(1..Count), and the clean-up pattern that deletes the temporary files
// from the end. Baselines in the same run: one directory walk with
// std::filesystem, and the same clean-up done with std::filesystem.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "corv.h"
#include "corv/ref.h"

namespace {

/// A new empty folder in the system's temporary folder.
std::string MakeFolder() {
  std::random_device seed;
  auto path = std::filesystem::temp_directory_path() / ("corvbench-" + std::to_string(seed()));
  std::filesystem::create_directory(path);
  return path.string();
}

namespace fs = std::filesystem;
using corv::Ref;

constexpr int kEntries = 10000;
constexpr int kTemporary = 100;  // of them named "TempKR…"

/// A folder of kEntries files, removed when the program ends.
struct BenchFolder {
  std::string path;
  BenchFolder() {
    path = MakeFolder();
    for (int i = 0; i < kEntries - kTemporary; ++i)
      std::ofstream(fs::path(path) / ("entry" + std::to_string(i) + ".txt"));
    AddTemporaryFiles();
  }
  ~BenchFolder() { std::filesystem::remove_all(path); }
  /// Spreads the temporary files through the listing by their names.
  void AddTemporaryFiles() const {
    for (int i = 0; i < kTemporary; ++i)
      std::ofstream(fs::path(path) / ("TempKR" + std::to_string(1000 + i) + ".tmp"));
  }
};

const BenchFolder &Folder() {
  static BenchFolder folder;
  return folder;
}

CORVstring MakeString(const std::string &text) {
  return RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingUTF8);
}

Ref<> FolderItem() {
  CORVstring path = MakeString(Folder().path);
  Ref<> item = Ref<>::Adopt(RuntimeGetFolderItem(path, 0));
  RuntimeUnlockString(path);
  return item;
}

bool NameStartsWith(CORVobject item, const char *prefix) {
  CORVstring name = fileNameGetter(item);
  bool match = std::string_view(CORVStringBytes(name), CORVStringLength(name)).starts_with(prefix);
  RuntimeUnlockString(name);
  return match;
}

void BM_WalkWithCountAndItem(benchmark::State &state) {
  Ref<> folder = FolderItem();
  for (auto _ : state) {
    int32_t count = fileCountGetter(folder.object());
    int64_t named = 0;
    for (int32_t i = 1; i <= count; ++i) {
      Ref<> item = Ref<>::Adopt(FolderItemItem(folder.object(), i));
      named += NameStartsWith(item.object(), "entry");
    }
    benchmark::DoNotOptimize(named);
  }
}
BENCHMARK(BM_WalkWithCountAndItem)->Unit(benchmark::kMillisecond);

void BM_WalkBaselineFilesystem(benchmark::State &state) {
  for (auto _ : state) {
    int64_t named = 0;
    for (const auto &entry : fs::directory_iterator(Folder().path))
      named += entry.path().filename().string().starts_with("entry");
    benchmark::DoNotOptimize(named);
  }
}
BENCHMARK(BM_WalkBaselineFilesystem)->Unit(benchmark::kMillisecond);

void BM_CleanUpTempKRFromTheEnd(benchmark::State &state) {
  Ref<> folder = FolderItem();
  for (auto _ : state) {
    for (int32_t i = fileCountGetter(folder.object()); i >= 1; --i) {
      Ref<> item = Ref<>::Adopt(FolderItemItem(folder.object(), i));
      if (NameStartsWith(item.object(), "TempKR")) FolderItemDelete(item.object());
    }
    state.PauseTiming();
    if (fileCountGetter(folder.object()) != kEntries - kTemporary)
      state.SkipWithError("the clean-up left the wrong entries");
    Folder().AddTemporaryFiles();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CleanUpTempKRFromTheEnd)->Unit(benchmark::kMillisecond);

void BM_CleanUpBaselineFilesystem(benchmark::State &state) {
  for (auto _ : state) {
    for (const auto &entry : fs::directory_iterator(Folder().path))
      if (entry.path().filename().string().starts_with("TempKR")) fs::remove(entry.path());
    state.PauseTiming();
    Folder().AddTemporaryFiles();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CleanUpBaselineFilesystem)->Unit(benchmark::kMillisecond);

}  // namespace
