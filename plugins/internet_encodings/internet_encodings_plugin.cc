// The internet-encodings plugin: EncodeBase64 with line wrapping and DecodeBase64.
#include "base64_codec.h"
#include "corv/plugin_definition.h"
#include "plugin_runtime.h"

namespace {

using plugin::gRuntime;

CORVstring EncodeBase64(CORVstring data, int32_t lineWrap) {
  return corv::String(plugin::EncodeBase64(plugin::Text(data), lineWrap), kEncodingASCII).Leak();
}

CORVstring DecodeBase64(CORVstring data) {
  return corv::String(plugin::DecodeBase64(plugin::Text(data)), kEncodingUnknown).Leak();
}

const CORVpluginMethodDefinition kMethods[] = {
    {"EncodeBase64(data As String, lineWrap As Integer = 76) As String",
     reinterpret_cast<void *>(&EncodeBase64)},
    {"DecodeBase64(data As String) As String", reinterpret_cast<void *>(&DecodeBase64)},
};

const CORVpluginModuleDefinition kModule =
    corv::PluginModule("InternetEncodings").Methods(kMethods);

}  // namespace

extern "C" CORV_PLUGIN_EXPORT void CORVPluginMain(CORVPluginResolver resolver) {
  if (!gRuntime.Resolve(resolver)) return;
  gRuntime.RegisterVersion(4);
  gRuntime.RegisterModule(&kModule);
}
