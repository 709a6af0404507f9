// The command-line parser: ArgumentProcessor and its ArgumentValue records.
#pragma once

#include "corv.h"
#include "corv/ref.h"
#include "text.h"

namespace kilnrun {

/// One parsed argument: an option's name (empty for a positional
/// argument) and its value.
struct ArgumentValue {
  CORVobjectHeader header;
  CORVstring name;
  CORVstring value;
};
extern const CORVclassDecl kArgumentValueDecl;

/// The parsed command line.
struct ArgumentProcessor {
  CORVobjectHeader header;
  CORVobject arguments;  // array of ArgumentValue
  CORVstring executePath;

  /// Parses args (args(0) is the program); single-hyphen words not in
  /// wordOptions are clusters of one-letter options when wordOptions is
  /// not empty. Replaces what was parsed before.
  void Process(CORVobject args, CORVobject wordOptions);
  void Process(CORVobject args);
  /// The first option of that name, else the first positional argument
  /// equal to it; nil when neither (one reference for the caller).
  corv::Ref<ArgumentValue> Find(const String &name);
  String GetValue(const String &name, const String &fallback);
  int32_t Count();
};
extern const CORVclassDecl kArgumentProcessorDecl;

}  // namespace kilnrun
