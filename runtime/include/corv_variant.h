/* Variants: the tagged values that dictionaries hold as keys and values. A
 * variant owns one reference to the string or object it carries. */
#ifndef CORV_VARIANT_H
#define CORV_VARIANT_H

#include <stdbool.h>

#include "corv_object.h"
#include "corv_types.h"

CORV_BEGIN_DECLS

/* The kind of value a variant holds (the language's VarType numbers). */
typedef enum CORVvariantType {
  kVariantNil = 0,
  kVariantInt32 = 2,
  kVariantInt64 = 3,
  kVariantSingle = 4,
  kVariantDouble = 5,
  kVariantCurrency = 6, /* fixed point: value x 10,000 in a 64-bit integer */
  kVariantDate = 7,     /* a Date object */
  kVariantString = 8,
  kVariantObject = 9,
  kVariantBoolean = 11
} CORVvariantType;

typedef struct CORVvariant {
  uint32_t type; /* CORVvariantType */
  uint32_t reserved;
  union {
    bool boolean;
    int32_t int32;
    int64_t int64;
    float single;
    double real;
    int64_t currency;
    CORVstring string; /* counted */
    CORVobject object; /* counted; also the Date of kVariantDate */
  } value;
} CORVvariant;

/* Makers: each result holds its own reference to a string or object. An
 * object that is a Date gives a Date variant. */
CORVvariant CORVVariantFromBoolean(bool value);
CORVvariant CORVVariantFromInt32(int32_t value);
CORVvariant CORVVariantFromInt64(int64_t value);
CORVvariant CORVVariantFromSingle(float value);
CORVvariant CORVVariantFromDouble(double value);
CORVvariant CORVVariantFromCurrency(int64_t scaledValue);
CORVvariant CORVVariantFromString(CORVstring value);
CORVvariant CORVVariantFromObject(CORVobject value);

/* A copy that holds its own reference (null source: nil). */
CORVvariant CORVVariantCopy(const CORVvariant *source);
/* Gives up the variant's reference and leaves it nil. */
void CORVVariantClear(CORVvariant *variant);

/* The key hash: strings ignoring case, numbers by value, dates by their
 * total seconds, other objects by identity, nil 0. */
uint32_t CORVVariantHash(const CORVvariant *variant);
/* -1, 0 or 1. Strings compare without case, numbers by value, dates by
 * their total seconds, objects by identity; values of different kinds order
 * nil < Boolean < number < string < date < object. */
int32_t CORVVariantCompare(const CORVvariant *a, const CORVvariant *b);

/* Conversions. String: one reference for the caller ("" is null); numbers
 * in decimal, Booleans "True"/"False", dates as SQL date-time text. Double:
 * strings read as Val reads them, Booleans 1/0, dates their total seconds, nil 0.
 * An object that is not a date raises TypeMismatchException. */
CORVstring CORVVariantStringValue(const CORVvariant *variant);
double CORVVariantDoubleValue(const CORVvariant *variant);
/* The double value truncated towards zero (saturating). */
int64_t CORVVariantInt64Value(const CORVvariant *variant);
/* Booleans as they are, numbers non-zero, strings "True" (case ignored)
 * or a non-zero number; nil false. */
bool CORVVariantBooleanValue(const CORVvariant *variant);

/* A variant as an object, for arrays of variants (Dictionary.Keys/Values):
 * nil stays nil, objects and dates are the object itself, and every other
 * value is boxed in an instance of class "Variant". */
typedef struct CORVvariantObject {
  CORVobjectHeader header;
  CORVvariant value;
} CORVvariantObject;
extern const CORVclassDecl kVariantDecl;

/* The object form of a variant, with one reference for the caller. */
CORVobject CORVVariantToObject(const CORVvariant *variant);
/* The variant an object form stands for: a boxed value is unboxed, any
 * other object is an object (or Date) variant; nil gives nil. */
CORVvariant CORVVariantFromObjectForm(CORVobject object);

CORV_END_DECLS

#endif
