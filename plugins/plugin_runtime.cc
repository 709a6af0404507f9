// The string entry points inside a plugin: each forwards through the table
// that CORVPluginMain resolved, so that corv::String works here as it does
// in the runtime and the tool. Built with hidden visibility, these never
// stand in for the program's own functions.
#include "plugin_runtime.h"

plugin::Runtime plugin::gRuntime;

using plugin::gRuntime;

extern "C" CORVstring RuntimeCreateString(const char *bytes, int32_t length, uint32_t encoding) {
  return gRuntime.CreateString(bytes, length, encoding);
}
extern "C" CORVstring RuntimeLockString(CORVstring s) {
  return gRuntime.LockString(s);
}
extern "C" void RuntimeUnlockString(CORVstring s) {
  gRuntime.UnlockString(s);
}
extern "C" CORVstring RuntimeLockUnlockStrings(CORVstring newValue, CORVstring oldValue) {
  return gRuntime.LockUnlockStrings(newValue, oldValue);
}
extern "C" CORVstring RuntimeAddString(CORVstring a, CORVstring b) {
  return gRuntime.AddString(a, b);
}
extern "C" int32_t RuntimeStringCompare(CORVstring a, CORVstring b) {
  return gRuntime.StringCompare(a, b);
}
