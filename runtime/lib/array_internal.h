// Helpers shared by the array files: element kinds, the operation tables and
// the byte-level buffer changes that every element kind shares.
#pragma once

#include <cstdint>

#include "corv_array.h"

namespace corv::array {

/// Elements an insert adds first, and the increment's doubling limit.
constexpr int32_t kInitialGrowth = 16;
constexpr int32_t kGrowthLimit = 0x20000;

/// One dimension, two, or more: which table of a kind an array uses.
enum Shape { kOneDimension = 0, kTwoDimensions = 1, kMoreDimensions = 2 };

/// The operation table for an element kind and shape; null for a kind that
/// does not exist.
const CORVarrayOperation *OperationsFor(int32_t kind, Shape shape);
/// Bytes per element of a kind; 0 for a kind that does not exist.
int32_t ElementSize(int32_t kind);

inline CORVarray *AsArray(CORVobject obj) {
  return reinterpret_cast<CORVarray *>(obj);
}
inline Shape ShapeOf(int32_t dimensions) {
  return dimensions == 1 ? kOneDimension : dimensions == 2 ? kTwoDimensions : kMoreDimensions;
}

/// Number of elements of the array (the product of bound + 1).
int64_t ElementCount(const CORVarray *a);

/// Makes room for one more element at `index` of a one-dimensional array:
/// grows the buffer by the growth increment when it is full (doubling the
/// increment up to kGrowthLimit) and moves the elements from `index` on one
/// place up. The bound is not changed. Raises OutOfMemoryException (and
/// leaves the array as it was, giving false) when the buffer cannot grow.
bool OpenGap(CORVarray *a, int32_t index, int32_t elementSize);
/// Closes the place of element `index` (already taken out by the caller),
/// shrinks the buffer to the exact size, drops the bound by one and resets
/// the growth increment.
void CloseGap(CORVarray *a, int32_t index, int32_t elementSize);
/// Replaces the buffer by one of exactly newUpperBound + 1 elements, keeping
/// the leading elements and zeroing new ones, and resets the growth
/// increment. `*oldBuffer` receives the old buffer when the array shrank
/// (the caller releases its elements above the new bound, then frees it),
/// else null. Raises OutOfMemoryException and gives false, the array
/// unchanged, when the size does not fit in 31 bits or cannot be allocated.
bool ResizeExactly(CORVarray *a, int32_t newUpperBound, int32_t elementSize, void **oldBuffer);
/// Takes the buffer out of the array and marks every bound -1; the caller
/// releases the `count` elements of the returned buffer and frees it.
void *DetachAll(CORVarray *a, int64_t *count);

/// Reports an operation that needs a one-dimensional array.
void ReportNotOneDimension(const char *operation);

/// True for the cast-wrapper view of an object array.
bool IsCastWrapper(const CORVarray *a);

}  // namespace corv::array
