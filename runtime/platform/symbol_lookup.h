// The one piece of naming call-stack frames that differs by platform: the
// symbol a code address lies in, as the platform's tables know it.
#pragma once

#include <string>

namespace corv::platform {

/// The (possibly mangled) name of the exported function that `inside`
/// lies in; empty when the platform cannot tell.
std::string SymbolContaining(const void *inside);

}  // namespace corv::platform
