// StringNthField and StringCountFields, checked against each other and
// against StringSplit.
#include <algorithm>

#include "fuzz_input.h"

using corv::Ref;
using corv::String;
using corv::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::TrapFailureReports();
  corv::fuzz::FuzzInput in(data, size);
  int32_t asked = in.Number();
  String source = in.NextString(), delimiter = in.NextString();

  String field = String::Adopt(StringNthField(source.get(), delimiter.get(), asked));
  Require(field.size() <= source.size(), "a field is part of the source");
  int32_t count = StringCountFields(source.get(), delimiter.get());
  Require(count >= 0, "CountFields is not negative");
  if (delimiter.empty() || source.empty()) return 0;

  // Each field is the piece Split gives at its place, and there is none
  // after the last.
  Ref<> pieces = Ref<>::Adopt(StringSplit(source.get(), delimiter.get()));
  int32_t checked = std::min(count, 64);
  for (int32_t n = 1; n <= checked; ++n) {
    String nth = String::Adopt(StringNthField(source.get(), delimiter.get(), n));
    String piece = String::Adopt(CORVArrayStringAt(pieces.object(), n - 1));
    Require(nth.view() == piece.view(), "NthField is the Split piece at its place");
  }
  String beyond = String::Adopt(StringNthField(source.get(), delimiter.get(), count + 1));
  Require(beyond.empty(), "no field after the last");
  return 0;
}
