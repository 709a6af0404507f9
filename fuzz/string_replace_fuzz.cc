// StringReplace and StringReplaceAll on a source, a find and a replacement
// of any encodings.
#include "fuzz_input.h"

using corv::String;
using corv::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::TrapFailureReports();
  corv::fuzz::FuzzInput in(data, size);
  String source = in.NextString(), find = in.NextString(), replacement = in.NextString();
  String once = String::Adopt(StringReplace(source.get(), find.get(), replacement.get()));
  String all = String::Adopt(StringReplaceAll(source.get(), find.get(), replacement.get()));
  // The result is text of the source's encoding, and where ReplaceAll finds
  // nothing to replace, Replace finds nothing either.
  if (!source.empty()) {
    Require(once.empty() || once.encoding() == source.encoding(), "Replace keeps the encoding");
    Require(all.empty() || all.encoding() == source.encoding(), "ReplaceAll keeps the encoding");
  }
  if (corv::SameBytes(all, source) && replacement.empty())
    Require(corv::SameBytes(once, source), "Replace and ReplaceAll agree on finding no match");
  return 0;
}
