// The Base64 plugin ("EHBase649371"): Base64Decode and Base64Encode.
#include "base64_codec.h"
#include "corv/plugin_definition.h"
#include "plugin_runtime.h"

namespace {

using plugin::gRuntime;

CORVstring Base64Decode(CORVstring s) {
  std::string bytes = plugin::DecodeBase64(plugin::Text(s));
  return corv::String(bytes, kEncodingUnknown).Leak();  // bytes of no declared encoding
}

CORVstring Base64Encode(CORVstring s) {
  return corv::String(plugin::EncodeBase64(plugin::Text(s), 0), kEncodingASCII).Leak();
}

const CORVpluginMethodDefinition kMethods[] = {
    {"Base64Decode(s as String) as String", reinterpret_cast<void *>(&Base64Decode)},
    {"Base64Encode(s as String) as String", reinterpret_cast<void *>(&Base64Encode)},
};

const CORVpluginModuleDefinition kModule = corv::PluginModule("EHBase64").Methods(kMethods);

}  // namespace

extern "C" CORV_PLUGIN_EXPORT void CORVPluginMain(CORVPluginResolver resolver) {
  if (!gRuntime.Resolve(resolver)) return;
  gRuntime.RegisterVersion(4);
  gRuntime.RegisterModule(&kModule);
}
