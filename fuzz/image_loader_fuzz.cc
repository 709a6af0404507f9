// The image loader's checks on any bytes, with nothing of the image ever
// run: finding the image in an executable file (its section table, the
// stamped offset, the end of the file) or in a LOADER section, reading the
// six segments, the link-record walk over copies of the code and data, and
// the resource, option and symbol tables. No entry is called, no library
// is loaded and nothing is placed; the tables are emptied after each input.
//
// Input: a mode byte, then for mode 0 the executable file; for mode 1 the
// eight bytes of a stamped PICKLE section and then the file; for mode 2 the
// bytes of a LOADER section. The file goes into a scratch folder, which
// holds none of the loose segment files.
#include <algorithm>
#include <string>
#include <string_view>

#include "core/image_format.h"
#include "core/loader.h"
#include "corv_loader.h"
#include "fuzz_input.h"
#include "scratch_folder.h"

using corv::ImageSegments;
using corv::fuzz::Require;

namespace {

void CheckTables(ImageSegments &segments) {
  std::vector<uint8_t> &resources = segments.segments[corv::image::kResources];
  registerResources(resources.data(), static_cast<uint32_t>(resources.size()),
                    segments.resourcesFileOffset);
  for (int32_t i = 0; i < CORVResourceCount(); ++i) {
    const CORVresource *resource = CORVResourceAt(i);
    Require(resource->data >= resources.data() &&
                resource->data + resource->length <= resources.data() + resources.size(),
            "a resource's data lies inside the resources segment");
    Require(CORVFindResource(resource->type, resource->id) != nullptr,
            "a listed resource is found by its type and id");
  }
  const std::vector<uint8_t> &options = segments.segments[corv::image::kOptions];
  applyOptions(options.data(), static_cast<uint32_t>(options.size()));
  RuntimeUnlockString(CORVImageOptions());
  corv::SetImageSymbols(std::vector<uint8_t>(segments.segments[corv::image::kSymbols]));
  CORVstring name = nullptr;
  uint32_t offset = 0;
  symbolFor(0, &name, &offset);  // unpacks the table; no image is placed, so none is found
  RuntimeUnlockString(name);
  corv::ResetImageTablesForTest();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::FuzzInput in(data, size);
  int mode = in.Byte() % 3;
  uint8_t pickle[8];
  for (uint8_t &byte : pickle) byte = mode == 1 ? in.Byte() : 0;
  size_t start = std::min<size_t>(size, mode == 1 ? 9 : 1);
  std::string_view rest(reinterpret_cast<const char *>(data) + start, size - start);

  corv::fuzz::ScratchFolder scratch;
  corv::ImageLocation where;
  where.looseFolder = std::string(scratch.folder()->AbsolutePath().view());
  if (mode == 2) {
    where.hasLoader = true;
    where.loader.assign(rest.begin(), rest.end());
  } else {
    std::string path(scratch.Write("executable", rest)->AbsolutePath().view());
    if (mode == 0) {
      where = corv::LocateImage(path);
      where.looseFolder = std::string(scratch.folder()->AbsolutePath().view());
    } else {
      where.hasPickle = true;
      std::copy(pickle, pickle + 8, where.pickle);
      where.executablePath = path;
    }
  }

  ImageSegments segments;
  if (corv::ReadImage(where, &segments) != corv::ImageReadResult::kRead) return 0;
  std::vector<std::string> problems = corv::CheckImageLinks(segments);
  Require(problems.size() <= segments.segments[corv::image::kLink].size(),
          "a link record is reported at most once");
  CheckTables(segments);
  return 0;
}
