// The array sort: an iterative quicksort over an explicit stack of ranges;
// ranges of at most 15 elements are finished by insertion sort. Not stable.
//
// Every scan is bounded by its range, so a comparison that is not a strict
// order (NaN, a careless user comparison) gives some order but never reads
// or writes outside the elements.
#pragma once

#include <cstdint>
#include <utility>

namespace corv::array {

/// Ranges of at most this many elements are left to insertion sort.
constexpr int32_t kInsertionSortLimit = 15;

template <class T, class Less>
void InsertionSort(T *e, int32_t lo, int32_t hi, Less &less) {
  for (int32_t i = lo + 1; i <= hi; ++i) {
    T value = e[i];
    int32_t j = i;
    for (; j > lo && less(value, e[j - 1]); --j) e[j] = e[j - 1];
    e[j] = value;
  }
}

/// Sorts e[0 .. count - 1] ascending by `less`.
template <class T, class Less>
void QuickSort(T *e, int32_t count, Less less) {
  struct Range {
    int32_t lo, hi;  // inclusive
  };
  // The larger part is pushed and the smaller one sorted next, so the stack
  // never holds more than log2(count) ranges.
  Range stack[64];
  int32_t depth = 0;
  int32_t lo = 0, hi = count - 1;
  for (;;) {
    while (hi - lo + 1 > kInsertionSortLimit) {
      // Median of three; the pivot waits at hi - 1 while the rest is split.
      int32_t mid = lo + (hi - lo) / 2;
      if (less(e[mid], e[lo])) std::swap(e[mid], e[lo]);
      if (less(e[hi], e[lo])) std::swap(e[hi], e[lo]);
      if (less(e[hi], e[mid])) std::swap(e[hi], e[mid]);
      std::swap(e[mid], e[hi - 1]);
      T pivot = e[hi - 1];
      int32_t i = lo, j = hi - 1;
      for (;;) {
        while (++i < hi - 1 && less(e[i], pivot)) {
        }
        while (--j > lo && less(pivot, e[j])) {
        }
        if (i >= j) break;
        std::swap(e[i], e[j]);
      }
      std::swap(e[i], e[hi - 1]);
      if (i - lo < hi - i) {
        stack[depth++] = {i + 1, hi};
        hi = i - 1;
      } else {
        stack[depth++] = {lo, i - 1};
        lo = i + 1;
      }
    }
    InsertionSort(e, lo, hi, less);
    if (depth == 0) return;
    --depth;
    lo = stack[depth].lo;
    hi = stack[depth].hi;
  }
}

}  // namespace corv::array
