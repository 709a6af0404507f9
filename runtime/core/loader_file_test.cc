// The loader against real executable files: a small program of the runtime
// stamped by kilnrun-image, and one whose LOADER section holds its image.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/image_format.h"
#include "core/loader.h"
#include "corv.h"
#include "disk_test.h"
#include "image_builder.h"
#include "platform/executable.h"
#include "platform/file_handle.h"
#include "platform/process.h"

namespace {

using kilnrun_image::Bytes;

kilnrun_image::ImageParts PartsSaying(const std::string &text) {
  kilnrun_image::ImageParts parts;
  parts.code = {0xC3, 0x90, 0x90};
  parts.data = {1, 2, 3, 4};
  kilnrun_image::AddFixup(&parts.link, corv::image::kDataRelocation, 0);
  Bytes message(text.begin(), text.end());
  message.push_back(0);
  kilnrun_image::AddResource(&parts.resources, CORV_FOUR_CHAR('T', 'E', 'S', 'T'), 1, message, "");
  kilnrun_image::AddOption(&parts.options, "option", kEncodingUTF8);
  return parts;
}

void WriteBytes(const std::string &path, const Bytes &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A copy of the test program (permissions included) in the folder, named as
// Windows runs a program too.
std::string CopyOfFixture(const corv::testing::ScopedTempFolder &folder) {
  std::string copy = folder / "program.exe";
  std::filesystem::copy_file(IMAGE_FIXTURE_PATH, copy);
  return copy;
}

// The six segments as read, compared with the parts they were built from.
void ExpectSegmentsOf(const corv::ImageSegments &read, const kilnrun_image::ImageParts &parts) {
  EXPECT_EQ(read.segments[corv::image::kCode], parts.code);
  EXPECT_EQ(read.segments[corv::image::kData], parts.data);
  EXPECT_EQ(read.segments[corv::image::kLink], parts.link);
  EXPECT_EQ(read.segments[corv::image::kSymbols], parts.symbols);
  EXPECT_EQ(read.segments[corv::image::kResources], parts.resources);
  EXPECT_EQ(read.segments[corv::image::kOptions], parts.options);
}

TEST(LoaderFileTest, StampedProgramCarriesItsImageLocationInItsPickleSection) {
  corv::testing::ScopedTempFolder folder;
  std::string program = CopyOfFixture(folder);
  corv::ImageLocation unstamped = corv::LocateImage(program);
  ASSERT_TRUE(unstamped.hasPickle);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(unstamped.pickle), 4), "PICK");
  EXPECT_FALSE(unstamped.hasLoader);

  uint64_t sizeBefore = std::filesystem::file_size(program);
  kilnrun_image::ImageParts parts = PartsSaying("from the stamped image");
  Bytes image = kilnrun_image::BuildImage(parts);
  WriteBytes(folder / "image", image);
  auto stamp = corv::platform::RunProgram({KILNRUN_IMAGE_TOOL, "stamp", program, folder / "image"});
  ASSERT_TRUE(stamp.started);
  ASSERT_EQ(stamp.exitStatus, 0);

  corv::ImageLocation where = corv::LocateImage(program);
  ASSERT_TRUE(where.hasPickle);
  EXPECT_FALSE(where.hasLoader);
  EXPECT_EQ(corv::image::ReadU32(where.pickle), sizeBefore);
  EXPECT_EQ(corv::image::ReadU32(where.pickle + 4), image.size() - 6);
  corv::ImageSegments read;
  ASSERT_EQ(corv::ReadImage(where, &read), corv::ImageReadResult::kRead);
  ExpectSegmentsOf(read, parts);
  // The resources' place in the file: after the magic, four segments and
  // the five lengths in front of the resources.
  EXPECT_EQ(read.resourcesFileOffset, sizeBefore + 6 + 5 * 4 + parts.code.size() +
                                          parts.data.size() + parts.link.size() +
                                          parts.symbols.size());

  // The program itself finds the same image in its own file.
  auto run = corv::platform::RunProgram({program});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.output, std::string("from the stamped image") + corv::platform::kLineTerminator);
}

// The tests that add a LOADER section need objcopy for the platform's
// executables, run as a program of the platform; the Windows build under
// wine has none (the build machine's cannot take Windows paths).
constexpr const char *kNoObjcopy = "no objcopy runs where these tests run";

