// Native call-stack names on POSIX: backtrace, dladdr and the C++ ABI
// demangler. Only functions in the dynamic symbol table have names, which is
// why executables that link the runtime export their symbols.
#include "platform/symbols.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>

#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace corv::platform {

namespace {

std::string Demangle(const char *symbol) {
  int status = 0;
  char *demangled = abi::__cxa_demangle(symbol, nullptr, nullptr, &status);
  if (status != 0 || !demangled) return symbol;  // a C name, or not a mangled one
  std::string name(demangled);
  std::free(demangled);
  return name;
}

std::string LookUpName(void *returnAddress) {
  // A return address may be the first byte after the function's last call;
  // one byte back is always inside the calling function.
  void *inside = static_cast<char *>(returnAddress) - 1;
  Dl_info info{};
  if (!dladdr(inside, &info) || !info.dli_sname) return {};
  return Demangle(info.dli_sname);
}

// dladdr searches the symbol table linearly, so names are kept per return
// address: there are only as many as there are call sites that raise.
std::string NameAt(void *returnAddress) {
  static std::mutex mutex;
  static std::unordered_map<void *, std::string> names;
  std::lock_guard<std::mutex> hold(mutex);
  auto found = names.find(returnAddress);
  if (found == names.end()) found = names.emplace(returnAddress, LookUpName(returnAddress)).first;
  return found->second;
}

}  // namespace

std::vector<std::string> NativeCallStack() {
  void *addresses[kMaxCallStackFrames + 1];
  int count = backtrace(addresses, kMaxCallStackFrames + 1);
  std::vector<std::string> names;
  // Entry 0 is NativeCallStack itself.
  for (int i = 1; i < count; ++i) names.push_back(NameAt(addresses[i]));
  return names;
}

}  // namespace corv::platform
