/* Arrays: creation, bounds and the table of element operations that compiled
 * code calls by position.
 *
 * An array is a counted object of class "Array": zero-based, of one element
 * kind, with one or more dimensions. Every upper bound is -1 when its
 * dimension is empty, the buffer holds exactly (or, after appends, at least)
 * the product of (bound + 1) elements row after row, and it is null when
 * there are no elements. String and object elements each hold one reference.
 *
 * Operations are reached through `ops`, a table chosen by element kind and
 * dimension count; its slots have the element's own C type (CORVstring,
 * CORVobject, int32_t, double, ...). Getters hand the caller one reference
 * to a string or object element; stored values are borrowed and the array
 * takes its own reference. */
#ifndef CORV_ARRAY_H
#define CORV_ARRAY_H

#include <stdbool.h>

#include "corv_exception.h"
#include "corv_object.h"
#include "corv_types.h"

CORV_BEGIN_DECLS

/* The most dimensions an array may have. */
enum { kCORVArrayMaxDimensions = 8 };

/* A slot of the operation table; cast to the slot's own type before calling. */
typedef void (*CORVarrayOperation)(void);

typedef struct CORVarray {
  CORVobjectHeader header;
  const CORVarrayOperation *ops; /* chosen by (kind, one / two / more dimensions) */
  void *buffer;                  /* the elements; null when there are none */
  int32_t dimensionCount;
  int32_t bufferLength;                         /* bytes allocated for elements */
  int32_t growthIncrement;                      /* elements added when an insert needs room */
  int32_t upperBounds[kCORVArrayMaxDimensions]; /* the first dimensionCount are used */
} CORVarray;

/* Element kinds: the second argument of CreateArray. Kind 12 does not exist. */
enum CORVarrayKind {
  kCORVArrayInt32 = 0,     /* Integer */
  kCORVArraySingle = 1,    /* 4-byte floating point */
  kCORVArrayInt64 = 2,     /* 8-byte integer */
  kCORVArrayString = 3,    /* CORVstring, counted */
  kCORVArrayObject = 4,    /* CORVobject, counted */
  kCORVArrayBoolean = 5,   /* bool, one byte */
  kCORVArrayInt8 = 6,      /* signed byte */
  kCORVArrayInt16 = 7,     /* 2-byte signed */
  kCORVArrayUInt16 = 8,    /* 2-byte unsigned */
  kCORVArrayColor = 9,     /* 4-byte unsigned colour value */
  kCORVArrayDouble = 10,   /* 8-byte floating point: the tool's numbers */
  kCORVArrayUInt64 = 11,   /* 8-byte unsigned */
  kCORVArrayUInt32 = 13,   /* 4-byte unsigned */
  kCORVArrayEnum = 14,     /* 4-byte signed enumeration value */
  kCORVArrayCurrency = 15, /* 8-byte signed, in ten-thousandths */
  kCORVArrayUInt8 = 16     /* unsigned byte */
};

/* Positions in the operation table. The application image calls them by
 * position, so the order is fixed. Slot types for one dimension, with T the
 * element's C type and `a` the array:
 *   0, 2  T get(a, int32_t i)            (0 raises on a bad index, 2 trusts it)
 *   1, 3  void set(a, int32_t i, T v)
 *   4     void redim(a, int32_t newUpperBound)
 *   5     void insert(a, int32_t i, T v)
 *   6     void remove(a, int32_t i)
 *   7     void sort(a)                      ascending; strings ignore case
 *   8     void sortWith(a, CORVarrayCompare compare, void *context)
 *   9     int32_t indexOf(a, T v, int32_t start)   -1 when not found
 *   10    void forEach(a, CORVarrayVisit visit, void *context)
 *   11    int32_t ubound(a, int32_t dimension)     as RuntimeUBound2Param
 *   12    void lockElement(T v)
 *   13    void unlockElement(T v)
 *   14    void releaseAll(a)                releases every element; bounds -1
 *   15    int32_t elementSize(a)
 *   16    int32_t elementKind(a)
 * Two dimensions: get(a, i, j), set(a, i, j, v). More: get(a, const int32_t
 * *indexes), set(a, const int32_t *indexes, v). Slots 4 to 9 work on one
 * dimension only; on more they report a consistency failure. */
enum CORVarraySlot {
  kCORVArrayGet = 0,
  kCORVArraySet = 1,
  kCORVArrayGetUnchecked = 2,
  kCORVArraySetUnchecked = 3,
  kCORVArrayRedim = 4,
  kCORVArrayInsert = 5,
  kCORVArrayRemove = 6,
  kCORVArraySort = 7,
  kCORVArraySortWith = 8,
  kCORVArrayIndexOf = 9,
  kCORVArrayForEach = 10,
  kCORVArrayUBound = 11,
  kCORVArrayLockElement = 12,
  kCORVArrayUnlockElement = 13,
  kCORVArrayReleaseAll = 14,
  kCORVArrayElementSize = 15,
  kCORVArrayElementKind = 16,
  kCORVArraySlotCount = 17
};

