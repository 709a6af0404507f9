// A whole build run of ten projects against corvane-ide-sim building at
// once, against the same run with no projects, in the same run: the
// difference per project is what one project costs. The driver's specified
// waits per project are 1350 ms (at least one 100 ms completion poll, the
// 1000 ms pause after a finished build and the 250 ms pause after closing
// the project's window); the wall time per project should stay within 3%
// above them, and the tool's own processor time per project under 20 ms.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "disk_test.h"
#include "platform/process.h"
#include "scoped_environment.h"

namespace {

constexpr int kProjects = 10;
constexpr double kWaitsPerProjectMs = 100 + 1000 + 250;

std::string Quoted(const std::string &path) {
  return "'" + path + "'";
}

// Ten projects with a Linux, a Windows and a Universal Mac target each, a
// configuration of all ten and one of none, and a stand-in IDE of the
// folder's own (its socket lies in the folder's TMPDIR), already running.
struct Scene {
  corv::testing::ScopedTempFolder folder;
  corv::testing::ScopedEnvironmentVariable tmpdir{"TMPDIR", folder / "tmp"};

  Scene() {
    corv::platform::RunCommandLine("mkdir -p " + Quoted(folder / "tmp") + " " +
                                   Quoted(folder / "builds"));
    std::string ten = "Donated true\nBuildsDirectory builds\n";
    for (int i = 0; i < kProjects; ++i) {
      std::string name = "P" + std::to_string(i);
      corv::platform::RunCommandLine("mkdir " + Quoted(folder / name));
      corv::testing::WriteFileBytes(folder / (name + "/" + name + ".cvvcp"),
                                    "Type=Desktop\nBuildFlags=&h0\nWindowsName=" + name +
                                        "Win\nLinuxX86Name=" + name +
                                        "\nMacCarbonMachName=" + name + "Mac\n");
      ten += "<project>\nFile " + name + "/" + name +
             ".cvvcp\nBuildLinux true\nBuildWindows true\nBuildMacUB true\n</project>\n";
    }
    corv::testing::WriteFileBytes(folder / "ten.conf", ten);
    corv::testing::WriteFileBytes(folder / "none.conf", "Donated true\nBuildsDirectory builds\n");
    corv::platform::RunCommandLine(Quoted(IDE_SIM_PATH) + " --log " + Quoted(folder / "ide.log") +
                                   " >/dev/null 2>&1");
  }
  ~Scene() { corv::platform::RunCommandLine("pkill -f " + Quoted(folder / "ide.log")); }
};

struct RunFigures {
  double wallMs = 0;
  double cpuMs = 0;  // user + system of kilnrun and what it ran
  bool ok = false;
};

// One run of kilnrun; the shell's `times` gives its children's processor time.
RunFigures Run(const std::string &conf) {
  auto start = std::chrono::steady_clock::now();
  corv::platform::CommandResult result = corv::platform::RunCommandLine(
      Quoted(KILNRUN_PATH) + " " + Quoted(conf) + " >/dev/null 2>&1; echo $?; times");
  RunFigures figures;
  figures.wallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  int status = -1, um = 0, sm = 0;
  double us = 0, ss = 0;
  size_t children = result.output.find('\n', result.output.find('\n') + 1);
  if (std::sscanf(result.output.c_str(), "%d", &status) == 1 && children != std::string::npos &&
      std::sscanf(result.output.c_str() + children + 1, "%dm%lfs %dm%lfs", &um, &us, &sm, &ss) ==
          4) {
    figures.cpuMs = (um * 60 + us + sm * 60 + ss) * 1000;
    figures.ok = status == 0;
  }
  return figures;
}

void BM_BuildRunPerProject(benchmark::State &state) {
  Scene scene;
  double wallPerProject = 0, cpuPerProject = 0;
  int64_t rounds = 0;
  for (auto _ : state) {
    RunFigures none = Run(scene.folder / "none.conf");
    RunFigures ten = Run(scene.folder / "ten.conf");
    if (!none.ok || !ten.ok) return state.SkipWithError("kilnrun failed");
    wallPerProject += (ten.wallMs - none.wallMs) / kProjects;
    cpuPerProject += (ten.cpuMs - none.cpuMs) / kProjects;
    ++rounds;
  }
  state.counters["wall_ms_per_project"] = wallPerProject / rounds;
  state.counters["over_specified_waits"] = wallPerProject / rounds / kWaitsPerProjectMs;
  state.counters["cpu_ms_per_project"] = cpuPerProject / rounds;
}
BENCHMARK(BM_BuildRunPerProject)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace
