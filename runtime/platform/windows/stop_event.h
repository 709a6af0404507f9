// The event that a stop request sets, so that waits end early on it.
#pragma once

#include <windows.h>

namespace corv::platform {

/// A manual-reset event, set from the first stop request on.
HANDLE StopEvent();

}  // namespace corv::platform
