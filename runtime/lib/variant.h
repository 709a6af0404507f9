// Variant internals shared with the dictionary.
#pragma once

#include <cstdint>

#include "corv_variant.h"

namespace corv {

/// The key hash of a string: h = h * 31 + byte over its ASCII characters
/// with lower-case letters raised, each byte taken as signed; a run of
/// non-ASCII characters counts as one byte 0x80 whatever its encoding (the
/// Kelvin sign and the long s count as K and S, which they equal). It reads
/// the text the comparison reads: UTF-8 and ASCII by the lenient UTF-8
/// decoding (an over-long or cut-off form counts as the character it
/// decodes to), UTF-16 by its units, other codes through their converter.
/// Strings compare 0 only when they hold the same text without case, so
/// they hash alike in every pair of encodings; a string whose converter
/// rejects its bytes holds no text, equals only the same bytes under the
/// same code, and is hashed by its bytes.
uint32_t HashStringKey(CORVstring s);

/// True when the two variants are the same key (CORVVariantCompare gives 0).
bool VariantEquals(const CORVvariant &a, const CORVvariant &b);

}  // namespace corv
