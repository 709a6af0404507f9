// Finding, reading and placing the application image, and running it.
//
// The image is found, in order: in the LOADER section; at the offset the
// PICKLE section was stamped with (or, when the magic is not there, ending
// exactly at the end of the file); or as loose ".dat" files of the
// development layout. Code and data are placed below 4 GiB so that the
// 32-bit fix-ups of the link records hold real addresses; the placed blocks,
// like the resource table that points into them, live until the process ends.
#include "core/loader.h"

#include <memory>

#include "core/at_exit.h"
#include "core/image_format.h"
#include "corv.h"
#include "platform/executable.h"
#include "platform/memory.h"

namespace corv {
namespace {

uint8_t *gCodeBase = nullptr;
uint32_t gCodeLength = 0;
uint8_t *gDataBase = nullptr;
uint32_t gDataLength = 0;
CORVImageEntry gEntry = nullptr;

// Reads the six segments from consecutive length-prefixed blocks.
class SegmentReader {
 public:
  virtual ~SegmentReader() = default;
  virtual bool Read(uint64_t length, std::vector<uint8_t> *out) = 0;
  virtual uint64_t Position() const = 0;

  bool ReadLength(uint32_t *length) {
    std::vector<uint8_t> bytes;
    if (!Read(4, &bytes)) return false;
    *length = image::ReadU32(bytes.data());
    return true;
  }
  bool ReadAll(ImageSegments *out, bool fromFile) {
    for (int i = 0; i < image::kSegmentCount; ++i) {
      uint32_t length;
      if (!ReadLength(&length)) return false;
      if (i == image::kResources && fromFile && length > 0)
        out->resourcesFileOffset = static_cast<uint32_t>(Position());
      if (!Read(length, &out->segments[i])) return false;
    }
    return true;
  }
};

class BufferReader : public SegmentReader {
 public:
  /// `fileOffset`: where the bytes lie in the file they were read from.
  explicit BufferReader(const std::vector<uint8_t> &bytes, uint64_t fileOffset = 0)
      : bytes_(bytes), fileOffset_(fileOffset) {}
  bool Read(uint64_t length, std::vector<uint8_t> *out) override {
    if (length > bytes_.size() - position_) return false;
    out->assign(bytes_.begin() + static_cast<ptrdiff_t>(position_),
                bytes_.begin() + static_cast<ptrdiff_t>(position_ + length));
    position_ += length;
    return true;
  }
  uint64_t Position() const override { return fileOffset_ + position_; }

 private:
  const std::vector<uint8_t> &bytes_;
  uint64_t fileOffset_;
  uint64_t position_ = 0;
};

class FileReader : public SegmentReader {
 public:
  FileReader(const platform::ReadableFile &file, uint64_t position)
      : file_(file), size_(file.Size()), position_(position) {}
  bool Read(uint64_t length, std::vector<uint8_t> *out) override {
    if (position_ > size_ || length > size_ - position_) return false;
    out->resize(length);
    if (length > 0 && !file_.ReadAt(position_, out->data(), length)) return false;
    position_ += length;
    return true;
  }
  uint64_t Position() const override { return position_; }

