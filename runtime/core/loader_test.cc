// Finding and reading images (LOADER section, stamped file, end of file,
// loose files), and the resource, option and symbol tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/failure.h"
#include "core/image_format.h"
#include "core/loader.h"
#include "corv.h"
#include "image_builder.h"

namespace {

namespace fs = std::filesystem;
using kilnrun_image::Bytes;

class ScopedFolder {
 public:
  ScopedFolder() {
    path_ = fs::temp_directory_path() /
            ("loader_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScopedFolder() { fs::remove_all(path_); }
  std::string File(const std::string &name) const { return (path_ / name).string(); }
  std::string path() const { return path_.string(); }

 private:
  fs::path path_;
};

void WriteFile(const std::string &path, const Bytes &bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

kilnrun_image::ImageParts SampleParts() {
  kilnrun_image::ImageParts parts;
  parts.code = {1, 2, 3, 4, 5};
  parts.data = {9, 8};
  kilnrun_image::AddFixup(&parts.link, corv::image::kCodeRelocation, 0);
  kilnrun_image::AddResource(&parts.resources, CORV_FOUR_CHAR('v', 'e', 'r', 's'), 1, {'x', 0}, "");
  return parts;
}

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    corv::ResetImageTablesForTest();
    corv::CaptureFailures(true);
  }
  void TearDown() override {
    corv::CaptureFailures(false);
    corv::ResetImageTablesForTest();
  }
  // A file of `prefix` filler bytes followed by the image.
  static Bytes ExecutableWithImage(const Bytes &image, size_t prefix) {
    Bytes file(prefix, 0x7F);
    file.insert(file.end(), image.begin(), image.end());
    return file;
  }
  static corv::ImageLocation Stamped(const std::string &path, uint32_t offset, uint32_t length) {
    corv::ImageLocation where;
    where.hasPickle = true;
    corv::image::WriteU32(where.pickle, offset);
    corv::image::WriteU32(where.pickle + 4, length);
    where.executablePath = path;
    return where;
  }
};

TEST_F(LoaderTest, StampedImageIsReadAtItsOffsetWithTheResourcesFileOffset) {
  ScopedFolder folder;
  Bytes image = kilnrun_image::BuildImage(SampleParts());
  WriteFile(folder.File("exe"), ExecutableWithImage(image, 100));
  corv::ImageSegments segments;
  ASSERT_EQ(corv::ReadImage(Stamped(folder.File("exe"), 100, image.size() - 6), &segments),
            corv::ImageReadResult::kRead);
  EXPECT_EQ(segments.segments[corv::image::kCode], (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(segments.segments[corv::image::kData], (Bytes{9, 8}));
  // magic 6, code 4+5, data 4+2, link 4+5, symbols 4, resources length 4
  EXPECT_EQ(segments.resourcesFileOffset, 100u + 6 + 9 + 6 + 9 + 4 + 4);
  ASSERT_TRUE(corv::PlaceAndLinkImage(std::move(segments)));
  ASSERT_EQ(CORVResourceCount(), 1);
  EXPECT_EQ(CORVResourceAt(0)->fileOffset, 100u + 38 + 14);
  EXPECT_EQ(
      corv::image::ReadU32(corv::ImageCodeBase()),
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(corv::ImageCodeBase())) + 0x04030201u);
}

TEST_F(LoaderTest, WrongStampedOffsetIsToleratedWhenTheImageEndsTheFile) {
  ScopedFolder folder;
  Bytes image = kilnrun_image::BuildImage(SampleParts());
  WriteFile(folder.File("exe"), ExecutableWithImage(image, 64));
  corv::ImageSegments segments;
  EXPECT_EQ(corv::ReadImage(Stamped(folder.File("exe"), 3, image.size() - 6), &segments),
            corv::ImageReadResult::kRead);
  EXPECT_EQ(segments.segments[corv::image::kData], (Bytes{9, 8}));
  EXPECT_TRUE(corv::TakeCapturedFailures().empty());
}

TEST_F(LoaderTest, MagicFoundNowhereIsACorruptExecutable) {
  ScopedFolder folder;
  Bytes image = kilnrun_image::BuildImage(SampleParts());
  Bytes file = ExecutableWithImage(image, 64);
  file.push_back(0);  // the image no longer ends the file
  WriteFile(folder.File("exe"), file);
  corv::ImageSegments segments;
  EXPECT_EQ(corv::ReadImage(Stamped(folder.File("exe"), 3, image.size() - 6), &segments),
            corv::ImageReadResult::kCorrupt);
  auto reports = corv::TakeCapturedFailures();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("Failure Condition: 0\nExecutable is corrupt!"), std::string::npos);
  // A segment length running past the end of the file is corrupt too.
  Bytes cut(image.begin(), image.end() - 3);
  WriteFile(folder.File("cut"), ExecutableWithImage(cut, 10));
  EXPECT_EQ(corv::ReadImage(Stamped(folder.File("cut"), 10, image.size() - 6), &segments),
            corv::ImageReadResult::kCorrupt);
  EXPECT_EQ(corv::ReadImage(Stamped(folder.File("missing"), 10, 1), &segments),
            corv::ImageReadResult::kUnreadable);
}

TEST_F(LoaderTest, LoaderSectionHoldsTheImageWithoutItsMagic) {
  Bytes image = kilnrun_image::BuildImage(SampleParts());
  corv::ImageLocation where;
  where.hasLoader = true;
  where.loader.assign(image.begin() + 6, image.end());
  where.executablePath = "/nonexistent";
  corv::ImageSegments segments;
  ASSERT_EQ(corv::ReadImage(where, &segments), corv::ImageReadResult::kRead);
  EXPECT_EQ(segments.segments[corv::image::kCode].size(), 5u);
  EXPECT_EQ(segments.resourcesFileOffset, 0u);
}

TEST_F(LoaderTest, UnstampedPickleReadsTheLooseFiles) {
  ScopedFolder folder;
  WriteFile(folder.File("code.dat"), {0xC3, 0, 0, 0});
  WriteFile(folder.File("data.dat"), {});  // empty: an empty segment
  Bytes link;
  kilnrun_image::AddFixup(&link, corv::image::kCodeRelocation, 0);
  WriteFile(folder.File("import.dat"), link);
  corv::ImageLocation where;
  where.hasPickle = true;
  std::memcpy(where.pickle, "PICKLE\0\0", 8);
  where.looseFolder = folder.path();
  corv::ImageSegments segments;
  ASSERT_EQ(corv::ReadImage(where, &segments), corv::ImageReadResult::kRead);
  EXPECT_EQ(segments.segments[corv::image::kCode], (Bytes{0xC3, 0, 0, 0}));
  EXPECT_TRUE(segments.segments[corv::image::kData].empty());
  EXPECT_TRUE(segments.segments[corv::image::kResources].empty());  // rsrc.dat missing
  EXPECT_EQ(segments.segments[corv::image::kLink], link);
}

TEST_F(LoaderTest, ResourceRecordsWithAndWithoutNames) {
  Bytes rsrc;
  registerResources(rsrc.data(), 0, 0);
  EXPECT_EQ(CORVResourceCount(), 0);
  kilnrun_image::AddResource(&rsrc, 10, 0, {}, "Info.plist");
  kilnrun_image::AddResource(&rsrc, CORV_FOUR_CHAR('C', 'V', 'n', 'x'), 0,
                             {'L', 'i', 'b', 's', '\\', 'a', 0}, "plugin:a.cvx:0");
  kilnrun_image::AddResource(&rsrc, 7, 300, {1, 2, 3}, "");
  static Bytes *kept = nullptr;  // the table points into it
  delete kept;
  kept = new Bytes(rsrc);
  registerResources(kept->data(), static_cast<uint32_t>(kept->size()), 1000);
  ASSERT_EQ(CORVResourceCount(), 3);
  EXPECT_STREQ(CORVResourceAt(0)->name, "Info.plist");
  EXPECT_EQ(CORVResourceAt(0)->length, 0u);
  EXPECT_EQ(std::memcmp(kept->data() + 14 + 11, "xnVC", 4), 0);  // stored bytes of 'CVnx'
  EXPECT_STREQ(reinterpret_cast<const char *>(CORVResourceAt(1)->data), "Libs\\a");
  const CORVresource *plain = CORVFindResource(7, 300);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->name, nullptr);
  EXPECT_EQ(plain->data, kept->data() + kept->size() - 3);  // right after its 14-byte header
  EXPECT_EQ(plain->fileOffset, 1000u + kept->size() - 3);
  // A record whose lengths run past the segment is reported, not read.
  Bytes bad;
  kilnrun_image::AddResource(&bad, 1, 1, {1, 2}, "");
  registerResources(bad.data(), static_cast<uint32_t>(bad.size() - 1), 0);
  EXPECT_EQ(CORVResourceCount(), 3);
  EXPECT_EQ(corv::TakeCapturedFailures().size(), 1u);
}

TEST_F(LoaderTest, OptionRecordsKeepTheTextAndSkipStrayBytes) {
  Bytes options = {7};
  kilnrun_image::AddOption(&options, "", 0);
  kilnrun_image::AddOption(&options, "fast", kEncodingUTF8);
  applyOptions(options.data(), static_cast<uint32_t>(options.size()));
  EXPECT_TRUE(CORVImageHasOptions());
  CORVstring text = CORVImageOptions();
  EXPECT_EQ(std::string(CORVStringBytes(text), CORVStringLength(text)), "fast");
  EXPECT_EQ(CORVStringEncoding(text), kEncodingUTF8);
  RuntimeUnlockString(text);
  EXPECT_EQ(corv::TakeCapturedFailures().size(), 1u);  // the stray byte 7
}

TEST_F(LoaderTest, SymbolForFindsTheLastEntryAtOrBelowTheAddress) {
  ASSERT_TRUE(corv::PlaceSegmentsForTest(Bytes(64, 0), {}));
  uint32_t base = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(corv::ImageCodeBase()));
  CORVstring name = nullptr;
  uint32_t offset = 7;
  EXPECT_FALSE(symbolFor(base, &name, &offset));  // no symbols segment
  EXPECT_EQ(offset, 0u);
  corv::SetImageSymbols(
      kilnrun_image::MakeSymbols({{0, "App.Run"}, {16, "App.Quit"}, {16, "Dup"}}));
  ASSERT_TRUE(symbolFor(base + 20, &name, &offset));
  EXPECT_EQ(std::string(CORVStringBytes(name), CORVStringLength(name)), "Dup");
  EXPECT_EQ(offset, 4u);
  RuntimeUnlockString(name);
  ASSERT_TRUE(symbolFor(base + 15, &name, &offset));
  EXPECT_EQ(std::string(CORVStringBytes(name), CORVStringLength(name)), "App.Run");
  RuntimeUnlockString(name);
  EXPECT_FALSE(symbolFor(base + 64, &name, &offset));
  EXPECT_FALSE(symbolFor(base - 1, &name, &offset));
}

