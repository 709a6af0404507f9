// A small program of this runtime for the loader's tests: its image entry
// prints the text of the image's "TEST" 1 resource, so that a test sees
// which image the program found in its own file.
#include "corv.h"

namespace {

void PrintTestResource() {
  const CORVresource *record = CORVFindResource(CORV_FOUR_CHAR('T', 'E', 'S', 'T'), 1);
  const char *text = record ? reinterpret_cast<const char *>(record->data) : "no resource";
  int32_t length = 0;
  uint32_t limit = record ? record->length : 11;
  while (static_cast<uint32_t>(length) < limit && text[length] != 0) ++length;
  CORVstring line = RuntimeCreateString(text, length, kEncodingUTF8);
  RuntimeConsolePrint(line);
  RuntimeUnlockString(line);
}

}  // namespace

int main(int argc, char **argv) {
  CORVSetImageEntry(&PrintTestResource);
  return CORVProcessMain(argc, argv);
}
