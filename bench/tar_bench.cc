// TarArchive against GNU tar in the same run: appending a tree of 10,000
// files of 1 KiB to an archive (TarArchive.AddFolder against `tar -rf`),
// and opening an archive of 100,000 members (TarArchive.Open against
// `tar -tf`). Both tools start from the same archive on disk; tar's figure
// includes its process start, a millisecond or so.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "corv.h"
#include "corv/folder_item.h"
#include "platform/process.h"
#include "tar_archive.h"

namespace {

namespace fs = std::filesystem;
using corv::Ref;
using corv::String;

const fs::path &Root() {
  static const fs::path root = fs::temp_directory_path() / "kilnrun-tar-bench";
  return root;
}

// The program's full path, as RunProgram wants it.
std::string Which(const std::string &program) {
  std::string path = corv::platform::RunCommandLine("command -v " + program).output;
  while (!path.empty() && path.back() == '\n') path.pop_back();
  return path;
}

bool Run(const std::vector<std::string> &arguments) {
  corv::platform::CommandResult result = corv::platform::RunProgram(arguments);
  return result.started && result.exitStatus == 0;
}

// 100 folders of 100 files of 1 KiB each, and an archive of one small file
// that each append starts from.
bool MakeTree() {
  static const bool made = [] {
    fs::path tree = Root() / "tree";
    fs::remove_all(Root());
    const std::string content(1024, 'k');
    for (int folder = 0; folder < 100; ++folder) {
      fs::path sub = tree / ("folder" + std::to_string(folder));
      fs::create_directories(sub);
      for (int file = 0; file < 100; ++file)
        std::ofstream(sub / ("file" + std::to_string(file) + ".txt"), std::ios::binary) << content;
    }
    std::ofstream(Root() / "readme.txt") << "base\n";
    return Run(
        {Which("tar"), "-cf", (Root() / "base.tar").string(), "-C", Root().string(), "readme.txt"});
  }();
  return made;
}

// A fresh copy of the base archive, outside the timing.
std::string FreshArchive() {
  fs::path work = Root() / "work.tar";
  fs::copy_file(Root() / "base.tar", work, fs::copy_options::overwrite_existing);
  return work.string();
}

void BM_AppendTreeTarArchive(benchmark::State &state) {
  if (!MakeTree()) return state.SkipWithError("the tree could not be made");
  Ref<corv::FolderItem> tree = corv::GetFolderItem(String((Root() / "tree").string()));
  for (auto _ : state) {
    state.PauseTiming();
    Ref<corv::FolderItem> file = corv::GetFolderItem(String(FreshArchive()));
    state.ResumeTiming();
    auto archive = corv::New<kilnrun::TarArchive>(&kilnrun::kTarArchiveDecl);
    if (!archive->Open(file) || !archive->AddFolder(tree, String())) {
      state.SkipWithError("the append failed");
      break;
    }
    archive->Close();
  }
}
BENCHMARK(BM_AppendTreeTarArchive)->Unit(benchmark::kMillisecond);

void BM_AppendTreeGnuTar(benchmark::State &state) {
  if (!MakeTree()) return state.SkipWithError("the tree could not be made");
  const std::string tar = Which("tar");
  for (auto _ : state) {
    state.PauseTiming();
    std::string work = FreshArchive();
    state.ResumeTiming();
    if (!Run({tar, "-rf", work, "-C", Root().string(), "tree"})) {
      state.SkipWithError("tar -rf failed");
      break;
    }
  }
}
BENCHMARK(BM_AppendTreeGnuTar)->Unit(benchmark::kMillisecond);

// The system calls that TarArchive.AddFolder makes for each file, made
// directly with nothing of the runtime around them: the folder's look that
// keeps its cached listing honest, the look that tells a file from a folder,
// the open with its look, the read, the close, the look for the
// modification date, and one write of the member with the closing zero
// blocks that keep the archive whole after every append. What the runtime
// adds is the difference from BM_AppendTreeTarArchive; what tar saves by
// other calls (a write every 10 KiB, lookups relative to an open folder) is
// the difference from BM_AppendTreeGnuTar.
void BM_AppendTreeSystemCallsOnly(benchmark::State &state) {
  if (!MakeTree()) return state.SkipWithError("the tree could not be made");
  const std::string tree = (Root() / "tree").string();
  std::vector<char> member(512 + 1024 + 1024);
  for (auto _ : state) {
    state.PauseTiming();
    int archive = open(FreshArchive().c_str(), O_RDWR | O_CLOEXEC);
    state.ResumeTiming();
    off_t at = lseek(archive, 0, SEEK_END) - 1024;
    struct stat info;
    for (int folder = 0; folder < 100; ++folder) {
      std::string sub = tree + "/folder" + std::to_string(folder);
      for (int file = 0; file < 100; ++file) {
        std::string path = sub + "/file" + std::to_string(file) + ".txt";
        stat(sub.c_str(), &info);
        lstat(path.c_str(), &info);
        int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        fstat(in, &info);
        ssize_t got = read(in, member.data() + 512, static_cast<size_t>(info.st_size));
        close(in);
        lstat(path.c_str(), &info);
        if (got != 1024 || pwrite(archive, member.data(), member.size(), at) < 0) {
          state.SkipWithError("a file could not be read or written");
          break;
        }
        at += 512 + 1024;
      }
    }
    close(archive);
  }
}
BENCHMARK(BM_AppendTreeSystemCallsOnly)->Unit(benchmark::kMillisecond);

// 100,000 members of 100 bytes each (about 100 MB), written by Python's
// tarfile so that no files need to be made for them.
bool MakeLargeArchive() {
  static const bool made = [] {
    fs::create_directories(Root());
    return Run({Which("python3"), "-c",
                "import io, sys, tarfile\n"
                "with tarfile.open(sys.argv[1], 'w', format=tarfile.GNU_FORMAT) as t:\n"
                "    data = b'd' * 100\n"
                "    for i in range(100000):\n"
                "        info = tarfile.TarInfo('members/%03d/member%06d.txt' % (i // 1000, i))\n"
                "        info.size = len(data)\n"
                "        info.mtime = 1600000000\n"
                "        t.addfile(info, io.BytesIO(data))\n",
                (Root() / "large.tar").string()});
  }();
  return made;
}

void BM_Open100kTarArchive(benchmark::State &state) {
  if (!MakeLargeArchive()) return state.SkipWithError("the archive could not be made");
  Ref<corv::FolderItem> file = corv::GetFolderItem(String((Root() / "large.tar").string()));
  for (auto _ : state) {
    auto archive = corv::New<kilnrun::TarArchive>(&kilnrun::kTarArchiveDecl);
    if (!archive->Open(file) ||
        corv::Array<kilnrun::TarFile *>::Share(archive->files).UBound() != 100000 - 1) {
      state.SkipWithError("the archive did not list its 100,000 members");
      break;
    }
    archive->Close();
  }
}
BENCHMARK(BM_Open100kTarArchive)->Unit(benchmark::kMillisecond);

void BM_Open100kGnuTar(benchmark::State &state) {
  if (!MakeLargeArchive()) return state.SkipWithError("the archive could not be made");
  std::string path = (Root() / "large.tar").string();
  const std::string tar = Which("tar");
  for (auto _ : state) {
    if (!Run({tar, "-tf", path})) {
      state.SkipWithError("tar -tf failed");
      break;
    }
  }
}
BENCHMARK(BM_Open100kGnuTar)->Unit(benchmark::kMillisecond);

}  // namespace
