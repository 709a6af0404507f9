// The runtime entry points a plugin uses, resolved by name once in
// CORVPluginMain: plugins reach the runtime through the resolver only.
#pragma once

#include <cstring>
#include <string>

#include "corv_plugin.h"

namespace plugin {

struct Runtime {
  CORVstring (*CreateString)(const char *, int32_t, uint32_t) = nullptr;
  CORVstring (*LockString)(CORVstring) = nullptr;
  void (*UnlockString)(CORVstring) = nullptr;
  CORVclass *(*LookupClass)(CORVstring) = nullptr;
  void (*RaiseNewWithMessage)(CORVclass *, CORVstring, int32_t) = nullptr;
  void (*RegisterVersion)(int32_t) = nullptr;
  void (*RegisterClass)(const CORVpluginClassDefinition *) = nullptr;
  void (*RegisterModule)(const CORVpluginModuleDefinition *) = nullptr;
  int32_t (*RegisterBackgroundTask)(CORVBackgroundTaskFunction, void *, uint32_t, bool) = nullptr;
  void (*UnregisterBackgroundTask)(int32_t) = nullptr;

  /// Resolves every entry; false when one is missing (the plugin then
  /// registers nothing).
  bool Resolve(CORVPluginResolver resolver) {
    return Get(resolver, "RuntimeCreateString", &CreateString) &&
           Get(resolver, "RuntimeLockString", &LockString) &&
           Get(resolver, "RuntimeUnlockString", &UnlockString) &&
           Get(resolver, "RuntimeLookupClass", &LookupClass) &&
           Get(resolver, "CORVRaiseNewWithMessage", &RaiseNewWithMessage) &&
           Get(resolver, "RegisterPluginVersion", &RegisterVersion) &&
           Get(resolver, "PluginRegisterClass", &RegisterClass) &&
           Get(resolver, "PluginRegisterModule", &RegisterModule) &&
           Get(resolver, "PluginRegisterBackgroundTask", &RegisterBackgroundTask) &&
           Get(resolver, "PluginUnregisterBackgroundTask", &UnregisterBackgroundTask);
  }

  CORVstring MakeString(const std::string &text, uint32_t encoding) const {
    return CreateString(text.data(), static_cast<int32_t>(text.size()), encoding);
  }

  /// Raises a new exception of the named class with a message.
  void Raise(const char *className, const std::string &message, int32_t errorNumber) const {
    CORVstring name = MakeString(className, kEncodingASCII);
    CORVclass *cls = LookupClass(name);
    UnlockString(name);
    CORVstring text = MakeString(message, kEncodingUTF8);
    struct Release {
      const Runtime *runtime;
      CORVstring s;
      ~Release() { runtime->UnlockString(s); }
    } release{this, text};
    RaiseNewWithMessage(cls, text, errorNumber);
  }

 private:
  template <class F>
  static bool Get(CORVPluginResolver resolver, const char *name, F *out) {
    *out = reinterpret_cast<F>(resolver(name));
    return *out != nullptr;
  }
};

/// The bytes of a string (never null).
inline std::string Text(CORVstring s) {
  return s ? std::string(reinterpret_cast<const char *>(s->text) + 1, s->length) : std::string();
}

}  // namespace plugin
