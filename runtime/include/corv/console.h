// Console output as the application uses it: Print, StdErr with the
// language's members, and System.DebugLog. Each is the entry point of the
// same meaning.
#pragma once

#include "corv/ref.h"
#include "corv/string.h"
#include "corv_console.h"
#include "corv_runtime.h"

namespace corv {

/// Print(s): the text and a line ending on standard output, flushed.
inline void Print(const String &s) {
  RuntimeConsolePrint(s.get());
}

/// The console stream record with the language's members.
struct StdOutputStream : CORVstdOutputStream {
  void Write(const String &s) { RuntimeStdOutputStreamWrite(self(), s.get()); }
  /// The text, then the platform's line ending.
  void WriteLine(const String &s) { RuntimeStdOutputStreamWriteLine(self(), s.get()); }
  void Flush() { RuntimeStdOutFlush(self()); }

 private:
  CORVobject self() { return reinterpret_cast<CORVobject>(this); }
};
static_assert(sizeof(StdOutputStream) == sizeof(CORVstdOutputStream));

/// StdErr: the standard-error stream.
inline Ref<StdOutputStream> StdErr() {
  return Ref<StdOutputStream>::Adopt(RuntimeGetStdErr());
}

/// System.DebugLog(s): the text to the platform's debug log, nothing added.
inline void DebugLog(const String &s) {
  SystemDebugLogger(s.get());
}

}  // namespace corv
