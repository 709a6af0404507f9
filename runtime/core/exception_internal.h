// Exception machinery shared inside the runtime.
#pragma once

#include <string>
#include <vector>

namespace corv {

/// The names of the native functions above the raise in progress, the one
/// that called RuntimeRaiseException first (outside a raise: the whole call
/// stack). Functions the platform cannot name are left out. This is what a
/// raise records in the exception's Stack.
std::vector<std::string> RaiserCallStack();

}  // namespace corv
