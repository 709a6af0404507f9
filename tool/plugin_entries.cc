// The thirteen plugin entries of the tool.
#include "plugin_entries.h"

namespace kilnrun {
namespace {

const char *const kEntryNames[kPluginEntryCount] = {
    "EncodeBase64(data As String, lineWrap As Integer = 76) As String",
    "Shell.__init",
    "Shell.__exit",
    "Shell.Execute(command as String)",
    "Shell.Execute(command as String, parameters as String)",
    "Shell.ReadAll() as String",
    "Shell.Write(s as String)",
    "Shell.WriteLine(s as String)",
    "Shell.Close",
    "Shell.Poll",
    "Shell.Result.Get",
    "Shell.Mode.Set",
    "Base64Decode(s as String) as String",
};

void **gTable = nullptr;

}  // namespace

void LookUpPluginEntries() {
  if (gTable) return;
  gTable = RuntimeAllocatePluginEntrypointsTable(kPluginEntryCount);
  for (int i = 0; i < kPluginEntryCount; ++i) {
    corv::String name(kEntryNames[i]);
    gTable[i] = RuntimeLookupPluginEntrypoint(name.get());
  }
}

void *PluginFunction(PluginEntry entry) {
  return gTable ? gTable[entry] : nullptr;
}

void *RequirePluginFunction(PluginEntry entry) {
  void *function = PluginFunction(entry);
  if (!function) {
    corv::String name(kEntryNames[entry]);
    corv::String library("the plugins in \"" KILNRUN_LIBS_FOLDER "\"");
    RuntimeRaiseFunctionNotFoundException(name.get(), library.get());
  }
  return function;
}

corv::String EncodeBase64(const corv::String &data, int32_t lineWrap) {
  auto encode =
      reinterpret_cast<CORVstring (*)(CORVstring, int32_t)>(RequirePluginFunction(kEncodeBase64));
  return corv::String::Adopt(encode(data.get(), lineWrap));
}

corv::String Base64Decode(const corv::String &s) {
  auto decode = reinterpret_cast<CORVstring (*)(CORVstring)>(RequirePluginFunction(kBase64Decode));
  return corv::String::Adopt(decode(s.get()));
}

}  // namespace kilnrun