TEST(LoaderFileTest, LoaderSectionIsReadFromTheFileAndComesBeforeAStampedImage) {
  if (std::string(OBJCOPY_PATH).empty()) GTEST_SKIP() << kNoObjcopy;
  corv::testing::ScopedTempFolder folder;
  std::string program = CopyOfFixture(folder);
  kilnrun_image::ImageParts parts = PartsSaying("from the LOADER section");
  Bytes image = kilnrun_image::BuildImage(parts);
  // The section holds the six segments without the magic.
  WriteBytes(folder / "segments", Bytes(image.begin() + 6, image.end()));
  auto added = corv::platform::RunProgram(
      {OBJCOPY_PATH, "--add-section", "LOADER=" + (folder / "segments"), program});
  ASSERT_TRUE(added.started);
  ASSERT_EQ(added.exitStatus, 0);
  // A stamped image as well: the LOADER section still wins.
  WriteBytes(folder / "other", kilnrun_image::BuildImage(PartsSaying("from the stamped image")));
  auto stamp = corv::platform::RunProgram({KILNRUN_IMAGE_TOOL, "stamp", program, folder / "other"});
  ASSERT_EQ(stamp.exitStatus, 0);

  corv::ImageLocation where = corv::LocateImage(program);
  ASSERT_TRUE(where.hasLoader);
  EXPECT_EQ(where.loader, Bytes(image.begin() + 6, image.end()));
  EXPECT_TRUE(where.hasPickle);
  corv::ImageSegments read;
  ASSERT_EQ(corv::ReadImage(where, &read), corv::ImageReadResult::kRead);
  ExpectSegmentsOf(read, parts);
  EXPECT_EQ(read.resourcesFileOffset, 0u);  // not read from the file at an offset

  auto run = corv::platform::RunProgram({program});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.output, std::string("from the LOADER section") + corv::platform::kLineTerminator);
}

uint64_t ReadU64(const Bytes &bytes, size_t at) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | bytes[at + static_cast<size_t>(i)];
  return value;
}

TEST(LoaderFileTest, ASectionTableClaimingMoreThanTheFileIsNotRead) {
  if (std::string(OBJCOPY_PATH).empty()) GTEST_SKIP() << kNoObjcopy;
  corv::testing::ScopedTempFolder folder;
  std::string program = CopyOfFixture(folder);
  Bytes image = kilnrun_image::BuildImage(PartsSaying("never read"));
  WriteBytes(folder / "segments", Bytes(image.begin() + 6, image.end()));
  ASSERT_EQ(corv::platform::RunProgram(
                {OBJCOPY_PATH, "--add-section", "LOADER=" + (folder / "segments"), program})
                .exitStatus,
            0);
  corv::platform::FileSection loader;
  ASSERT_TRUE(corv::platform::FindSection(program, "LOADER", &loader));
  // Find the LOADER header in the 64-bit section table and make its size
  // far larger than the file.
  Bytes file;
  ASSERT_TRUE(corv::platform::ReadWholeFile(program, &file));
  uint64_t tableOffset = ReadU64(file, 0x28);
  unsigned count = file[0x3C] | file[0x3D] << 8;
  bool patched = false;
  for (unsigned i = 0; i < count && !patched; ++i) {
    size_t header = static_cast<size_t>(tableOffset) + i * 64;
    if (ReadU64(file, header + 0x18) != loader.offset ||
        ReadU64(file, header + 0x20) != loader.size)
      continue;
    corv::image::WriteU32(file.data() + header + 0x20, 0xF0000000u);
    patched = true;
  }
  ASSERT_TRUE(patched);
  WriteBytes(program, file);

  corv::ImageLocation where = corv::LocateImage(program);
  EXPECT_FALSE(where.hasLoader);
  EXPECT_TRUE(where.loader.empty());
  EXPECT_TRUE(where.hasPickle);
}

TEST(LoaderFileTest, FilesThatAreNoExecutablesHaveNoSections) {
  corv::testing::ScopedTempFolder folder;
  WriteBytes(folder / "text", Bytes{'n', 'o', 't', ' ', 'E', 'L', 'F'});
  corv::ImageLocation text = corv::LocateImage(folder / "text");
  EXPECT_FALSE(text.hasPickle);
  EXPECT_FALSE(text.hasLoader);
  corv::ImageLocation missing = corv::LocateImage(folder / "missing");
  EXPECT_FALSE(missing.hasPickle);
  EXPECT_FALSE(missing.hasLoader);
}

}  // namespace
