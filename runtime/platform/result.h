// How platform calls report failure: a status or a value, each carrying the
// platform's own error number (0 for success), never mapped here.
#pragma once

#include <utility>

namespace corv::platform {

/// The outcome of a platform call that yields nothing but success or failure.
struct Status {
  int error = 0;  ///< the platform error number, 0 on success
  bool ok() const { return error == 0; }
};

/// The outcome of a platform call that yields a value when it succeeds.
template <class T>
struct Result {
  T value{};
  int error = 0;
  bool ok() const { return error == 0; }
  static Result Failure(int error) {
    Result r;
    r.error = error;
    return r;
  }
  static Result Success(T value) {
    Result r;
    r.value = std::move(value);
    return r;
  }
};

}  // namespace corv::platform
