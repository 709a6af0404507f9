// Variant internals shared with the dictionary.
#pragma once

#include <cstdint>

#include "corv_variant.h"

namespace corv {

/// The key hash of a string: h = h * 31 + byte over its ASCII characters
/// with lower-case letters raised, each byte taken as signed; a run of
/// non-ASCII characters counts as one byte 0x80 whatever its encoding (the
/// Kelvin sign and the long s count as K and S, which they equal), so
/// strings that compare equal without case hash alike in every encoding.
uint32_t HashStringKey(CORVstring s);

/// True when the two variants are the same key (CORVVariantCompare gives 0).
bool VariantEquals(const CORVvariant &a, const CORVvariant &b);

}  // namespace corv
