// Console lines of the tool, through the runtime's Print and StdErr.
#include "text.h"

#include "corv_console.h"

namespace kilnrun {

void PrintLine(const std::string &text) {
  String line(text);
  RuntimeConsolePrint(line.get());
}

void ErrorLine(const std::string &text) {
  String line(text);
  CORVobject stdErr = RuntimeGetStdErr();
  RuntimeStdOutputStreamWriteLine(stdErr, line.get());
  RuntimeUnlockObject(stdErr);
}

}  // namespace kilnrun
