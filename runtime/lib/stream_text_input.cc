// TextInputStream: lines and blocks of text read through a 1024-byte buffer.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "corv.h"
#include "corv/class_decl.h"
#include "corv_stream.h"
#include "lib/encoding.h"
#include "lib/stream_file.h"
#include "lib/string_record.h"

using namespace corv::stream;

namespace {

void InputFinalizer(CORVobject self) {
  auto *in = reinterpret_cast<CORVtextInputStream *>(self);
  CloseFile(in->file);
  in->file = nullptr;
  RuntimeUnlockObject(in->encoding);
  in->encoding = nullptr;
}

/// Reads the next block into the buffer; false at the end of the file.
bool Refill(CORVtextInputStream *in) {
  in->readPosition = 0;
  in->bufferCount = static_cast<int32_t>(ReadFile(in->file, in->buffer, kTextInputBufferSize));
  return in->bufferCount > 0;
}

CORVstring MakeString(const void *bytes, size_t length, uint32_t encoding) {
  return RuntimeCreateString(static_cast<const char *>(bytes), static_cast<int32_t>(length),
                             encoding);
}

/// Finds the first CR or LF in [from, end), or null. Lines are short, so
/// one pass that looks for both bytes at once beats two memchr calls, the
/// first of which may run far past a line that ends in a lone CR.
const uint8_t *FindTerminator(const uint8_t *from, const uint8_t *end) {
  const uint8_t *p = from;
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
  for (; end - p >= 16; p += 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    int hits =
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf)));
    if (hits) return p + std::countr_zero(static_cast<unsigned>(hits));
  }
#endif
  for (; p < end; ++p)
    if (*p == '\r' || *p == '\n') return p;
  return nullptr;
}

CORVstring ReadByteLine(CORVtextInputStream *in, uint32_t encoding) {
  std::string pending;  // a line that spans refills
  for (;;) {
    if (in->readPosition >= in->bufferCount && !Refill(in))
      return MakeString(pending.data(), pending.size(), encoding);  // ends with the file
    const uint8_t *from = in->buffer + in->readPosition;
    const uint8_t *end = in->buffer + in->bufferCount;
    const uint8_t *stop = FindTerminator(from, end);
    if (!stop) {
      pending.append(reinterpret_cast<const char *>(from), end - from);
      in->readPosition = in->bufferCount;
      continue;
    }
    CORVstring line;
    if (pending.empty()) {
      line = MakeString(from, stop - from, encoding);
    } else {
      pending.append(reinterpret_cast<const char *>(from), stop - from);
      line = MakeString(pending.data(), pending.size(), encoding);
    }
    in->readPosition = static_cast<int32_t>(stop - in->buffer) + 1;
    if (*stop == '\r') {
      // CR LF is one terminator, even when the LF begins the next block.
      if (in->readPosition >= in->bufferCount) Refill(in);
      if (in->readPosition < in->bufferCount && in->buffer[in->readPosition] == '\n')
        ++in->readPosition;
    }
    return line;
  }
}

/// Makes at least `count` unread bytes available when the file has them,
/// moving the unread rest to the front of the buffer first.
bool Ensure(CORVtextInputStream *in, int32_t count) {
  int32_t unread = in->bufferCount - in->readPosition;
  if (unread >= count) return true;
  std::memmove(in->buffer, in->buffer + in->readPosition, static_cast<size_t>(unread));
  in->readPosition = 0;
  in->bufferCount = unread;
  in->bufferCount += static_cast<int32_t>(
      ReadFile(in->file, in->buffer + unread, static_cast<size_t>(kTextInputBufferSize - unread)));
  return in->bufferCount >= count;
}

// A line of UTF-16 text: the terminators are units, not bytes.
CORVstring ReadUnitLine(CORVtextInputStream *in, uint32_t encoding, corv::UnitLayout units) {
  std::string line;
  bool terminated = false;
  while (!terminated && Ensure(in, 2)) {
    uint32_t unit = units.At(in->buffer + in->readPosition);
    in->readPosition += 2;
    if (unit == '\r') {
      if (Ensure(in, 2) && units.At(in->buffer + in->readPosition) == '\n') in->readPosition += 2;
      terminated = true;
    } else if (unit == '\n') {
      terminated = true;
    } else {
      line.append(reinterpret_cast<const char *>(in->buffer + in->readPosition - 2), 2);
    }
  }
  if (!terminated && in->bufferCount - in->readPosition == 1)
    line += static_cast<char>(in->buffer[in->readPosition++]);  // an odd last byte
  return MakeString(line.data(), line.size(), encoding);
}

