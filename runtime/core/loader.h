// The loader's internal steps, separated so that tests can feed it images
// without a stamped executable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corv {

/// Where an image may be found: the two executable sections (as read from
/// the file) and the executable file itself.
struct ImageLocation {
  bool hasPickle = false;
  uint8_t pickle[8] = {};
  bool hasLoader = false;
  std::vector<uint8_t> loader;
  std::string executablePath;
  /// Folder of the loose ".dat" files of the development layout.
  std::string looseFolder = ".";
};

/// The six segments as read, before they are placed.
struct ImageSegments {
  std::vector<uint8_t> segments[6];
  uint32_t resourcesFileOffset = 0;
};

enum class ImageReadResult { kRead, kCorrupt, kUnreadable };

/// The sections of the running executable and the current folder.
ImageLocation LocateRunningImage();
/// The PICKLE and LOADER sections as the executable file at that path
/// holds them.
ImageLocation LocateImage(const std::string &executablePath);
/// Steps 1–4 of finding and reading: LOADER section, stamped image (magic
/// at the stamped offset or at the end of the file), or loose files.
ImageReadResult ReadImage(const ImageLocation &where, ImageSegments *out);
/// Places the segments (code and data below 4 GiB), then links them,
/// registers resources and applies options. False when memory is missing.
bool PlaceAndLinkImage(ImageSegments &&segments);
/// What linking the segments would report, found by the walk that links a
/// placed image run over copies of their code and data at made-up
/// addresses: nothing is placed, no library is loaded (every external
/// counts as found), no stub is made and nothing is reported. Checks an
/// image without running any of it.
std::vector<std::string> CheckImageLinks(const ImageSegments &segments);
/// Everything up to and including calling the entry; false when no image
/// code ran because the executable is unreadable or corrupt.
bool LoadAndRunImage(const ImageLocation &where);

/// The placed code and data (0 before an image was placed).
uint8_t *ImageCodeBase();
uint32_t ImageCodeLength();
uint8_t *ImageDataBase();
uint32_t ImageDataLength();
/// Places a code and data segment of the given bytes without linking (tests).
bool PlaceSegmentsForTest(const std::vector<uint8_t> &code, const std::vector<uint8_t> &data);
/// Keeps the symbols segment for symbolFor (unpacked on first use).
void SetImageSymbols(std::vector<uint8_t> &&symbols);
/// Forgets every resource, option and symbol (tests).
void ResetImageTablesForTest();
/// The function that every unresolved import's sites lead to.
extern "C" int32_t CORVUnresolvedImport(void);

}  // namespace corv
