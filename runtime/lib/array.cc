// The Array class: creation, bounds, destruction and the buffer changes that
// every element kind shares.
//
// Invariant: buffer holds at least ElementCount × element size bytes
// (bufferLength says how many), is null exactly when bufferLength is 0, and
// bytes beyond the elements are never read. Only an insert leaves spare
// room; Remove and Redim shrink the buffer to the exact size.
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "corv.h"
#include "corv/class_decl.h"
#include "lib/array_internal.h"

namespace corv::array {
namespace {

constexpr int64_t kMaxBufferLength = INT32_MAX;  // buffer sizes are 31-bit

void RaiseOutOfMemory() {
  CORVRaiseNew(CORVBindDeclaration(&kOutOfMemoryExceptionDecl));
}

// Releases every element when the last reference goes. A cast wrapper holds
// no elements of its own: its table would empty the array it wraps.
void ArrayFinalizer(CORVobject self) {
  CORVarray *a = AsArray(self);
  if (IsCastWrapper(a) || !a->ops) return;
  reinterpret_cast<void (*)(CORVobject)>(a->ops[kCORVArrayReleaseAll])(self);
}

}  // namespace

int64_t ElementCount(const CORVarray *a) {
  int64_t count = 1;
  for (int32_t d = 0; d < a->dimensionCount; ++d)
    count *= static_cast<int64_t>(a->upperBounds[d]) + 1;
  return count;
}

bool OpenGap(CORVarray *a, int32_t index, int32_t elementSize) {
  int32_t upperBound = a->upperBounds[0];
  int64_t needed = (static_cast<int64_t>(upperBound) + 2) * elementSize;
  if (needed > a->bufferLength) {
    int64_t grown = a->bufferLength + static_cast<int64_t>(a->growthIncrement) * elementSize;
    if (grown < needed) {
      CORV_REPORT("array->bufferLength >= minimumBufferSize", nullptr);
      grown = needed;
    }
    if (grown > kMaxBufferLength) grown = (kMaxBufferLength / elementSize) * elementSize;
    void *buffer = grown >= needed ? std::realloc(a->buffer, static_cast<size_t>(grown)) : nullptr;
    if (!buffer) {
      RaiseOutOfMemory();
      return false;
    }
    a->buffer = buffer;
    a->bufferLength = static_cast<int32_t>(grown);
    if (a->growthIncrement < kGrowthLimit) a->growthIncrement *= 2;
  }
  // Growing kept the elements in place (realloc), so the gap is made the
  // same way whether or not the buffer was replaced.
  char *bytes = static_cast<char *>(a->buffer);
  std::memmove(bytes + static_cast<size_t>(index + 1) * elementSize,
               bytes + static_cast<size_t>(index) * elementSize,
               static_cast<size_t>(upperBound + 1 - index) * elementSize);
  return true;
}

void CloseGap(CORVarray *a, int32_t index, int32_t elementSize) {
  int32_t upperBound = a->upperBounds[0];
  char *bytes = static_cast<char *>(a->buffer);
  std::memmove(bytes + static_cast<size_t>(index) * elementSize,
               bytes + static_cast<size_t>(index + 1) * elementSize,
               static_cast<size_t>(upperBound - index) * elementSize);
  a->upperBounds[0] = upperBound - 1;
  a->growthIncrement = kInitialGrowth;
  size_t exact = static_cast<size_t>(upperBound) * elementSize;
  if (exact == 0) {
    std::free(a->buffer);
    a->buffer = nullptr;
    a->bufferLength = 0;
  } else if (void *shrunk = std::realloc(a->buffer, exact)) {
    a->buffer = shrunk;
    a->bufferLength = static_cast<int32_t>(exact);
  }  // a failed shrink keeps the larger buffer, still valid
}

bool ResizeExactly(CORVarray *a, int32_t newUpperBound, int32_t elementSize, void **oldBuffer) {
  *oldBuffer = nullptr;
  int64_t bytes = (static_cast<int64_t>(newUpperBound) + 1) * elementSize;
  if (bytes > kMaxBufferLength) {
    RaiseOutOfMemory();
    return false;
  }
  int64_t oldCount = static_cast<int64_t>(a->upperBounds[0]) + 1;
  int64_t newCount = static_cast<int64_t>(newUpperBound) + 1;
  void *buffer = nullptr;
  if (newCount > oldCount) {
    // Growing: the old elements all stay, so the buffer can be extended.
    buffer = std::realloc(a->buffer, static_cast<size_t>(bytes));
    if (!buffer) {
      RaiseOutOfMemory();
      return false;
    }
    std::memset(static_cast<char *>(buffer) + oldCount * elementSize, 0,
                static_cast<size_t>((newCount - oldCount) * elementSize));
  } else {
    // Shrinking: the caller still has to release the dropped elements, so
    // they stay in the old buffer until the array no longer shows them.
    if (bytes > 0) {
      buffer = std::malloc(static_cast<size_t>(bytes));
      if (!buffer) {
        RaiseOutOfMemory();
        return false;
      }
      std::memcpy(buffer, a->buffer, static_cast<size_t>(bytes));
    }
    *oldBuffer = a->buffer;
  }
  a->buffer = buffer;
  a->bufferLength = static_cast<int32_t>(bytes);
  a->upperBounds[0] = newUpperBound;
  a->growthIncrement = kInitialGrowth;
  return true;
}

void *DetachAll(CORVarray *a, int64_t *count) {
  *count = a->buffer ? ElementCount(a) : 0;
  void *buffer = a->buffer;
  a->buffer = nullptr;
  a->bufferLength = 0;
  a->growthIncrement = kInitialGrowth;
  for (int32_t d = 0; d < a->dimensionCount; ++d) a->upperBounds[d] = -1;
  return buffer;
}

void ReportNotOneDimension(const char *operation) {
  CORV_REPORT("array->dimensionCount == 1", operation);
}

}  // namespace corv::array

