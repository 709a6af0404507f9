// Linking images built with kilnrun-image's builder: site chains, fix-ups,
// string literals, external functions and the failure reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/failure.h"
#include "core/image_format.h"
#include "core/loader.h"
#include "corv.h"
#include "image_builder.h"
#include "platform/path.h"

namespace {

using kilnrun_image::Bytes;

// A library every process of the platform has loaded, holding the C
// library's abs, and the same name written in other letter cases.
const bool kWindows = corv::platform::kPathSeparator == '\\';
const char *const kCLibrary = kWindows ? "msvcrt.dll" : "libc.so.6";
const char *const kCLibraryOtherCase = kWindows ? "MSVCRT.dll" : "LIBC.so.6";

extern "C" int32_t LinkTestTarget(int32_t x) {
  return x * 2 + 1;
}

class LinkImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registerLinkEntry("LinkTestTarget", reinterpret_cast<void *>(&LinkTestTarget));
    corv::CaptureFailures(true);
  }
  void TearDown() override { corv::CaptureFailures(false); }

  // Places `code` and `data`, then links `link`.
  void Link(const Bytes &code, const Bytes &data, const Bytes &link) {
    ASSERT_TRUE(corv::PlaceSegmentsForTest(code, data));
    linkImage(link.data(), static_cast<uint32_t>(link.size()));
  }
  uint32_t Word(uint32_t offset) { return corv::image::ReadU32(corv::ImageCodeBase() + offset); }
  uint32_t CodeAddress(uint32_t offset) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(corv::ImageCodeBase())) + offset;
  }
  // Calls what a 32-bit absolute address leads to as int(int).
  static int32_t CallAt(uint32_t address, int32_t argument) {
    auto *function = reinterpret_cast<int32_t (*)(int32_t)>(static_cast<uintptr_t>(address));
    return function(argument);
  }
  // Code with a chain of sites at 4 → 12 → 20 → 0.
  static Bytes ChainOfThree() {
    Bytes code(32, 0x90);
    kilnrun_image::PutU32(&code, 4, 12);
    kilnrun_image::PutU32(&code, 12, 20);
    kilnrun_image::PutU32(&code, 20, 0);
    return code;
  }
};

TEST_F(LinkImageTest, RelativeChainOfThreeGetsEachSitesOwnDisplacement) {
  Bytes link;
  kilnrun_image::AddImport(&link, 1, 4, "LinkTestTarget");
  Link(ChainOfThree(), {}, link);
  uint32_t targets[3];
  uint32_t sites[3] = {4, 12, 20};
  for (int i = 0; i < 3; ++i) targets[i] = Word(sites[i]) + CodeAddress(sites[i]) + 4;
  EXPECT_EQ(targets[0], targets[1]);
  EXPECT_EQ(targets[1], targets[2]);
  EXPECT_NE(Word(4), Word(12));  // displacements differ by site
  EXPECT_EQ(CallAt(targets[0], 20), 41);
  EXPECT_TRUE(corv::TakeCapturedFailures().empty());
}

TEST_F(LinkImageTest, AbsoluteChainOfThreeGetsTheTargetAddress) {
  for (uint8_t flag : {0, 2}) {
    Bytes link;
    kilnrun_image::AddImport(&link, flag, 4, "LinkTestTarget");
    Link(ChainOfThree(), {}, link);
    EXPECT_EQ(Word(4), Word(12));
    EXPECT_EQ(Word(12), Word(20));
    EXPECT_EQ(CallAt(Word(20), 1), 3);
    // The bytes around the sites are untouched.
    EXPECT_EQ(corv::ImageCodeBase()[0], 0x90);
    EXPECT_EQ(corv::ImageCodeBase()[31], 0x90);
  }
}

TEST_F(LinkImageTest, NamesDifferingOnlyInCaseResolve) {
  Bytes link;
  kilnrun_image::AddImport(&link, 0, 4, "linktesttarget");
  Bytes code(8, 0);
  Link(code, {}, link);
  EXPECT_EQ(CallAt(Word(4), 5), 11);
  EXPECT_TRUE(corv::TakeCapturedFailures().empty());
}

TEST_F(LinkImageTest, FirstSiteZeroPatchesNothingButUnknownNamesAreStillReported) {
  Bytes link;
  kilnrun_image::AddImport(&link, 1, 0, "LinkTestTarget");
  kilnrun_image::AddImport(&link, 1, 0, "NoSuchEntryPoint");
  Bytes code(8, 0xAB);
  Link(code, {}, link);
  EXPECT_EQ(Word(0), 0xABABABABu);
  EXPECT_EQ(Word(4), 0xABABABABu);
  auto reports = corv::TakeCapturedFailures();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("Failure Condition: foundFunction\n"
                            "Function 'NoSuchEntryPoint' was not exported"),
            std::string::npos);
}

TEST_F(LinkImageTest, CallingAnUnresolvedImportReportsAndReturnsZero) {
  Bytes link;
  kilnrun_image::AddImport(&link, 0, 4, "NoSuchEntryPoint");
  Link(ChainOfThree(), {}, link);
  EXPECT_EQ(Word(4), Word(20));
  corv::TakeCapturedFailures();
  EXPECT_EQ(CallAt(Word(12), 7), 0);
  EXPECT_EQ(corv::TakeCapturedFailures().size(), 1u);
}

TEST_F(LinkImageTest, RelocationsAddTheSegmentBases) {
  Bytes code(12, 0);
  kilnrun_image::PutU32(&code, 0, 8);
  kilnrun_image::PutU32(&code, 4, 3);
  Bytes link;
  kilnrun_image::AddFixup(&link, corv::image::kDataRelocation, 0);
  kilnrun_image::AddFixup(&link, corv::image::kCodeRelocation, 4);
  Link(code, Bytes(16, 0), link);
  EXPECT_EQ(Word(0), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(corv::ImageDataBase())) + 8);
  EXPECT_EQ(Word(4), CodeAddress(3));
}