/// Up to `count` bytes: the unread buffered bytes first, the rest directly
/// from the file.
CORVstring ReadBytes(CORVtextInputStream *in, int64_t count, uint32_t encoding) {
  if (!in->file || count <= 0) return nullptr;
  int64_t buffered = in->bufferCount - in->readPosition;
  if (count <= buffered) {
    CORVstring s = MakeString(in->buffer + in->readPosition, static_cast<size_t>(count), encoding);
    in->readPosition += static_cast<int32_t>(count);
    return s;
  }
  // Never more than the file still holds, so a huge count costs nothing.
  int64_t left = buffered + FileBytesLeft(in->file);
  if (count > left) count = left;
  if (count > INT32_MAX) count = INT32_MAX;
  if (count <= 0) return nullptr;
  CORVstring s = corv::AllocateString(static_cast<uint32_t>(count), encoding);
  if (!s) return nullptr;
  char *bytes = corv::MutableBytes(s);
  std::memcpy(bytes, in->buffer + in->readPosition, static_cast<size_t>(buffered));
  in->readPosition = in->bufferCount = 0;
  size_t got = ReadFile(in->file, bytes + buffered, static_cast<size_t>(count - buffered));
  size_t total = static_cast<size_t>(buffered) + got;
  if (total == static_cast<size_t>(count)) return s;
  CORVstring shorter = MakeString(bytes, total, encoding);  // what was actually obtained
  RuntimeUnlockString(s);
  return shorter;
}

}  // namespace

const CORVclassDecl kTextInputStreamDecl =
    corv::ClassDecl("TextInputStream", sizeof(CORVtextInputStream)).Finalizer(InputFinalizer);

extern "C" CORVstring TextInputStreamReadLine(CORVobject stream, CORVobject encoding) {
  auto *in = StreamRecord<CORVtextInputStream>(stream);
  if (!in || !in->file) return nullptr;
  uint32_t code = ReadEncoding(encoding, in->encoding);
  corv::UnitLayout units = corv::UnitLayoutOf(code);
  return units.size == 2 ? ReadUnitLine(in, code, units) : ReadByteLine(in, code);
}

extern "C" CORVstring TextInputStreamRead(CORVobject stream, int32_t count, CORVobject encoding) {
  auto *in = StreamRecord<CORVtextInputStream>(stream);
  if (!in) return nullptr;
  return ReadBytes(in, count, ReadEncoding(encoding, in->encoding));
}

extern "C" CORVstring TextInputStreamReadAll(CORVobject stream, CORVobject encoding) {
  auto *in = StreamRecord<CORVtextInputStream>(stream);
  if (!in || !in->file) return nullptr;
  int64_t rest = FileBytesLeft(in->file) + (in->bufferCount - in->readPosition);
  return ReadBytes(in, rest, ReadEncoding(encoding, in->encoding));
}

extern "C" bool TextInputStreamEOF(CORVobject stream) {
  auto *in = StreamRecord<CORVtextInputStream>(stream);
  if (!in || !in->file) return true;
  return in->readPosition >= in->bufferCount && FileAtEnd(in->file);
}

extern "C" int64_t TextInputStreamGetPosition(CORVobject stream) {
  auto *in = StreamRecord<CORVtextInputStream>(stream);
  if (!in || !in->file) return 0;
  return FilePosition(in->file) - (in->bufferCount - in->readPosition);
}

extern "C" void TextInputStreamSetPosition(CORVobject stream, int64_t position) {
  auto *in = StreamRecord<CORVtextInputStream>(stream);
  if (!in || !in->file || position < 0) return;
  in->readPosition = in->bufferCount = 0;
  if (SeekFile(in->file, position)) Refill(in);
}

extern "C" void TextInputStreamClose(CORVobject stream) {
  auto *in = StreamRecord<CORVtextInputStream>(stream);
  if (!in) return;
  CloseStream(in);
  in->readPosition = in->bufferCount = 0;
}

extern "C" int32_t TextInputStreamLastErrorGetter(CORVobject stream) {
  return LastStreamError(StreamRecord<CORVtextInputStream>(stream));
}

extern "C" CORVobject TextInputStreamEncodingGetter(CORVobject stream) {
  auto *in = StreamRecord<CORVtextInputStream>(stream);
  if (!in) return nullptr;
  RuntimeLockObject(in->encoding);
  return in->encoding;
}

extern "C" void TextInputStreamEncodingSetter(CORVobject stream, CORVobject encoding) {
  auto *in = StreamRecord<CORVtextInputStream>(stream);
  if (!in) return;
  RuntimeLockUnlockObjects(encoding, in->encoding);
  in->encoding = encoding;
}