const CORVclassDecl kArrayDecl =
    corv::ClassDecl("Array", sizeof(CORVarray)).Finalizer(corv::array::ArrayFinalizer);

extern "C" CORVobject CreateArray(int32_t dimensions, int32_t kind, ...) {
  using namespace corv::array;
  int32_t elementSize = ElementSize(kind);
  if (elementSize == 0) {
    CORV_REPORT("kind != 12", "CreateArray: no such element kind");
    return nullptr;
  }
  if (dimensions < 1 || dimensions > kCORVArrayMaxDimensions) {
    CORV_REPORT("dimensions >= 1 && dimensions <= kCORVArrayMaxDimensions",
                "CreateArray: unsupported dimension count");
    return nullptr;
  }
  int32_t bounds[kCORVArrayMaxDimensions];
  va_list args;
  va_start(args, kind);
  for (int32_t d = 0; d < dimensions; ++d) bounds[d] = va_arg(args, int32_t);
  va_end(args);

  int64_t bytes = elementSize;
  for (int32_t d = 0; d < dimensions; ++d) {
    if (bounds[d] < -1) {
      RaiseOutOfBoundsException();
      return nullptr;
    }
    bytes *= static_cast<int64_t>(bounds[d]) + 1;
    if (bytes > kMaxBufferLength) {
      RaiseOutOfMemory();
      return nullptr;
    }
  }
  CORVobject obj = CORVInstantiateDeclaration(&kArrayDecl);
  CORVarray *a = AsArray(obj);
  a->ops = OperationsFor(kind, ShapeOf(dimensions));
  a->dimensionCount = dimensions;
  a->growthIncrement = kInitialGrowth;
  for (int32_t d = 0; d < dimensions; ++d) a->upperBounds[d] = -1;
  if (bytes > 0) {
    a->buffer = std::calloc(1, static_cast<size_t>(bytes));
    if (!a->buffer) {
      RuntimeUnlockObject(obj);
      RaiseOutOfMemory();
      return nullptr;
    }
  }
  a->bufferLength = static_cast<int32_t>(bytes);
  for (int32_t d = 0; d < dimensions; ++d) a->upperBounds[d] = bounds[d];
  return obj;
}

extern "C" int32_t RuntimeUBound(CORVobject array) {
  return RuntimeUBound2Param(array, 1);
}

extern "C" int32_t RuntimeUBound2Param(CORVobject array, int32_t dimension) {
  if (!array) {
    RaiseNilObjectException();
    return -1;
  }
  return reinterpret_cast<int32_t (*)(CORVobject, int32_t)>(
      corv::array::AsArray(array)->ops[kCORVArrayUBound])(array, dimension);
}
