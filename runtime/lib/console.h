// The console's seam for tests: where console bytes go.
#pragma once

#include <cstddef>

namespace corv {

/// While set, console writes go to `sink` instead of the standard files
/// (`toStdOut` tells which file they were meant for). Null restores them.
using ConsoleSink = void (*)(bool toStdOut, const char *bytes, size_t length);
void SetConsoleSinkForTesting(ConsoleSink sink);

}  // namespace corv
