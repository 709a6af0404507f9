// The file streams as the application uses them: Ref<TextInputStream>,
// Ref<TextOutputStream> and Ref<BinaryStream> with the language's members.
// Each member is the entry point of the same meaning; I/O failures never
// raise, they show in short results and LastErrorCode.
#pragma once

#include <cstdint>

#include "corv/ref.h"
#include "corv/string.h"
#include "corv_stream.h"

namespace corv {

/// An encoding argument: a TextEncoding object, or nil for the default.
using EncodingRef = Ref<>;

/// The text input stream record with the language's members.
struct TextInputStream : CORVtextInputStream {
  /// The next line without its terminator; "" at the end.
  String ReadLine(const EncodingRef &encoding = nullptr) {
    return String::Adopt(TextInputStreamReadLine(self(), encoding.object()));
  }
  /// Everything from the position to the end.
  String ReadAll(const EncodingRef &encoding = nullptr) {
    return String::Adopt(TextInputStreamReadAll(self(), encoding.object()));
  }
  /// Up to `count` bytes.
  String Read(int32_t count, const EncodingRef &encoding = nullptr) {
    return String::Adopt(TextInputStreamRead(self(), count, encoding.object()));
  }
  /// EOF (named in full here: EOF is a macro of the C library).
  bool EndOfFile() { return TextInputStreamEOF(self()); }
  int64_t Position() { return TextInputStreamGetPosition(self()); }
  void Position(int64_t position) { TextInputStreamSetPosition(self(), position); }
  void Close() { TextInputStreamClose(self()); }
  int32_t LastErrorCode() { return TextInputStreamLastErrorGetter(self()); }
  /// The TextEncoding of the strings read, or nil (they are then tagged 0xFFFF).
  Ref<> Encoding() { return Ref<>::Adopt(TextInputStreamEncodingGetter(self())); }
  void Encoding(const EncodingRef &encoding) {
    TextInputStreamEncodingSetter(self(), encoding.object());
  }

 private:
  CORVobject self() { return reinterpret_cast<CORVobject>(this); }
};
static_assert(sizeof(TextInputStream) == sizeof(CORVtextInputStream));

/// The text output stream record with the language's members.
struct TextOutputStream : CORVtextOutputStream {
  /// The bytes of `text` as they are.
  void Write(const String &text) { TextOutputStreamWrite(self(), text.get()); }
  /// The bytes of `text`, then the terminator in the text's encoding.
  void WriteLine(const String &text) { TextOutputStreamWriteLine(self(), text.get()); }
  void Flush() { TextOutputStreamFlush(self()); }
  void Close() { TextOutputStreamClose(self()); }
  int32_t LastErrorCode() { return TextOutputStreamLastErrorGetter(self()); }
  /// The terminator of WriteLine; empty for the platform's.
  String Delimiter() { return String::Adopt(TextOutputStreamDelimiterGetter(self())); }
  void Delimiter(const String &delimiter) {
    TextOutputStreamDelimiterSetter(self(), delimiter.get());
  }

 private:
  CORVobject self() { return reinterpret_cast<CORVobject>(this); }
};
static_assert(sizeof(TextOutputStream) == sizeof(CORVtextOutputStream));

/// The binary stream record with the language's members. Numbers are
/// big-endian unless LittleEndian is set.
struct BinaryStream : CORVbinaryStream {
  /// Up to `count` bytes (cut at the end of the file).
  String Read(int32_t count, const EncodingRef &encoding = nullptr) {
    return String::Adopt(BinaryStreamRead(self(), count, encoding.object()));
  }
  void Write(const String &data) { BinaryStreamWrite(self(), data.get()); }
  /// The numeric readers give 0 when fewer bytes than their width are left.
  int32_t ReadByte() { return BinaryStreamReadByte(self()); }
  int32_t ReadShort() { return BinaryStreamReadShort(self()); }
  int32_t ReadLong() { return BinaryStreamReadLong(self()); }
  void WriteByte(int32_t value) { BinaryStreamWriteByte(self(), value); }
  void WriteShort(int32_t value) { BinaryStreamWriteShort(self(), value); }
  void WriteLong(int32_t value) { BinaryStreamWriteLong(self(), value); }
  int64_t Position() { return BinaryStreamGetPosition(self()); }
  void Position(int64_t position) { BinaryStreamSetPosition(self(), position); }
  int64_t Length() { return BinaryStreamGetLength(self()); }
  /// Truncates or extends the file; the position stays.
  void Length(int64_t length) { BinaryStreamSetLength(self(), length); }
  /// EOF: closed, or the position at or past the length.
  bool EndOfFile() { return BinaryStreamEOF(self()); }
  void Flush() { BinaryStreamFlush(self()); }
  void Close() { BinaryStreamClose(self()); }
  int32_t LastErrorCode() { return BinaryStreamLastErrorGetter(self()); }
  bool LittleEndian() { return BinaryStreamLittleEndianGetter(self()); }
  void LittleEndian(bool littleEndian) { BinaryStreamLittleEndianSetter(self(), littleEndian); }

 private:
  CORVobject self() { return reinterpret_cast<CORVobject>(this); }
};
static_assert(sizeof(BinaryStream) == sizeof(CORVbinaryStream));

}  // namespace corv
