// BinaryStream: bytes and numbers at a movable position, big-endian unless
// LittleEndian is set. Small reads are served by the file primitive's
// read-ahead, so 4-byte numbers do not each cost a platform call.
#include <algorithm>

#include "corv.h"
#include "corv/class_decl.h"
#include "corv_stream.h"
#include "lib/stream_file.h"
#include "lib/string_record.h"

using namespace corv::stream;

namespace {

void BinaryFinalizer(CORVobject self) {
  auto *b = reinterpret_cast<CORVbinaryStream *>(self);
  CloseFile(b->file);
  b->file = nullptr;
}

/// Reads an unsigned number of `width` bytes; 0 when fewer bytes are left.
uint32_t ReadNumber(CORVobject stream, size_t width) {
  auto *b = StreamRecord<CORVbinaryStream>(stream);
  if (!b || !b->file) return 0;
  uint8_t bytes[4];
  if (ReadFile(b->file, bytes, width) < width) return 0;
  uint32_t value = 0;
  for (size_t i = 0; i < width; ++i) {
    size_t at = b->littleEndian ? width - 1 - i : i;
    value = (value << 8) | bytes[at];
  }
  return value;
}

void WriteNumber(CORVobject stream, uint32_t value, size_t width) {
  auto *b = StreamRecord<CORVbinaryStream>(stream);
  if (!b || !b->file) return;
  uint8_t bytes[4];
  for (size_t i = 0; i < width; ++i) {
    size_t at = b->littleEndian ? i : width - 1 - i;
    bytes[at] = static_cast<uint8_t>(value >> (8 * i));
  }
  WriteFile(b->file, bytes, width);
}

}  // namespace

const CORVclassDecl kBinaryStreamDecl =
    corv::ClassDecl("BinaryStream", sizeof(CORVbinaryStream)).Finalizer(BinaryFinalizer);

extern "C" int64_t BinaryStreamGetPosition(CORVobject stream) {
  auto *b = StreamRecord<CORVbinaryStream>(stream);
  return b && b->file ? FilePosition(b->file) : 0;
}

extern "C" void BinaryStreamSetPosition(CORVobject stream, int64_t position) {
  auto *b = StreamRecord<CORVbinaryStream>(stream);
  if (!b || !b->file || position < 0) return;
  SeekFile(b->file, position);
}

extern "C" int64_t BinaryStreamGetLength(CORVobject stream) {
  auto *b = StreamRecord<CORVbinaryStream>(stream);
  return b && b->file ? FileLength(b->file) : 0;
}

extern "C" void BinaryStreamSetLength(CORVobject stream, int64_t length) {
  auto *b = StreamRecord<CORVbinaryStream>(stream);
  if (!b || !b->file || length < 0) return;
  SetFileLength(b->file, length);
}

extern "C" bool BinaryStreamEOF(CORVobject stream) {
  auto *b = StreamRecord<CORVbinaryStream>(stream);
  return !b || !b->file || FileAtEnd(b->file);
}

extern "C" CORVstring BinaryStreamRead(CORVobject stream, int32_t count, CORVobject encoding) {
  auto *b = StreamRecord<CORVbinaryStream>(stream);
  if (!b || !b->file) return nullptr;
  int64_t left = FileBytesLeft(b->file);
  int64_t wanted = std::min<int64_t>(count, left);
  if (wanted <= 0) return nullptr;
  CORVstring s = corv::AllocateString(static_cast<uint32_t>(wanted), EncodingCodeOf(encoding));
  if (!s) return nullptr;
  char *bytes = corv::MutableBytes(s);
  size_t got = ReadFile(b->file, bytes, static_cast<size_t>(wanted));
  if (got == static_cast<size_t>(wanted)) return s;
  CORVstring shorter = RuntimeCreateString(bytes, static_cast<int32_t>(got), CORVStringEncoding(s));
  RuntimeUnlockString(s);
  return shorter;
}

extern "C" void BinaryStreamWrite(CORVobject stream, CORVstring data) {
  auto *b = StreamRecord<CORVbinaryStream>(stream);
  if (!b || !b->file || !data) return;
  WriteFile(b->file, CORVStringBytes(data), CORVStringLength(data));
}

extern "C" int32_t BinaryStreamReadByte(CORVobject stream) {
  return static_cast<int32_t>(ReadNumber(stream, 1));
}
extern "C" void BinaryStreamWriteByte(CORVobject stream, int32_t value) {
  WriteNumber(stream, static_cast<uint32_t>(value), 1);
}
extern "C" int32_t BinaryStreamReadShort(CORVobject stream) {
  return static_cast<int16_t>(ReadNumber(stream, 2));
}
extern "C" void BinaryStreamWriteShort(CORVobject stream, int32_t value) {
  WriteNumber(stream, static_cast<uint32_t>(value), 2);
}
extern "C" int32_t BinaryStreamReadLong(CORVobject stream) {
  return static_cast<int32_t>(ReadNumber(stream, 4));
}
extern "C" void BinaryStreamWriteLong(CORVobject stream, int32_t value) {
  WriteNumber(stream, static_cast<uint32_t>(value), 4);
}

extern "C" void BinaryStreamFlush(CORVobject stream) {
  auto *b = StreamRecord<CORVbinaryStream>(stream);
  if (b && b->file) FlushFile(b->file);
}

extern "C" void BinaryStreamClose(CORVobject stream) {
  CloseStream(StreamRecord<CORVbinaryStream>(stream));
}

extern "C" int32_t BinaryStreamLastErrorGetter(CORVobject stream) {
  return LastStreamError(StreamRecord<CORVbinaryStream>(stream));
}

extern "C" bool BinaryStreamLittleEndianGetter(CORVobject stream) {
  auto *b = StreamRecord<CORVbinaryStream>(stream);
  return b && b->littleEndian;
}

extern "C" void BinaryStreamLittleEndianSetter(CORVobject stream, bool littleEndian) {
  if (auto *b = StreamRecord<CORVbinaryStream>(stream)) b->littleEndian = littleEndian;
}
