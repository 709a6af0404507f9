/* Strings: creation, references, text encodings, concatenation, comparison
 * and the language's string functions. Arguments are borrowed; a returned
 * string carries one reference for the caller; null is the empty string. */
#ifndef CORV_STRING_H
#define CORV_STRING_H

#include <stdbool.h>

#include "corv_object.h"
#include "corv_types.h"

CORV_BEGIN_DECLS

/* The other Unicode forms (the top six bits name the form). */
enum {
  kEncodingUTF16LE = 0x14000100u,
  kEncodingUTF16BE = 0x10000100u,
  kEncodingUTF32LE = 0x0C000100u,
  kEncodingUTF32LEAlt = 0x0D000100u,
  kEncodingUTF32BE = 0x0E000100u
};

/* A new string of `length` bytes tagged `encoding`; null for length 0. */
CORVstring RuntimeCreateString(const char *bytes, int32_t length, uint32_t encoding);
CORVstring RuntimeLockString(CORVstring s);
void RuntimeUnlockString(CORVstring s);
CORVstring RuntimeLockUnlockStrings(CORVstring newValue, CORVstring oldValue);

/* Concatenation a + b; an empty operand gives the other one, shared. */
CORVstring RuntimeAddString(CORVstring a, CORVstring b);
/* Case-insensitive comparison: -1, 0 or 1. */
int32_t RuntimeStringCompare(CORVstring a, CORVstring b);

/* The string's bytes (never null: "" for the empty string), length, encoding. */
static inline const char *CORVStringBytes(CORVstring s) {
  return s ? (const char *)s->text + 1 : "";
}
static inline uint32_t CORVStringLength(CORVstring s) {
  return s ? s->length : 0;
}
static inline uint32_t CORVStringEncoding(CORVstring s) {
  return s ? s->encoding : (uint32_t)kEncodingASCII;
}

/* String records alive now (for leak checks in tests); records that only the
 * runtime's one-entry conversion memory still holds are not counted. */
int32_t RuntimeLiveStringCount(void);

/* A TextEncoding object: its code, and the code's base (low 16 bits),
 * variant (next 10 bits) and format (top 6 bits). */
typedef struct CORVtextEncoding {
  CORVobjectHeader header;
  uint32_t code;
  uint32_t base;
  uint32_t variant;
  uint32_t format;
} CORVtextEncoding;
extern const CORVclassDecl kTextEncodingDecl;

/* Encodings(index): 1 UTF-8, 2 UTF-16, 3 UTF-16BE, 4 UTF-16LE, 5 UTF-32LE,
 * 6 UTF-32BE, 7 ASCII, then the Windows, ISO 8859, DOS, Mac and other codes
 * (see the encoding table); nil outside. */
CORVobject EncodingsGetter(int32_t index);
/* A new TextEncoding object for a code. */
CORVobject RuntimeTextEncodingFromCode(uint32_t code);
bool TextEncodingEquals(CORVobject a, CORVobject b);
/* The system encoding (the ANSI code page, or the locale's codeset). */
uint32_t RuntimeSystemEncoding(void);

CORVobject StringGetEncoding(CORVstring s);
CORVstring StringSetEncoding(CORVstring s, CORVobject encoding);
CORVstring StringConvertEncoding(CORVstring s, CORVobject encoding);
/* DefineEncoding and ConvertEncoding by code. */
CORVstring RuntimeDefineEncoding(CORVstring s, uint32_t encoding);
CORVstring RuntimeConvertString(CORVstring s, uint32_t encoding);

/* Extraction: plain names count bytes, DBCS names count characters. */
CORVstring StringLeft(CORVstring s, int32_t n);
CORVstring StringDBCSLeft(CORVstring s, int32_t n);
CORVstring StringRight(CORVstring s, int32_t n);
CORVstring StringDBCSRight(CORVstring s, int32_t n);
CORVstring StringMid2(CORVstring s, int32_t start);
CORVstring StringMid3(CORVstring s, int32_t start, int32_t length);
CORVstring StringDBCSMid2(CORVstring s, int32_t start);
CORVstring StringDBCSMid3(CORVstring s, int32_t start, int32_t length);
int32_t StringLen(CORVstring s);
int32_t StringDBCSLen(CORVstring s);
CORVstring StringDBCSChr(int32_t code);

/* Search and replacement (case-insensitive except InStrB). */
int32_t StringInStr(int32_t start, CORVstring source, CORVstring find);
int32_t StringInStrB(int32_t start, CORVstring source, CORVstring find);
CORVstring StringReplace(CORVstring source, CORVstring find, CORVstring replacement);
CORVstring StringReplaceAll(CORVstring source, CORVstring find, CORVstring replacement);
CORVstring RuntimeReplaceLineEndings(CORVstring source, CORVstring ending);

/* Fields and trimming. */
int32_t StringCountFields(CORVstring source, CORVstring delimiter);
CORVstring StringNthField(CORVstring source, CORVstring delimiter, int32_t n);
/* Split: a new String array (zero-based; upper bound -1 for ""). Join: the
 * elements of a String array with the delimiter between them. */
CORVobject StringSplit(CORVstring source, CORVstring delimiter);
CORVstring StringJoin(CORVobject array, CORVstring delimiter);
CORVstring runTrim(CORVstring s);
CORVstring runLTrim(CORVstring s);
CORVstring runRTrim(CORVstring s);

/* Numbers and time. */
CORVstring StringStrInt32(int32_t value);
double StringVal(CORVstring s);
CORVstring RuntimeHex(int32_t value);
CORVstring RuntimeOct(int32_t value);
/* Double to Integer, truncating towards zero; NaN and values outside the
 * 32-bit range give -2147483648 (the processor's "integer indefinite"). */
int32_t RuntimeDoubleToInteger(double value);
uint32_t RuntimeTicks(void);

CORV_END_DECLS

#endif
