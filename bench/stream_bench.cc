// File streams against the standard library on the same files: ReadLine
// over 100 MiB of mixed line endings vs std::getline, and BinaryStream
// 4-byte reads vs fread.
#include <benchmark/benchmark.h>

#include <cstdio>
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

using corv::Ref;

constexpr size_t kTextBytes = 100u << 20;
constexpr size_t kBinaryBytes = 16u << 20;

/// The two files, written once and removed when the program ends.
struct BenchFiles {
  std::string folder, text, binary;
  BenchFiles() {
    folder = MakeFolder();
    text = folder + "/lines.txt";
    binary = folder + "/numbers.bin";
    std::mt19937 random(42);
    std::string content;
    content.reserve(kTextBytes + 256);
    const char *endings[] = {"\r\n", "\r", "\n"};
    while (content.size() < kTextBytes) {
      content.append(random() % 120, 'x');
      content += endings[random() % 3];
    }
    std::ofstream(text, std::ios::binary).write(content.data(), content.size());
    std::string numbers(kBinaryBytes, '\0');
    for (auto &c : numbers) c = static_cast<char>(random());
    std::ofstream(binary, std::ios::binary).write(numbers.data(), numbers.size());
  }
  ~BenchFiles() { std::filesystem::remove_all(folder); }
};

const BenchFiles &Files() {
  static BenchFiles files;
  return files;
}

Ref<> FolderItem(const std::string &path) {
  CORVstring s = RuntimeCreateString(path.data(), static_cast<int32_t>(path.size()), kEncodingUTF8);
  Ref<> item = Ref<>::Adopt(RuntimeGetFolderItem(s, 0));
  RuntimeUnlockString(s);
  return item;
}

void BM_ReadLineTextInputStream(benchmark::State &state) {
  Ref<> item = FolderItem(Files().text);
  for (auto _ : state) {
    Ref<> in = Ref<>::Adopt(FolderItemOpenTextFile(item.object()));
    int64_t lines = 0, bytes = 0;
    while (!TextInputStreamEOF(in.object())) {
      CORVstring line = TextInputStreamReadLine(in.object(), nullptr);
      bytes += CORVStringLength(line);
      ++lines;
      RuntimeUnlockString(line);
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["lines"] = static_cast<double>(lines);
  }
  state.SetBytesProcessed(state.iterations() * kTextBytes);
}
BENCHMARK(BM_ReadLineTextInputStream)->Unit(benchmark::kMillisecond);

void BM_ReadLineBaselineGetline(benchmark::State &state) {
  for (auto _ : state) {
    std::ifstream in(Files().text, std::ios::binary);
    std::string line;
    int64_t lines = 0, bytes = 0;
    while (std::getline(in, line)) {
      bytes += static_cast<int64_t>(line.size());
      ++lines;
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["lines"] = static_cast<double>(lines);
  }
  state.SetBytesProcessed(state.iterations() * kTextBytes);
}
BENCHMARK(BM_ReadLineBaselineGetline)->Unit(benchmark::kMillisecond);

void BM_ReadLongBinaryStream(benchmark::State &state) {
  Ref<> item = FolderItem(Files().binary);
  for (auto _ : state) {
    Ref<> in = Ref<>::Adopt(FolderItemOpenBinaryFile(item.object(), false));
    uint32_t sum = 0;
    for (size_t i = 0; i < kBinaryBytes / 4; ++i)
      sum += static_cast<uint32_t>(BinaryStreamReadLong(in.object()));
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * kBinaryBytes);
}
BENCHMARK(BM_ReadLongBinaryStream)->Unit(benchmark::kMillisecond);

void BM_ReadLongBaselineFread(benchmark::State &state) {
  for (auto _ : state) {
    std::FILE *in = std::fopen(Files().binary.c_str(), "rb");
    uint32_t sum = 0;
    for (size_t i = 0; i < kBinaryBytes / 4; ++i) {
      unsigned char b[4] = {0, 0, 0, 0};
      if (std::fread(b, 4, 1, in) != 1) break;
      sum += (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
    }
    std::fclose(in);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * kBinaryBytes);
}
BENCHMARK(BM_ReadLongBaselineFread)->Unit(benchmark::kMillisecond);

}  // namespace
