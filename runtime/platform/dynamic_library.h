// Loading shared libraries at run time: plugins and declared external functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corv::platform {

/// Loads a library by path or by name; null when it cannot be loaded, with
/// the system loader's own explanation in `*message` when one is given.
void *LoadLibrary(const std::string &pathOrName, std::string *message = nullptr);
/// The address of an exported symbol; null when there is none.
void *FindSymbol(void *library, const char *name);
/// Writes library bytes to a new private temporary file whose name ends
/// with `fileName`, so that it can be loaded; "" on failure.
std::string WriteTemporaryLibrary(const std::string &fileName, const std::vector<uint8_t> &bytes);

}  // namespace corv::platform
