// Leaving the terminal and the process that started us, for programs that
// go on serving after their starter has returned.
#pragma once

#include "platform/result.h"

namespace corv::platform {

/// Goes on in a child process of a session of its own, with standard input,
/// output and error on the null device; the calling process exits with
/// status 0 once the child exists. Returns only in the child, or in the
/// caller when no child could be made (the failure).
Status DetachProcess();

}  // namespace corv::platform
