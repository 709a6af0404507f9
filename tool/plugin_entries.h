// The plugin entries the tool uses, looked up once at start-up by their
// declaration text; a call through an entry that was not found raises
// FunctionNotFoundException instead of jumping to nothing.
#pragma once

#include "corv.h"
#include "corv/string.h"

namespace kilnrun {

enum PluginEntry {
  kEncodeBase64,
  kShellInit,
  kShellExit,
  kShellExecute,
  kShellExecuteWithParameters,
  kShellReadAll,
  kShellWrite,
  kShellWriteLine,
  kShellClose,
  kShellPoll,
  kShellResultGet,
  kShellModeSet,
  kBase64Decode,
  kPluginEntryCount
};

/// Fills the table (once, after the plugins are installed).
void LookUpPluginEntries();
/// The entry's function, or null when the lookup found none.
void *PluginFunction(PluginEntry entry);
/// The entry's function; raises FunctionNotFoundException when there is none.
void *RequirePluginFunction(PluginEntry entry);

/// EncodeBase64(data, lineWrap) and Base64Decode(s) of the encoding plugins.
corv::String EncodeBase64(const corv::String &data, int32_t lineWrap);
corv::String Base64Decode(const corv::String &s);

}  // namespace kilnrun
