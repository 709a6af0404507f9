// The command-line parser: ArgumentProcessor and its ArgumentValue records.
#pragma once

#include "corv.h"
#include "corv/folder_item.h"
#include "corv/ref.h"
#include "corv/string.h"

namespace kilnrun {

/// One parsed argument: an option's name (empty for a positional
/// argument) and its value.
struct ArgumentValue {
  CORVobjectHeader header;
  CORVstring name;
  CORVstring value;

  /// The argument as a native path: its value, or its name when it has no
  /// value (an option given last). Nil for an empty path; a relative path
  /// resolves as every relative native path does, and the item need not
  /// exist (one reference for the caller).
  corv::Ref<corv::FolderItem> FolderItemValue();
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
  corv::Ref<ArgumentValue> Find(const corv::String &name);
  corv::String GetValue(const corv::String &name, const corv::String &fallback);
  int32_t Count();
};
extern const CORVclassDecl kArgumentProcessorDecl;

}  // namespace kilnrun
