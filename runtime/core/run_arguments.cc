// The Run event's args() array: the process's arguments as Strings.
#include <cstring>

#include "core/app_state.h"
#include "corv_array.h"

namespace corv {

// POSIX hands the arguments over already split, as bytes; they are taken as
// UTF-8, the encoding of this platform's command lines.
CORVobject MakeRunArguments(int argc, char **argv) {
  int32_t count = argc > 0 && argv ? argc : 0;
  CORVobject array = CreateArray(1, kCORVArrayString, count - 1);
  for (int32_t i = 0; i < count; ++i) {
    const char *text = argv[i] ? argv[i] : "";
    CORVstring element =
        RuntimeCreateString(text, static_cast<int32_t>(std::strlen(text)), kEncodingUTF8);
    CORVArraySetString(array, i, element);
    RuntimeUnlockString(element);
  }
  return array;
}

}  // namespace corv