// Entries may share a name, also one that runs to the end of the block
// without its 0 byte: each gets that text, and unpacking copies none of it.
TEST_F(LoaderTest, SymbolNamesMayShareTheirBytesAndRunToTheEnd) {
  ASSERT_TRUE(corv::PlaceSegmentsForTest(Bytes(4096, 0), {}));
  uint32_t base = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(corv::ImageCodeBase()));
  const uint32_t count = 4096;
  Bytes symbols(4 + count * 8);
  kilnrun_image::PutU32(&symbols, 0, count);
  for (uint32_t i = 0; i < count; ++i) kilnrun_image::PutU32(&symbols, 4 + i * 8, i);
  kilnrun_image::PutU32(&symbols, 4 + (count - 1) * 8 + 4, 40000);  // past the end: empty
  symbols.insert(symbols.end(), 30000, 'A');
  corv::SetImageSymbols(std::move(symbols));
  const struct {
    uint32_t address;
    size_t length;
  } cases[] = {{0, 30000}, {4094, 30000}, {4095, 0}};
  for (const auto &c : cases) {
    CORVstring name = nullptr;
    uint32_t offset = 7;
    ASSERT_TRUE(symbolFor(base + c.address, &name, &offset));
    EXPECT_EQ(CORVStringLength(name), c.length) << c.address;
    EXPECT_EQ(offset, 0u);
    RuntimeUnlockString(name);
  }
}

}  // namespace
