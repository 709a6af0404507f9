// Allocation of string records, for the runtime's own string builders.
#pragma once

#include <cstdint>

#include "corv_types.h"

namespace corv {

/// A new record of `length` bytes (uninitialised, zero-terminated) tagged
/// `encoding`, with one reference; null for length 0.
CORVstring AllocateString(uint32_t length, uint32_t encoding);
/// A string that lives until the process ends (class and member names of
/// the runtime's own classes): it holds a reference nobody gives up, and it
/// is not counted among the live strings that leak checks compare.
CORVstring MakePermanentString(const char *text);
/// The writable bytes of a record the caller just allocated and still owns alone.
inline char *MutableBytes(CORVstring s) {
  return reinterpret_cast<char *>(s->text + 1);
}

}  // namespace corv
