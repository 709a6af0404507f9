// The symbol of a code address on POSIX: dladdr, over the dynamic symbol
// table.
#include <dlfcn.h>

#include "platform/symbol_lookup.h"

namespace corv::platform {

std::string SymbolContaining(const void *inside) {
  Dl_info info{};
  if (!dladdr(inside, &info) || !info.dli_sname) return {};
  return info.dli_sname;
}

}  // namespace corv::platform
