// The operating system this build of the runtime runs on: what the
// language's TargetWin32, TargetLinux and TargetMacOS constants tell.
#pragma once

namespace corv::platform {

enum class TargetSystem { kWindows, kLinux, kMacOS, kOtherPosix };

/// The system this build was made for.
TargetSystem CurrentTarget();

}  // namespace corv::platform
