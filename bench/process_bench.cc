// Start-up of kilnrun against /bin/true, the loop check when the tick has
// not changed, and Shell.Execute("true") against spawning the same command.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "core/loader.h"
#include "core/plugin_host.h"
#include "core/runtime_classes.h"
#include "corv.h"
#include "image_builder.h"
#include "platform/process.h"

namespace {

void BM_StartTrue(benchmark::State &state) {
  for (auto _ : state) benchmark::DoNotOptimize(corv::platform::RunCommandLine("exec /bin/true"));
}
BENCHMARK(BM_StartTrue)->Unit(benchmark::kMillisecond);

void BM_StartKilnrunVersion(benchmark::State &state) {
  std::string command = std::string("exec '") + KILNRUN_PATH + "' --version";
  for (auto _ : state) benchmark::DoNotOptimize(corv::platform::RunCommandLine(command));
}
BENCHMARK(BM_StartKilnrunVersion)->Unit(benchmark::kMillisecond);

void BM_BackgroundTaskSameTick(benchmark::State &state) {
  for (auto _ : state) RuntimeBackgroundTask();
}
BENCHMARK(BM_BackgroundTaskSameTick);

void BM_SpawnTrue(benchmark::State &state) {
  for (auto _ : state) benchmark::DoNotOptimize(corv::platform::RunCommandLine("true"));
}
BENCHMARK(BM_SpawnTrue)->Unit(benchmark::kMicrosecond);

void BM_ShellExecuteTrue(benchmark::State &state) {
  static kilnrun_image::Bytes rsrc;
  if (rsrc.empty()) {
    std::string path = "Kilnrun Libs\\Shell.so";
    kilnrun_image::Bytes data(path.begin(), path.end());
    data.push_back(0);
    kilnrun_image::AddResource(&rsrc, CORV_FOUR_CHAR('C', 'V', 'n', 'x'), 0, data, "");
    registerResources(rsrc.data(), static_cast<uint32_t>(rsrc.size()), 0);
    corv::SetPluginBaseFolder(KILNRUN_TOOL_FOLDER);
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
