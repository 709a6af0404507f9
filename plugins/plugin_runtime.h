// The runtime entry points a plugin uses, resolved by name once in
// CORVPluginMain: plugins reach the runtime through the resolver only.
//
// Plugins hold strings in the runtime's own handle, corv::String. Inside a
// plugin, the entry points that handle calls (RuntimeCreateString and the
// others of plugin_runtime.cc) are forwarders through this table, kept
// private to the library; plugins link with no undefined symbol allowed, so
// a runtime function used without going through the table fails the link
// instead of binding to the program's export behind the resolver's back.
#pragma once

#include <string>
#include <string_view>

#include "corv/string.h"
#include "corv_plugin.h"

namespace plugin {

struct Runtime {
  CORVstring (*CreateString)(const char *, int32_t, uint32_t) = nullptr;
  CORVstring (*LockString)(CORVstring) = nullptr;
  void (*UnlockString)(CORVstring) = nullptr;
  CORVstring (*LockUnlockStrings)(CORVstring, CORVstring) = nullptr;
  CORVstring (*AddString)(CORVstring, CORVstring) = nullptr;
  int32_t (*StringCompare)(CORVstring, CORVstring) = nullptr;
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
           Get(resolver, "RuntimeLockUnlockStrings", &LockUnlockStrings) &&
           Get(resolver, "RuntimeAddString", &AddString) &&
           Get(resolver, "RuntimeStringCompare", &StringCompare) &&
           Get(resolver, "RuntimeLookupClass", &LookupClass) &&
           Get(resolver, "CORVRaiseNewWithMessage", &RaiseNewWithMessage) &&
           Get(resolver, "RegisterPluginVersion", &RegisterVersion) &&
           Get(resolver, "PluginRegisterClass", &RegisterClass) &&
           Get(resolver, "PluginRegisterModule", &RegisterModule) &&
           Get(resolver, "PluginRegisterBackgroundTask", &RegisterBackgroundTask) &&
           Get(resolver, "PluginUnregisterBackgroundTask", &UnregisterBackgroundTask);
  }

  /// Raises a new exception of the named class with a UTF-8 message.
  void Raise(const char *className, std::string_view message, int32_t errorNumber) const {
    corv::String name(className, kEncodingASCII);
    corv::String text(message);  // given up as the raise unwinds
    RaiseNewWithMessage(LookupClass(name.get()), text.get(), errorNumber);
  }

 private:
  template <class F>
  static bool Get(CORVPluginResolver resolver, const char *name, F *out) {
    *out = reinterpret_cast<F>(resolver(name));
    return *out != nullptr;
  }
};

/// The plugin's one table (each plugin library has its own).
extern Runtime gRuntime;

/// The bytes of a borrowed string.
inline std::string Text(CORVstring s) {
  return std::string(CORVStringBytes(s), CORVStringLength(s));
}

}  // namespace plugin
