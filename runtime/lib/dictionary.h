// Dictionary internals: the automatic bin sizes, for tests and benchmarks.
#pragma once

#include <cstdint>

#include "corv_dictionary.h"

namespace corv {

/// The bin counts automatic sizing chooses from, smallest first.
inline constexpr int32_t kDictionaryBinSizes[] = {61,   127,  251,   509,   1021, 2039,
                                                  4093, 8191, 16381, 32749, 65521};
inline constexpr int32_t kDictionaryInitialBins = 61;

}  // namespace corv
