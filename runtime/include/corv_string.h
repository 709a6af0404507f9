/* Strings: creation, references, encodings, concatenation and comparison. */
#ifndef CORV_STRING_H
#define CORV_STRING_H

#include "corv_types.h"

CORV_BEGIN_DECLS

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

/* String records alive now (for leak checks in tests). */
int32_t RuntimeLiveStringCount(void);

CORV_END_DECLS

#endif
