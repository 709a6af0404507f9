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
/// The in-place writer: stores `byte` at `pos` of *s, first copying the
/// record when it is shared (its count is not 1). A position outside the
/// string is reported ("not (pos < 0 || pos >= Length())", or "not pos" on
/// the empty string, where position 0 passes without a report) and nothing
/// is stored. *s carries one reference.
void SetStringByte(CORVstring *s, int32_t pos, unsigned char byte);
/// The number of records that only the runtime's caches keep alive; the
/// live-string count leaves them out. Installed by the cache's owner.
void SetCachedOnlyCounter(int32_t (*counter)());
/// The writable bytes of a record the caller just allocated and still owns alone.
inline char *MutableBytes(CORVstring s) {
  return reinterpret_cast<char *>(s->text + 1);
}

}  // namespace corv
