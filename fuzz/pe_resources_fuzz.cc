// The resource reader of Windows executables on any bytes: looking up a type
// (the image's PICKLE and LOADER, or a name taken from the input) never reads
// outside the file, and a resource it finds lies wholly inside the file.
//
// Input: a length byte and that many bytes of a type name, then the file.
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "platform/executable.h"
#include "platform/pe_resources.h"
#include "scratch_folder.h"

using corv::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::TrapFailureReports();
  if (size == 0) return 0;
  size_t nameLength = std::min<size_t>(data[0], size - 1);
  std::string type(reinterpret_cast<const char *>(data + 1), nameLength);
  type = type.substr(0, type.find('\0'));
  std::string_view file(reinterpret_cast<const char *>(data + 1 + nameLength),
                        size - 1 - nameLength);

  corv::fuzz::ScratchFolder scratch;
  std::string path(scratch.Write("program.exe", file)->AbsolutePath().view());
  corv::platform::ReadableFile readable(path);
  Require(readable.IsOpen(), "the scratch file can be read");
  for (const char *name : {"PICKLE", "LOADER", type.c_str()}) {
    corv::platform::FileSection found;
    if (!corv::platform::FindPeResource(readable, name, &found)) continue;
    Require(found.offset <= file.size() && found.size <= file.size() - found.offset,
            "a resource found lies inside the file");
  }
  return 0;
}
