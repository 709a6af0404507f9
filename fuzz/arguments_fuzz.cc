// The argument processor on any command line: parsing ends, every parsed
// option is found again by its name, GetValue gives what Find gives, and
// each argument's FolderItemValue resolves without touching the disk.
//
// Input: flags (the low two bits: how many of the strings that follow are
// word options), then strings (each a code and bytes) until the input ends;
// the first of the rest is the program.
#include <algorithm>

#include "argument_processor.h"
#include "corv/array.h"
#include "fuzz_input.h"

using corv::Ref;
using corv::String;
using corv::fuzz::Require;
using kilnrun::ArgumentProcessor;
using kilnrun::ArgumentValue;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::TrapFailureReports();
  corv::fuzz::FuzzInput in(data, size);
  int wordCount = in.Flags() & 3;
  corv::StringArray words = corv::NewArray<String>();
  for (int i = 0; i < wordCount; ++i) words.Append(in.NextString());
  corv::StringArray args = corv::NewArray<String>();
  int32_t characters = 0;
  while (!in.empty()) {
    String arg = in.NextString();
    characters += corv::Len(arg);
    args.Append(arg);
  }

  auto processor = corv::New<ArgumentProcessor>(&kilnrun::kArgumentProcessorDecl);
  processor->Process(args.object(), words.object());
  int32_t count = processor->Count();
  // Each argument gives at most one entry per character, and one for itself.
  Require(count >= 0 && count <= characters + args.UBound() + 1, "Count is bounded");
  String fallback("(no such argument)");
  // Find walks the list, so looking up every entry of a long list would make
  // each input cost the square of its length: about eight entries, spread
  // over the list and ending with the last, are looked up.
  int32_t step = std::max(1, count / 8);
  for (int32_t i = count - 1; i >= 0; i -= step) {
    auto item = Ref<ArgumentValue>::Adopt(CORVArrayObjectAt(processor->arguments, i));
    String name = String::Share(item->name);
    String key = name.empty() ? String::Share(item->value) : name;
    Ref<ArgumentValue> found = processor->Find(key);
    Require(bool(found), "every parsed argument is found by its name or value");
    Require(processor->GetValue(key, fallback) == String::Share(found->value),
            "GetValue gives the found argument's value");
    Ref<corv::FolderItem> path = item->FolderItemValue();
    if (name.empty() && String::Share(item->value).empty())
      Require(!path, "an argument with no text names no item");
  }
  // Without word options each argument after the program gives at most one
  // entry, and parsing again replaces what was parsed before.
  processor->Process(args.object());
  Require(processor->Count() <= std::max(args.UBound(), 0), "one entry per argument at most");
  return 0;
}
