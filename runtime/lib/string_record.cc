// String records: one allocation holding the five fields, a pad byte so the
// bytes start at an even address, the length byte, the bytes and four zero
// bytes. Reference counts change atomically: plugins may share strings with
// the runtime, and this is the string-reference lock in its cheapest form.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "corv.h"
#include "lib/string_record.h"

namespace corv {
namespace {

std::atomic<int32_t> gLiveStrings{0};
std::atomic<int32_t (*)()> gCachedOnly{nullptr};

// The record, the pad byte and the length byte come before the bytes.
constexpr size_t kHeaderSize = sizeof(CORVstringRecord) + 1;
static_assert(sizeof(CORVstringRecord) % 2 == 0, "bytes must start at an even offset");

std::atomic_ref<int32_t> Count(CORVstring s) {
  return std::atomic_ref<int32_t>(s->refCount);
}

}  // namespace

CORVstring AllocateString(uint32_t length, uint32_t encoding) {
  if (length == 0) return nullptr;
  void *block = std::malloc(kHeaderSize + length + 5);
  if (!block) throw std::bad_alloc();
  auto *s = static_cast<CORVstringRecord *>(block);
  s->refCount = 1;
  s->text = static_cast<unsigned char *>(block) + kHeaderSize;
  s->allocSize = length + 5;
  s->length = length;
  s->encoding = encoding;
  s->text[0] = static_cast<unsigned char>(length >= 255 ? 255 : length);
  std::memset(s->text + 1 + length, 0, 4);
  gLiveStrings.fetch_add(1, std::memory_order_relaxed);
  return s;
}

CORVstring MakePermanentString(const char *text) {
  size_t length = text ? std::strlen(text) : 0;
  CORVstring s = AllocateString(static_cast<uint32_t>(length), kEncodingUTF8);
  if (!s) return nullptr;
  std::memcpy(MutableBytes(s), text, length);
  s->refCount = 2;
  gLiveStrings.fetch_sub(1, std::memory_order_relaxed);
  return s;
}

void SetStringByte(CORVstring *s, int32_t pos, unsigned char byte) {
  CORVstring str = *s;
  if (!str) {  // no byte to store into; position 0 passes quietly
    if (pos) CORV_REPORT("not pos", "store into an empty string");
    return;
  }
  if (pos < 0 || static_cast<uint32_t>(pos) >= str->length) {
    CORV_REPORT("not (pos < 0 || pos >= Length())", "store outside the string");
    return;
  }
  if (Count(str).load(std::memory_order_acquire) != 1) {  // shared: copy before writing
    CORVstring copy = AllocateString(str->length, str->encoding);
    std::memcpy(MutableBytes(copy), CORVStringBytes(str), str->length);
    RuntimeUnlockString(str);
    *s = str = copy;
  }
  MutableBytes(str)[pos] = static_cast<char>(byte);
}

void SetCachedOnlyCounter(int32_t (*counter)()) {
  gCachedOnly.store(counter);
}

}  // namespace corv

extern "C" CORVstring RuntimeCreateString(const char *bytes, int32_t length, uint32_t encoding) {
  if (length <= 0) return nullptr;
  CORVstring s = corv::AllocateString(static_cast<uint32_t>(length), encoding);
  if (bytes)
    std::memcpy(corv::MutableBytes(s), bytes, static_cast<size_t>(length));
  else
    std::memset(corv::MutableBytes(s), 0, static_cast<size_t>(length));
  return s;
}

extern "C" CORVstring RuntimeLockString(CORVstring s) {
  if (s) corv::Count(s).fetch_add(1, std::memory_order_relaxed);
  return s;
}

extern "C" void RuntimeUnlockString(CORVstring s) {
  if (!s) return;
  if (corv::Count(s).fetch_sub(1, std::memory_order_acq_rel) == 1) {
    corv::gLiveStrings.fetch_sub(1, std::memory_order_relaxed);
    std::free(s);
  }
}

extern "C" CORVstring RuntimeLockUnlockStrings(CORVstring newValue, CORVstring oldValue) {
  if (newValue != oldValue) {
    RuntimeLockString(newValue);
    RuntimeUnlockString(oldValue);
  }
  return newValue;
}

extern "C" int32_t RuntimeLiveStringCount(void) {
  int32_t (*cachedOnly)() = corv::gCachedOnly.load();
  return corv::gLiveStrings.load(std::memory_order_relaxed) - (cachedOnly ? cachedOnly() : 0);
}