 private:
  const platform::ReadableFile &file_;
  uint64_t size_;
  uint64_t position_;
};

ImageReadResult ReadStamped(const std::string &path, uint32_t offset, uint32_t length,
                            ImageSegments *out) {
  platform::ReadableFile file(path);
  if (!file.IsOpen()) {
    CORV_REPORT("0", "The executable could not be opened for reading.");
    return ImageReadResult::kUnreadable;
  }
  uint8_t magic[6];
  uint64_t start = offset;
  if (!file.ReadAt(start, magic, sizeof magic) || !image::IsMagic(magic)) {
    uint64_t size = file.Size();
    uint64_t total = uint64_t{length} + sizeof magic;
    bool found = false;
    if (total <= size) {
      start = size - total;
      found = file.ReadAt(start, magic, sizeof magic) && image::IsMagic(magic);
    }
    if (!found) {
      CORV_REPORT("0", "Executable is corrupt!");
      return ImageReadResult::kCorrupt;
    }
  }
  // The stamped length covers the six segments: one read when it fits the
  // file, piece by piece (and failing where the file ends) otherwise.
  uint64_t segmentsStart = start + sizeof magic;
  std::vector<uint8_t> whole;
  if (length <= file.Size() - segmentsStart) {
    whole.resize(length);
    if (length > 0 && !file.ReadAt(segmentsStart, whole.data(), length)) whole.clear();
  }
  if (whole.size() == length) {
    BufferReader reader(whole, segmentsStart);
    if (reader.ReadAll(out, true)) return ImageReadResult::kRead;
    *out = ImageSegments();
  }
  FileReader reader(file, segmentsStart);
  if (!reader.ReadAll(out, true)) {
    CORV_REPORT("0", "Executable is corrupt!");
    return ImageReadResult::kCorrupt;
  }
  return ImageReadResult::kRead;
}

void ReadLooseFiles(const std::string &folder, ImageSegments *out) {
  static const struct {
    const char *name;
    image::Segment segment;
  } kFiles[] = {{"import.dat", image::kLink},     {"code.dat", image::kCode},
                {"data.dat", image::kData},       {"rsrc.dat", image::kResources},
                {"options.dat", image::kOptions}, {"symbols.dat", image::kSymbols}};
  for (const auto &file : kFiles) {
    // A missing file gives an empty segment.
    if (!platform::ReadWholeFile(folder + platform::PathSeparator() + file.name,
                                 &out->segments[file.segment]))
      out->segments[file.segment].clear();
  }
}

uint8_t *PlaceLow(const std::vector<uint8_t> &bytes) {
  uint8_t *block = platform::AllocateLowMemory(bytes.size());
  if (block && !bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

// Blocks that must stay where the tables point into them.
std::vector<std::unique_ptr<std::vector<uint8_t>>> gKeptBlocks;

const uint8_t *Keep(std::vector<uint8_t> &&bytes) {
  if (bytes.empty()) return nullptr;
  gKeptBlocks.push_back(std::make_unique<std::vector<uint8_t>>(std::move(bytes)));
  return gKeptBlocks.back()->data();
}

}  // namespace

ImageLocation LocateRunningImage() {
  return LocateImage(platform::ExecutablePath());
}

ImageLocation LocateImage(const std::string &executablePath) {
  ImageLocation where;
  where.executablePath = executablePath;
  platform::ReadableFile file(executablePath);
  if (!file.IsOpen()) return where;
  uint64_t fileSize = file.Size();
  // A section table that claims more bytes than the file has is not read
  // (and nothing is allocated for it).
  auto fits = [fileSize](const platform::FileSection &section) {
    return section.offset <= fileSize && section.size <= fileSize - section.offset;
  };
  platform::FileSection section;
  if (platform::FindSection(file, image::kPickleSection, &section) &&
      section.size >= image::kPickleSize && fits(section))
    where.hasPickle = file.ReadAt(section.offset, where.pickle, image::kPickleSize);
  if (platform::FindSection(file, image::kLoaderSection, &section) && section.size > 0 &&
      section.size < (uint64_t{1} << 32) && fits(section)) {
    where.loader.resize(section.size);
    where.hasLoader = file.ReadAt(section.offset, where.loader.data(), section.size);
  }
  return where;
}

ImageReadResult ReadImage(const ImageLocation &where, ImageSegments *out) {
  uint32_t offset = 0;
  uint32_t length = 0;
  if (where.hasPickle && std::memcmp(where.pickle, "PICK", 4) != 0) {
    offset = image::ReadU32(where.pickle);
    length = image::ReadU32(where.pickle + 4);
  }
  if (where.hasLoader) {
    BufferReader reader(where.loader);
    if (!reader.ReadAll(out, false)) {
      CORV_REPORT("0", "Executable is corrupt!");
      return ImageReadResult::kCorrupt;
    }
    return ImageReadResult::kRead;
  }
  if (offset != 0) return ReadStamped(where.executablePath, offset, length, out);
  ReadLooseFiles(where.looseFolder, out);
  return ImageReadResult::kRead;
}

bool PlaceSegmentsForTest(const std::vector<uint8_t> &code, const std::vector<uint8_t> &data) {
  uint8_t *codeBase = PlaceLow(code);
  uint8_t *dataBase = PlaceLow(data);
  if (!codeBase || !dataBase) return false;
  gCodeBase = codeBase;
  gCodeLength = static_cast<uint32_t>(code.size());
  gDataBase = dataBase;
  gDataLength = static_cast<uint32_t>(data.size());
  return true;
}

bool PlaceAndLinkImage(ImageSegments &&in) {
  auto &segments = in.segments;
  if (segments[image::kCode].size() > UINT32_MAX || segments[image::kData].size() > UINT32_MAX)
    return false;
  if (!PlaceSegmentsForTest(segments[image::kCode], segments[image::kData])) {
    CORV_REPORT("0", "No memory for the application image.");
    return false;
  }
  const std::vector<uint8_t> &link = segments[image::kLink];
  linkImage(link.data(), static_cast<uint32_t>(link.size()));
  uint32_t resourcesLength = static_cast<uint32_t>(segments[image::kResources].size());
  const uint8_t *resources = Keep(std::move(segments[image::kResources]));
  registerResources(resources, resourcesLength, in.resourcesFileOffset);
  const std::vector<uint8_t> &options = segments[image::kOptions];
  applyOptions(options.data(), static_cast<uint32_t>(options.size()));
  SetImageSymbols(std::move(segments[image::kSymbols]));
  return true;
}

bool LoadAndRunImage(const ImageLocation &where) {
  ImageSegments segments;
  if (ReadImage(where, &segments) != ImageReadResult::kRead) return false;
  if (!PlaceAndLinkImage(std::move(segments))) return false;
  if (gEntry) gEntry();
  DestroyAtExitObjects();
  return true;
}

uint8_t *ImageCodeBase() {
  return gCodeBase;
}
uint32_t ImageCodeLength() {
  return gCodeLength;
}
uint8_t *ImageDataBase() {
  return gDataBase;
}
uint32_t ImageDataLength() {
  return gDataLength;
}

}  // namespace corv

extern "C" void CORVSetImageEntry(CORVImageEntry entry) {
  corv::gEntry = entry;
}

extern "C" void loadAndRunImage(void) {
  corv::LoadAndRunImage(corv::LocateRunningImage());
}
