// Naming the functions on the native call stack (for an exception's Stack).
#pragma once

#include <string>
#include <vector>

namespace corv::platform {

/// The most frames a call-stack capture looks at.
inline constexpr int kMaxCallStackFrames = 64;

/// The names of the functions on the calling thread's native call stack,
/// innermost first, beginning with the caller of NativeCallStack. C++ names
/// are demangled; a frame whose function has no name the platform can find
/// gives an empty string, so positions still match frames.
std::vector<std::string> NativeCallStack();

/// The return addresses on the calling thread's native call stack,
/// innermost first, beginning with the caller of NativeCallStackAddresses:
/// a cheap capture whose names can be looked up later.
std::vector<void *> NativeCallStackAddresses();
/// The name of the function a captured return address returns into (the
/// same rule as NativeCallStack; empty when the platform cannot name it).
std::string FunctionNameAt(void *returnAddress);

}  // namespace corv::platform
