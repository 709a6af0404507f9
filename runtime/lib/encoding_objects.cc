// TextEncoding objects, the Encodings getter, and the string functions that
// read, define and convert a string's encoding.
#include <cstring>

#include "corv/class_decl.h"
#include "corv/ref.h"
#include "corv_exception.h"
#include "lib/encoding.h"
#include "lib/string_record.h"

const CORVclassDecl kTextEncodingDecl = corv::ClassDecl("TextEncoding", sizeof(CORVtextEncoding));

namespace {

uint32_t CodeOf(CORVobject encoding) {
  return encoding ? reinterpret_cast<CORVtextEncoding *>(encoding)->code
                  : static_cast<uint32_t>(kEncodingUnknown);
}

}  // namespace

extern "C" CORVobject RuntimeTextEncodingFromCode(uint32_t code) {
  auto enc = corv::New<CORVtextEncoding>(&kTextEncodingDecl);
  if (!enc) return nullptr;
  enc->code = code;
  enc->base = code & 0xFFFF;
  enc->variant = (code >> 16) & 0x3FF;
  enc->format = code >> 26;
  return reinterpret_cast<CORVobject>(enc.Leak());
}

extern "C" CORVobject EncodingsGetter(int32_t index) {
  size_t count;
  const corv::EncodingEntry *table = corv::EncodingTable(&count);
  if (index < 1 || static_cast<size_t>(index) > count) return nullptr;
  return RuntimeTextEncodingFromCode(table[index - 1].code);
}

extern "C" bool TextEncodingEquals(CORVobject a, CORVobject b) {
  if (a == b) return true;
  if (!a || !b) return false;
  return CodeOf(a) == CodeOf(b);
}

extern "C" CORVobject StringGetEncoding(CORVstring s) {
  uint32_t code = CORVStringEncoding(s);
  if (code == kEncodingUnknown) return nullptr;
  return RuntimeTextEncodingFromCode(code);
}

extern "C" CORVstring RuntimeDefineEncoding(CORVstring s, uint32_t encoding) {
  if (!s || s->encoding == encoding) return RuntimeLockString(s);
  return RuntimeCreateString(CORVStringBytes(s), static_cast<int32_t>(s->length), encoding);
}

extern "C" CORVstring StringSetEncoding(CORVstring s, CORVobject encoding) {
  return RuntimeDefineEncoding(s, CodeOf(encoding));
}

extern "C" CORVstring StringConvertEncoding(CORVstring s, CORVobject encoding) {
  return RuntimeConvertString(s, CodeOf(encoding));
}
