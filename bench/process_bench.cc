// Start-up of kilnrun against /bin/true, the loop check when the tick has
// not changed, and Shell.Execute("true") against spawning the same command.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/loader.h"
#include "core/plugin_host.h"
#include "core/runtime_classes.h"
#include "corv.h"
#include "platform/process.h"
#include "shell_plugin_record.h"

namespace {

// Both programs are spawned directly and waited for, their output read
// through a pipe, so the figures are the programs' own start and end.
void BM_StartTrue(benchmark::State &state) {
  const std::vector<std::string> program = {"/bin/true"};
  for (auto _ : state) benchmark::DoNotOptimize(corv::platform::RunProgram(program));
}
BENCHMARK(BM_StartTrue)->Unit(benchmark::kMillisecond);

// Finding and linking the image and loading the three plugins included.
void BM_StartKilnrunVersion(benchmark::State &state) {
  const std::vector<std::string> program = {KILNRUN_PATH, "--version"};
  for (auto _ : state) {
    corv::platform::CommandResult result = corv::platform::RunProgram(program);
    if (result.exitStatus != 0 || result.output.rfind("Kilnrun v.", 0) != 0) {
      state.SkipWithError("kilnrun --version did not print its version");
      break;
    }
  }
}
BENCHMARK(BM_StartKilnrunVersion)->Unit(benchmark::kMillisecond);

void BM_BackgroundTaskSameTick(benchmark::State &state) {
  for (auto _ : state) RuntimeBackgroundTask();
}
BENCHMARK(BM_BackgroundTaskSameTick);

// The baseline of Shell.Execute("true"): posix_spawn of the same /bin/sh -c
// command with its output captured, without the plugin in between.
void BM_SpawnTrue(benchmark::State &state) {
  for (auto _ : state) benchmark::DoNotOptimize(corv::platform::RunCommandLine("true"));
}
BENCHMARK(BM_SpawnTrue)->Unit(benchmark::kMicrosecond);

void BM_ShellExecuteTrue(benchmark::State &state) {
  static bool installed = false;
  if (!installed) {
    installed = true;
    corv::testing::RegisterShellPluginRecord(KILNRUN_TOOL_FOLDER);
    corv::RegisterRuntimeClassDeclarations();
    corv::InstallPlugins();
    corv::ProcessPluginClasses();
  }
  auto lookup = [](const char *name) {
    CORVstring s =
        RuntimeCreateString(name, static_cast<int32_t>(std::strlen(name)), kEncodingUTF8);
    void *entry = RuntimeLookupPluginEntrypoint(s);
    RuntimeUnlockString(s);
    return entry;
  };
  auto execute = reinterpret_cast<void (*)(CORVobject, CORVstring)>(
      lookup("Shell.Execute(command as String)"));
  CORVstring name = RuntimeCreateString("Shell", 5, kEncodingUTF8);
  CORVobject shell = RuntimeNewObject(RuntimeLookupClass(name));
  CORVstring command = RuntimeCreateString("true", 4, kEncodingUTF8);
  for (auto _ : state) execute(shell, command);
  RuntimeUnlockString(command);
  RuntimeUnlockString(name);
  RuntimeUnlockObject(shell);
}
BENCHMARK(BM_ShellExecuteTrue)->Unit(benchmark::kMicrosecond);

}  // namespace
