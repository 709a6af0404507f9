// Conversion between every pair of text-encoding codes, and comparison of
// the results: equal text compares 0 whatever its encoding, comparison is
// antisymmetric, equality transitive, and strings that compare 0 hash
// alike, as the dictionary relies on; equality alone says what the
// comparison's 0 says. The order of three strings is not
// checked: UTF-8 and UTF-16 pairs order by code point and other pairs by the
// locale's collator, which need not agree.
#include "corv/variant.h"
#include "fuzz_input.h"

using corv::String;
using corv::Variant;
using corv::fuzz::Require;

namespace {

int32_t Compare(const String &a, const String &b) {
  return RuntimeStringCompare(a.get(), b.get());
}

uint32_t Hash(const String &s) {
  return Variant(s).Hash();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::TrapFailureReports();
  corv::fuzz::FuzzInput in(data, size);
  String a = in.NextString();
  uint32_t target = in.Code();
  String c = in.NextString();

  String b = String::Adopt(RuntimeConvertString(a.get(), target));
  String back = String::Adopt(RuntimeConvertString(b.get(), a.encoding()));
  if (corv::SameBytes(back, a))  // nothing was lost on the way
    Require(Compare(a, b) == 0, "a text compares equal to its conversion");

  const String *strings[] = {&a, &b, &c};
  int32_t order[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) order[i][j] = Compare(*strings[i], *strings[j]);
  for (int i = 0; i < 3; ++i) {
    Require(order[i][i] == 0, "a string compares equal to itself");
    for (int j = 0; j < 3; ++j) {
      Require(order[i][j] == -order[j][i], "comparison is antisymmetric");
      Require(corv::StringsEqual(strings[i]->get(), strings[j]->get()) == (order[i][j] == 0),
              "equality is the comparison's 0");
      if (order[i][j] == 0)
        Require(Hash(*strings[i]) == Hash(*strings[j]), "strings that compare 0 hash alike");
      for (int k = 0; k < 3; ++k)
        if (order[i][j] == 0 && order[j][k] == 0)
          Require(order[i][k] == 0, "equality is transitive");
    }
  }
  return 0;
}