/* Comparison for slot 8: x and y point at two elements; negative, 0 or
 * positive as x sorts before, with or after y. */
typedef int32_t (*CORVarrayCompare)(const void *x, const void *y, void *context);
/* Visitor for slot 10: called with the address of each element in order. */
typedef void (*CORVarrayVisit)(void *element, void *context);

/* CreateArray(dimensions, kind, bound1, bound2, ...): a new array with one
 * reference and every element zero ("", nil, 0). A bound of -1 gives an
 * empty dimension. Kind 12 and unknown kinds, and a dimension count outside
 * 1..kCORVArrayMaxDimensions, are consistency failures and give nil. */
CORVobject CreateArray(int32_t dimensions, int32_t kind, ...);
/* The upper bound of dimension 1. */
int32_t RuntimeUBound(CORVobject array);
/* dimension -1: the number of dimensions; 1..dimensions: that bound. */
int32_t RuntimeUBound2Param(CORVobject array, int32_t dimension);
/* A view of an object array whose elements are checked to be of `cls` as
 * they are read or stored. No class, or an array that already is such a
 * view: the array itself with one more reference. */
CORVobject RuntimeCreateArrayCastWrapper(CORVobject array, CORVclass *cls);

/* The class of every array. */
extern const CORVclassDecl kArrayDecl;

/* Calls through the operation table, for native code. They raise
 * NilObjectException for a nil array as compiled code does. */
static inline const CORVarrayOperation *CORVArrayOps(CORVobject array) {
  if (!array) RaiseNilObjectException();
  return ((CORVarray *)array)->ops;
}
static inline int32_t CORVArrayUBound(CORVobject array) {
  return RuntimeUBound(array);
}
static inline void CORVArrayRedim(CORVobject array, int32_t newUpperBound) {
  ((void (*)(CORVobject, int32_t))CORVArrayOps(array)[kCORVArrayRedim])(array, newUpperBound);
}
static inline void CORVArrayRemove(CORVobject array, int32_t index) {
  ((void (*)(CORVobject, int32_t))CORVArrayOps(array)[kCORVArrayRemove])(array, index);
}
static inline void CORVArraySort(CORVobject array) {
  ((void (*)(CORVobject))CORVArrayOps(array)[kCORVArraySort])(array);
}

/* Typed element access for the three kinds native code uses most:
 * CORVArray<Kind>At(a, i) (bounds-checked read; a string or object comes with
 * one reference), CORVArraySet<Kind>, CORVArrayInsert<Kind>,
 * CORVArrayAppend<Kind> and CORVArrayIndexOf<Kind>. */
#define CORV_ARRAY_TYPED_ACCESS(Name, T)                                                         \
  static inline T CORVArray##Name##At(CORVobject array, int32_t index) {                         \
    return ((T(*)(CORVobject, int32_t))CORVArrayOps(array)[kCORVArrayGet])(array, index);        \
  }                                                                                              \
  static inline void CORVArraySet##Name(CORVobject array, int32_t index, T value) {              \
    ((void (*)(CORVobject, int32_t, T))CORVArrayOps(array)[kCORVArraySet])(array, index, value); \
  }                                                                                              \
  static inline void CORVArrayInsert##Name(CORVobject array, int32_t index, T value) {           \
    ((void (*)(CORVobject, int32_t, T))CORVArrayOps(array)[kCORVArrayInsert])(array, index,      \
                                                                              value);            \
  }                                                                                              \
  static inline void CORVArrayAppend##Name(CORVobject array, T value) {                          \
    CORVArrayInsert##Name(array, RuntimeUBound(array) + 1, value);                               \
  }                                                                                              \
  static inline int32_t CORVArrayIndexOf##Name(CORVobject array, T value, int32_t start) {       \
    return ((int32_t(*)(CORVobject, T, int32_t))CORVArrayOps(array)[kCORVArrayIndexOf])(         \
        array, value, start);                                                                    \
  }
CORV_ARRAY_TYPED_ACCESS(String, CORVstring)
CORV_ARRAY_TYPED_ACCESS(Object, CORVobject)
CORV_ARRAY_TYPED_ACCESS(Int32, int32_t)
CORV_ARRAY_TYPED_ACCESS(Double, double)
#undef CORV_ARRAY_TYPED_ACCESS

/* A new empty String array (upper bound -1), with one reference. */
static inline CORVobject CORVNewStringArray(void) {
  return CreateArray(1, kCORVArrayString, -1);
}

CORV_END_DECLS

#endif
