// Replays a fuzz target's seed corpus outside libFuzzer: each argument is a
// file or a folder of files, and each file is one input. After each input the
// runtime's live objects and strings must be back where they were, so the
// normal build catches a leak that only the sanitizer build would report.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "corv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool Replay(const std::filesystem::path &file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot be read\n", file.c_str());
    return false;
  }
  std::vector<uint8_t> input((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  std::fprintf(stderr, "%s\n", file.c_str());  // named before a crash can stop the run
  int32_t objects = RuntimeLiveObjectCount(), strings = RuntimeLiveStringCount();
  LLVMFuzzerTestOneInput(input.data(), input.size());
  if (RuntimeLiveObjectCount() != objects || RuntimeLiveStringCount() != strings) {
    std::fprintf(stderr, "%s: objects %d -> %d, strings %d -> %d (leaked or over-released)\n",
                 file.c_str(), objects, RuntimeLiveObjectCount(), strings,
                 RuntimeLiveStringCount());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path path(argv[i]);
    if (std::filesystem::is_directory(path)) {
      for (const auto &entry : std::filesystem::directory_iterator(path))
        if (entry.is_regular_file()) files.push_back(entry.path());
    } else {
      files.push_back(path);
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    std::fprintf(stderr, "no input to replay\n");
    return 1;
  }
  int failed = 0;
  for (const auto &file : files) failed += Replay(file) ? 0 : 1;
  std::printf("%zu passed, %d failed\n", files.size() - failed, failed);
  return failed ? 1 : 0;
}
