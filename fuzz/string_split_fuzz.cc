// StringSplit and StringJoin: a source cut at a delimiter of any encoding,
// or into characters, and put back together.
#include "fuzz_input.h"

using corv::Ref;
using corv::String;
using corv::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::TrapFailureReports();
  corv::fuzz::FuzzInput in(data, size);
  String source = in.NextString(), delimiter = in.NextString(), glue = in.NextString();

  Ref<> pieces = Ref<>::Adopt(StringSplit(source.get(), delimiter.get()));
  Require(pieces != nullptr, "Split gives an array");
  int32_t count = CORVArrayUBound(pieces.object()) + 1;
  if (!delimiter.empty())
    Require(count == StringCountFields(source.get(), delimiter.get()),
            "Split makes as many pieces as CountFields counts");
  String joined = String::Adopt(StringJoin(pieces.object(), glue.get()));
  // Joined with the delimiter they were cut at, the pieces give the source
  // again, up to the case of the delimiters found (in well-formed text: the
  // lenient reading of malformed UTF-8 cuts characters differently once a
  // delimiter's bytes change).
  bool wellFormed =
      source.encoding() == kEncodingUTF16 ||
      (source.encoding() == kEncodingUTF8 && corv::fuzz::IsWellFormedUTF8(source.view()) &&
       corv::fuzz::IsWellFormedUTF8(delimiter.view()));
  if (wellFormed && delimiter.encoding() == source.encoding()) {
    String rejoined = String::Adopt(StringJoin(pieces.object(), delimiter.get()));
    Require(RuntimeStringCompare(rejoined.get(), source.get()) == 0,
            "pieces joined at their delimiter give the source");
  }

  // Cut into characters, the pieces join back into the very same bytes.
  Ref<> characters = Ref<>::Adopt(StringSplit(source.get(), nullptr));
  String characterText = String::Adopt(StringJoin(characters.object(), nullptr));
  Require(characterText.view() == source.view(), "characters join back into the source");
  return 0;
}