TEST_F(LinkImageTest, TwoLiteralRecordsShareOneObjectWhoseTextIsSetOnce) {
  Bytes data(4, 0);  // the literal does not start the segment
  uint32_t at = kilnrun_image::AddStringLiteral(&data, "hello", kEncodingUTF8);
  Bytes code(8, 0);
  kilnrun_image::PutU32(&code, 0, at);
  kilnrun_image::PutU32(&code, 4, at);
  Bytes link;
  kilnrun_image::AddFixup(&link, corv::image::kStringLiteral, 0);
  kilnrun_image::AddFixup(&link, corv::image::kStringLiteral, 4);
  Link(code, data, link);
  uint32_t object = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(corv::ImageDataBase())) + at;
  EXPECT_EQ(Word(0), object);
  EXPECT_EQ(Word(4), object);
  const uint8_t *literal = corv::ImageDataBase() + at;
  EXPECT_EQ(corv::image::ReadU32(literal), 1u);  // reference count stays 1
  uint32_t text = corv::image::ReadU32(literal + 4);
  EXPECT_EQ(text, object + 20);
  const char *bytes = reinterpret_cast<const char *>(static_cast<uintptr_t>(text));
  EXPECT_EQ(bytes[0], 5);
  EXPECT_EQ(std::string(bytes + 1, 5), "hello");
}

TEST_F(LinkImageTest, UnknownTypeBytesAreSkippedOneAtATime) {
  Bytes code(8, 0);
  Bytes link = {0x09, 0x00, 0xFF};
  kilnrun_image::AddFixup(&link, corv::image::kCodeRelocation, 0);
  Link(code, {}, link);
  EXPECT_EQ(Word(0), CodeAddress(0));
}

TEST_F(LinkImageTest, ExternalFunctionsArePatchedAsDisplacements) {
  Bytes link;
  kilnrun_image::AddExternal(&link, 4, "abs", kCLibrary);
  kilnrun_image::AddExternal(&link, 0, "no_such_function_here", kCLibraryOtherCase);
  Link(ChainOfThree(), {}, link);
  uint32_t target = Word(12) + CodeAddress(12) + 4;
  EXPECT_EQ(Word(4) + CodeAddress(4) + 4, target);
  EXPECT_EQ(CallAt(target, -9), 9);
  auto reports = corv::TakeCapturedFailures();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find(std::string("Failure Condition: functionEntry\n"
                                        "Could not resolve function 'no_such_function_here' in ") +
                            kCLibraryOtherCase),
            std::string::npos);
}

TEST_F(LinkImageTest, RecordsPointingOutsideTheSegmentsAreReportedNotApplied) {
  Bytes code(8, 0);
  Bytes link;
  kilnrun_image::AddFixup(&link, corv::image::kCodeRelocation, 6);
  kilnrun_image::AddFixup(&link, corv::image::kStringLiteral, 1000);
  kilnrun_image::AddImport(&link, 1, 4000, "LinkTestTarget");
  Link(code, {}, link);
  EXPECT_EQ(corv::TakeCapturedFailures().size(), 3u);
  Bytes looping(8, 0);
  kilnrun_image::PutU32(&looping, 4, 4);
  Bytes loopLink;
  kilnrun_image::AddImport(&loopLink, 0, 4, "LinkTestTarget");
  Link(looping, {}, loopLink);
  EXPECT_EQ(corv::TakeCapturedFailures().size(), 1u);
  Bytes truncated = {1, 1, 4, 0};
  Link(code, {}, truncated);
  EXPECT_EQ(corv::TakeCapturedFailures().size(), 1u);
}

// The check runs the linker's own walk over copies: each image draws the same
// problems from it as from linking, except that it loads no library.
TEST_F(LinkImageTest, TheImageCheckFindsWhatLinkingReports) {
  Bytes looping(8, 0);
  kilnrun_image::PutU32(&looping, 4, 4);
  Bytes outside, unknown, loop, truncated = {1, 1, 4, 0}, external;
  kilnrun_image::AddFixup(&outside, corv::image::kCodeRelocation, 6);
  kilnrun_image::AddFixup(&outside, corv::image::kStringLiteral, 1000);
  kilnrun_image::AddImport(&outside, 1, 4000, "LinkTestTarget");
  kilnrun_image::AddImport(&unknown, 1, 4, "NoSuchEntryAnywhere");
  kilnrun_image::AddImport(&loop, 0, 4, "LinkTestTarget");
  kilnrun_image::AddExternal(&external, 4, "abs", kCLibrary);
  const struct {
    Bytes code, link;
  } cases[] = {{Bytes(8, 0), outside},
               {ChainOfThree(), unknown},
               {looping, loop},
               {Bytes(8, 0), truncated},
               {ChainOfThree(), external}};
  for (const auto &c : cases) {
    corv::ImageSegments segments;
    segments.segments[corv::image::kCode] = c.code;
    segments.segments[corv::image::kLink] = c.link;
    std::vector<std::string> problems = corv::CheckImageLinks(segments);
    EXPECT_EQ(segments.segments[corv::image::kCode], c.code);  // only a copy was patched
    Link(c.code, {}, c.link);
    std::vector<std::string> reports = corv::TakeCapturedFailures();
    ASSERT_EQ(problems.size(), reports.size());
    for (size_t i = 0; i < problems.size(); ++i)
      EXPECT_NE(reports[i].find(problems[i]), std::string::npos) << problems[i];
  }
}

}  // namespace
