// The language's TargetWin32, TargetLinux and TargetMacOS: which operating
// system the program runs on (one of them at most is true).
#pragma once

namespace corv {

bool TargetWin32();
bool TargetLinux();
bool TargetMacOS();

}  // namespace corv
