// The runtime link table: every entry point by name, for images and plugins.
#pragma once

#include <cstddef>

#include "corv_types.h"

namespace corv {

/// The fixed entries, in the runtime's own order.
const CORVlinkEntry *FixedLinkEntries(size_t *count);
/// The dynamic entries appended by registerLinkEntry, in order.
const CORVlinkEntry *DynamicLinkEntries(size_t *count);

}  // namespace corv
