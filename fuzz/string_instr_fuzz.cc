// StringInStr and StringInStrB from any start, the byte search checked
// against a plain scan; and the name index, which must hold every name
// that InStr finds.
#include <algorithm>
#include <cstring>
#include <vector>

#include "corv/name_index.h"

#include "fuzz_input.h"

using corv::String;
using corv::fuzz::Require;

namespace {

// The 1-based byte position of `find` at or after byte `from`; 0 if none.
int32_t ScanBytes(std::string_view text, std::string_view find, size_t from) {
  for (size_t at = from; at + find.size() <= text.size(); ++at)
    if (std::memcmp(text.data() + at, find.data(), find.size()) == 0)
      return static_cast<int32_t>(at) + 1;
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::TrapFailureReports();
  corv::fuzz::FuzzInput in(data, size);
  int32_t start = in.Number();
  String source = in.NextString(), find = in.NextString();

  int32_t at = StringInStr(start, source.get(), find.get());
  int32_t atByte = StringInStrB(start, source.get(), find.get());

  std::vector<String> names = {find};
  for (int i = 0; i < 3; ++i) names.push_back(in.NextString());
  corv::NameIndex index;
  for (const String &name : names) index.Add(name);
  std::vector<int32_t> candidates = index.Candidates(source, 0);
  for (int32_t i = 0; i < index.Count(); ++i)
    if (StringInStr(1, source.get(), names[static_cast<size_t>(i)].get()) > 0)
      Require(std::binary_search(candidates.begin(), candidates.end(), i),
              "the name index holds every name InStr finds");

  if (find.empty()) return 0;
  Require(at == 0 || at >= std::max(start, 1), "InStr finds nothing before its start");
  size_t from = start > 1 ? static_cast<size_t>(start) - 1 : 0;
  Require(atByte == (source.empty() ? 0 : ScanBytes(source.view(), find.view(), from)),
          "InStrB finds the first equal bytes");
  return 0;
}
