// Numbers and text: Val on any text in any encoding, and the text a number
// becomes. Val never gives an infinity or NaN; it reads a UTF-16 text as its
// UTF-8 form; a Variant holding the text gives Val's number (CDbl), and the
// text a Variant makes of that number (CStr) reads back to it exactly. Str,
// Hex and Oct of any Integer read back to it.
//
// Input: a string (code and bytes), then a number.
#include <cmath>
#include <cstring>

#include "corv/variant.h"
#include "fuzz_input.h"

using corv::String;
using corv::Variant;
using corv::fuzz::Require;

namespace {

bool Same(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

String CStr(double value) {
  return Variant(value).StringValue();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::TrapFailureReports();
  corv::fuzz::FuzzInput in(data, size);
  String text = in.NextString();
  int32_t number = in.Number();

  double value = corv::Val(text);
  Require(std::isfinite(value), "Val gives a finite number");
  Require(Same(Variant(text).DoubleValue(), value), "CDbl of a text is its Val");
  Require(Same(corv::Val(CStr(value)), value), "Val(CStr(x)) is x");
  // Val reads the bytes of other encodings as they are, so only the Unicode
  // forms must agree.
  bool unicode = text.encoding() == kEncodingUTF8 || (text.encoding() & ~0xFFu) == 0x100u;
  for (uint32_t wide : {kEncodingUTF16, kEncodingUTF8}) {
    if (!unicode) break;
    String converted = String::Adopt(RuntimeConvertString(text.get(), wide));
    String back = String::Adopt(RuntimeConvertString(converted.get(), text.encoding()));
    if (corv::SameBytes(back, text))  // nothing was lost on the way
      Require(Same(corv::Val(converted), value), "Val reads a text alike in UTF-8 and UTF-16");
  }

  Require(corv::Val(corv::Str(number)) == number, "Val(Str(n)) is n");
  Require(corv::Val(String("&h") + corv::Hex(number)) == number, "Val(\"&h\" + Hex(n)) is n");
  Require(corv::Val(String("&o") + corv::Oct(number)) == number, "Val(\"&o\" + Oct(n)) is n");
  Require(Variant(number).StringValue() == corv::Str(number), "CStr of an Integer is its Str");
  Require(Same(corv::Val(CStr(number * 0.001)), number * 0.001), "Val(CStr(x)) is x");
  return 0;
}
