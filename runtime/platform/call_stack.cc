// Native call-stack names: the unwinder's walk of the stack, the platform's
// symbol of each return address, and the C++ ABI demangler. Only exported
// functions have names, which is why executables that link the runtime
// export their symbols.
#include <cxxabi.h>
#include <unwind.h>

#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "platform/symbol_lookup.h"
#include "platform/symbols.h"

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
  std::string symbol = SymbolContaining(static_cast<char *>(returnAddress) - 1);
  return symbol.empty() ? symbol : Demangle(symbol.c_str());
}

// Symbol tables are searched linearly, so names are kept per return
// address: there are only as many as there are call sites that raise.
std::string NameAt(void *returnAddress) {
  static std::mutex mutex;
  static std::unordered_map<void *, std::string> names;
  std::lock_guard<std::mutex> hold(mutex);
  auto found = names.find(returnAddress);
  if (found == names.end()) found = names.emplace(returnAddress, LookUpName(returnAddress)).first;
  return found->second;
}

// The unwinder's own walk rather than the C library's backtrace, which loads
// the shared unwinder library on first use even in a program that carries
// the unwinder itself: a raise made at start-up would pay for that load.
struct Frames {
  void *addresses[kMaxCallStackFrames + 1];
  int count = 0;
};

_Unwind_Reason_Code CollectFrame(_Unwind_Context *context, void *data) {
  auto *frames = static_cast<Frames *>(data);
  if (frames->count > kMaxCallStackFrames) return _URC_END_OF_STACK;
  void *address = reinterpret_cast<void *>(_Unwind_GetIP(context));
  if (!address) return _URC_END_OF_STACK;
  frames->addresses[frames->count++] = address;
  return _URC_NO_REASON;
}

}  // namespace

std::vector<std::string> NativeCallStack() {
  Frames frames;
  _Unwind_Backtrace(&CollectFrame, &frames);
  std::vector<std::string> names;
  // Entry 0 is NativeCallStack itself.
  for (int i = 1; i < frames.count; ++i) names.push_back(NameAt(frames.addresses[i]));
  return names;
}

std::vector<void *> NativeCallStackAddresses() {
  Frames frames;
  _Unwind_Backtrace(&CollectFrame, &frames);
  // Entry 0 is NativeCallStackAddresses itself.
  if (frames.count <= 1) return {};
  return std::vector<void *>(frames.addresses + 1, frames.addresses + frames.count);
}

std::string FunctionNameAt(void *returnAddress) {
  return NameAt(returnAddress);
}

}  // namespace corv::platform
