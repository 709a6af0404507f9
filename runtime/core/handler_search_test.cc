// The handler-record scan and the frame walk, on code bytes and frame chains
// built by the tests the way the compiler lays them out.
#include "core/handler_search.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/failure.h"
#include "corv.h"
#include "corv/ref.h"
#include "runtime_test.h"

namespace {

using corv::CodeRange;
using corv::FrameRecord;
using corv::Ref;
using corv::ScanForHandler;
using corv::SearchAndTransfer;

// Assembles compiled-function bytes: calls (whose return addresses the tests
// scan from), the three records, filler and epilogues.
class Code {
 public:
  Code &Bytes(std::initializer_list<std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes);
    return *this;
  }
  Code &Prologue() { return Bytes({0x55, 0x89, 0xE5}); }  // push ebp; mov ebp, esp
  Code &Leave() { return Bytes({0xC9, 0xC3}); }
  // A call; returns the offset of its return address.
  std::size_t Call() {
    Bytes({0xE8, 0, 0, 0, 0});
    return bytes_.size();
  }
  Code &TryBegin() { return Jump(0xE9, 4).Marker(corv::kTryBeginMarker); }
  Code &TryEnd() { return Jump(0xE9, 4).Marker(corv::kTryEndMarker); }
  // Opens a handler record; returns the offset of its code. The handler
  // block's bytes follow until EndHandler.
  std::size_t BeginHandler(std::int16_t slot, std::uint8_t jump = 0xE9) {
    openHandler_ = bytes_.size();
    Jump(jump, 0).Marker(corv::kHandlerMarker);
    auto s = static_cast<std::uint16_t>(slot);
    Bytes({0, 0, static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(s >> 8)});
    return bytes_.size();
  }
  Code &EndHandler() {
    auto rel = static_cast<std::uint32_t>(bytes_.size() - (openHandler_ + 5));
    std::memcpy(&bytes_[openHandler_ + 1], &rel, 4);  // the tests run on little-endian hosts
    return *this;
  }

  std::size_t size() const { return bytes_.size(); }
  CodeRange range() const { return {bytes_.data(), bytes_.data() + bytes_.size()}; }
  const std::uint8_t *at(std::size_t offset) const { return bytes_.data() + offset; }
  std::uintptr_t address(std::size_t offset) const {
    return reinterpret_cast<std::uintptr_t>(at(offset));
  }

 private:
  Code &Jump(std::uint8_t op, std::uint32_t rel) {
    return Bytes({op, static_cast<std::uint8_t>(rel), static_cast<std::uint8_t>(rel >> 8),
                  static_cast<std::uint8_t>(rel >> 16), static_cast<std::uint8_t>(rel >> 24)});
  }
  Code &Marker(std::uint32_t marker) {
    return Bytes({static_cast<std::uint8_t>(marker), static_cast<std::uint8_t>(marker >> 8), 0, 0});
  }

  std::vector<std::uint8_t> bytes_;
  std::size_t openHandler_ = 0;
};

struct Found {
  bool found = false;
  std::int16_t slot = 0;
  std::uintptr_t code = 0;
};

Found Scan(const Code &code, std::size_t from) {
  Found f;
  f.found = ScanForHandler(code.range(), code.at(from), &f.slot, &f.code);
  return f;
}

// A function with a try block and a function-level handler.
struct TryFunction {
  Code code;
  std::size_t beforeBlock, inBlock, inHandler, afterBlock;
  std::size_t blockHandler, functionHandler;

  TryFunction() {
    code.Prologue();
    beforeBlock = code.Call();
    code.TryBegin();
    inBlock = code.Call();
    blockHandler = code.BeginHandler(-16);
    inHandler = code.Call();
    code.EndHandler().TryEnd();
    afterBlock = code.Call();
    functionHandler = code.BeginHandler(-8);
    code.Call();  // the reraise
    code.EndHandler().Leave();
  }
};

TEST(HandlerScan, TryBlockCatchesOnlyCallsInsideIt) {
  TryFunction f;
  Found in = Scan(f.code, f.inBlock);
  ASSERT_TRUE(in.found);
  EXPECT_EQ(in.slot, -16);
  EXPECT_EQ(in.code, f.code.address(f.blockHandler));
  // Code before the block, after it, and inside the handler block itself all
  // belong to the function-level handler.
  for (std::size_t from : {f.beforeBlock, f.afterBlock, f.inHandler}) {
    Found outside = Scan(f.code, from);
    ASSERT_TRUE(outside.found) << from;
    EXPECT_EQ(outside.slot, -8) << from;
    EXPECT_EQ(outside.code, f.code.address(f.functionHandler)) << from;
  }
}

TEST(HandlerScan, NestedBlocksFindTheInnermostEnclosingHandler) {
  Code code;
  code.Prologue().TryBegin();
  std::size_t inOuter = code.Call();
  code.TryBegin();
  std::size_t inInner = code.Call();
  std::size_t innerHandler = code.BeginHandler(-24);
  std::size_t inInnerHandler = code.Call();
  code.EndHandler().TryEnd();
  std::size_t betweenInnerEndAndOuterHandler = code.Call();
  std::size_t outerHandler = code.BeginHandler(-16);
  code.Call();
  code.EndHandler().TryEnd();
  std::size_t functionHandler = code.BeginHandler(-8);
  code.EndHandler().Leave();

  EXPECT_EQ(Scan(code, inInner).code, code.address(innerHandler));
  EXPECT_EQ(Scan(code, inInner).slot, -24);
  for (std::size_t from : {inOuter, inInnerHandler, betweenInnerEndAndOuterHandler}) {
    EXPECT_EQ(Scan(code, from).code, code.address(outerHandler)) << from;
    EXPECT_EQ(Scan(code, from).slot, -16) << from;
  }
  EXPECT_EQ(Scan(code, outerHandler).code, code.address(functionHandler));
}

TEST(HandlerScan, EpiloguesEndTheFunction) {
  for (std::uint8_t first : {0xC9, 0x5D}) {
    Code code;
    code.Bytes({0x90, first, 0xC3});
    code.BeginHandler(-8);
    code.EndHandler();
    EXPECT_FALSE(Scan(code, 0).found) << int(first);
  }
  // Without the return after it, C9 or 5D is an ordinary byte.
  Code code;
  code.Bytes({0xC9, 0x90, 0x5D, 0x90});
  std::size_t handler = code.BeginHandler(-8);
  code.EndHandler();
  EXPECT_EQ(Scan(code, 0).code, code.address(handler));
}

TEST(HandlerScan, ShortJumpsCarryRecordsToo) {
  Code code;
  std::size_t handler = code.BeginHandler(-12, 0xEB);
  code.EndHandler();
  Found f = Scan(code, 0);
  ASSERT_TRUE(f.found);
  EXPECT_EQ(f.slot, -12);
  EXPECT_EQ(f.code, code.address(handler));
}

TEST(HandlerScan, OtherJumpsSkipTheirOperands) {
  // A short jump skips two bytes, so the C9 C3 that would end the scan at
  // the next byte is an operand here.
  Code shortJump;
  shortJump.Bytes({0xEB, 0xC9, 0xC3});
  std::size_t afterShort = shortJump.BeginHandler(-4);
  shortJump.EndHandler();
  EXPECT_EQ(Scan(shortJump, 0).code, shortJump.address(afterShort));
  // A near jump skips three: one or two would land on the C9 C3.
  Code nearJump;
  nearJump.Bytes({0xE9, 0x90, 0xC9, 0xC3});
  std::size_t afterNear = nearJump.BeginHandler(-4);
  nearJump.EndHandler();
  EXPECT_EQ(Scan(nearJump, 0).code, nearJump.address(afterNear));
}

TEST(HandlerScan, RunningOutOfCodeFindsNothing) {
  Code plain;
  plain.Bytes({0x90, 0x90, 0x90});
  EXPECT_FALSE(Scan(plain, 0).found);
  // A handler record cut off before its slot.
  Code cut;
  cut.Bytes({0xE9, 9, 0, 0, 0, 0x11, 0x04, 0, 0, 0, 0});
  EXPECT_FALSE(Scan(cut, 0).found);
  // A jump at the very end whose marker cannot be read.
  Code jump;
  jump.Bytes({0x90, 0xE9, 0x11, 0x04});
  EXPECT_FALSE(Scan(jump, 0).found);
  // A start outside the code.
  TryFunction f;
  std::int16_t slot = 0;
  std::uintptr_t handler = 0;
  EXPECT_FALSE(ScanForHandler(f.code.range(), f.code.at(0) + f.code.size(), &slot, &handler));
}

TEST(HandlerScan, MissingArgumentsAreReported) {
  TryFunction f;
  std::int16_t slot = 0;
  std::uintptr_t handler = 0;
  corv::CaptureFailures(true);
  EXPECT_FALSE(ScanForHandler(f.code.range(), nullptr, &slot, &handler));
  EXPECT_FALSE(ScanForHandler(f.code.range(), f.code.at(f.inBlock), nullptr, &handler));
  EXPECT_FALSE(ScanForHandler(f.code.range(), f.code.at(f.inBlock), &slot, nullptr));
  std::vector<std::string> reports = corv::TakeCapturedFailures();
  corv::CaptureFailures(false);
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_NE(reports[0].find("Failure Condition: ptr\n"), std::string::npos);
  EXPECT_NE(reports[1].find("Failure Condition: exceptionObjectLocation\n"), std::string::npos);
  EXPECT_NE(reports[2].find("Failure Condition: handlerCodeLocation\n"), std::string::npos);
}

// A stack of frame records in memory; frame i lies above frame i - 1, with
// room for locals below each.
class FakeStack {
 public:
  static constexpr std::size_t kFrameSpacing = 64;

  explicit FakeStack(std::size_t frames) {
    for (std::size_t i = 0; i < frames; ++i)
      frames_.push_back(new (bytes_ + kFrameSpacing * (i + 1)) FrameRecord{nullptr, 0});
    for (std::size_t i = 0; i + 1 < frames; ++i) frames_[i]->savedFramePointer = frames_[i + 1];
  }
  FrameRecord *operator[](std::size_t i) { return frames_[i]; }
  std::uintptr_t top() { return reinterpret_cast<std::uintptr_t>(frames_.back()); }
  CORVobject Local(std::size_t frame, std::int16_t slot) {
    CORVobject value;
    std::memcpy(&value, reinterpret_cast<char *>(frames_[frame]) + slot, sizeof value);
    return value;
  }

 private:
  alignas(16) unsigned char bytes_[kFrameSpacing * 10] = {};
  std::vector<FrameRecord *> frames_;
};

constexpr std::uintptr_t kRuntimeCode = 0x1000;  // an address outside the image

class FrameWalk : public corv::testing::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    saved_ = CORVGetUnhandledExceptionHook();
    unhandled_.clear();
    CORVSetUnhandledExceptionHook([](CORVobject e) { unhandled_.push_back(e); });
    exception_ = corv::New(&kNilObjectExceptionDecl);
  }
  void TearDown() override {
    exception_ = nullptr;
    CORVSetUnhandledExceptionHook(saved_);
    RuntimeTest::TearDown();
  }

  static std::vector<CORVobject> unhandled_;
  Ref<> exception_;

 private:
  CORVExceptionHook saved_ = nullptr;
};
std::vector<CORVobject> FrameWalk::unhandled_;

// Frame 0 is the search's own, frame 1 the runtime function that raised,
// frame 2 the compiled function that called it, frame 3 that one's caller.
TEST_F(FrameWalk, RaiseInsideTryBlockGoesToItsHandler) {
  TryFunction f;
  FakeStack stack(4);
  stack[0]->returnAddress = kRuntimeCode;
  stack[1]->returnAddress = f.code.address(f.inBlock);
  ASSERT_TRUE(SearchAndTransfer(f.code.range(), stack[0], stack.top(), exception_.object()));
  EXPECT_EQ(stack[1]->returnAddress, f.code.address(f.blockHandler));
  EXPECT_EQ(stack[0]->returnAddress, kRuntimeCode);
  // The handler's local holds the exception with a reference of its own.
  EXPECT_EQ(stack.Local(2, -16), exception_.object());
  EXPECT_EQ(exception_->refCount, 2);
  EXPECT_TRUE(unhandled_.empty());
  RuntimeUnlockObject(stack.Local(2, -16));
}

TEST_F(FrameWalk, FunctionWithoutHandlerPassesToItsCaller) {
  Code leaf;  // no handler at all
  leaf.Prologue();
  std::size_t call = leaf.Call();
  leaf.Leave();
  TryFunction caller;
  // Both functions in one image.
  std::vector<std::uint8_t> image(leaf.at(0), leaf.at(0) + leaf.size());
  std::size_t callerStart = image.size();
  image.insert(image.end(), caller.code.at(0), caller.code.at(0) + caller.code.size());
  CodeRange range{image.data(), image.data() + image.size()};
  auto addr = [&](std::size_t off) { return reinterpret_cast<std::uintptr_t>(&image[off]); };

  FakeStack stack(5);
  stack[0]->returnAddress = kRuntimeCode;
  stack[1]->returnAddress = addr(call);
  stack[2]->returnAddress = addr(callerStart + caller.inBlock);
  ASSERT_TRUE(SearchAndTransfer(range, stack[0], stack.top(), exception_.object()));
  EXPECT_EQ(stack[1]->returnAddress, addr(call));
  EXPECT_EQ(stack[2]->returnAddress, addr(callerStart + caller.blockHandler));
  EXPECT_EQ(stack.Local(3, -16), exception_.object());
  RuntimeUnlockObject(stack.Local(3, -16));
}

TEST_F(FrameWalk, RaiseInsideHandlerGoesToTheFunctionLevelHandler) {
  TryFunction f;
  FakeStack stack(3);
  stack[0]->returnAddress = f.code.address(f.inHandler);
  ASSERT_TRUE(SearchAndTransfer(f.code.range(), stack[0], stack.top(), exception_.object()));
  EXPECT_EQ(stack[0]->returnAddress, f.code.address(f.functionHandler));
  EXPECT_EQ(stack.Local(1, -8), exception_.object());
  RuntimeUnlockObject(stack.Local(1, -8));
}

TEST_F(FrameWalk, SlotZeroReceivesNothing) {
  Code code;
  code.Prologue().TryBegin();
  std::size_t inBlock = code.Call();
  std::size_t handler = code.BeginHandler(0);
  code.EndHandler().TryEnd().Leave();
  FakeStack stack(3);
  stack[0]->returnAddress = code.address(inBlock);
  ASSERT_TRUE(SearchAndTransfer(code.range(), stack[0], stack.top(), exception_.object()));
  EXPECT_EQ(stack[0]->returnAddress, code.address(handler));
  EXPECT_EQ(exception_->refCount, 1);
  EXPECT_EQ(stack[1]->savedFramePointer, stack[2]);  // offset 0 is the frame record itself
}

TEST_F(FrameWalk, NoHandlerUpToTheTopIsUnhandled) {
  Code code;
  code.Prologue();
  std::size_t call = code.Call();
  code.Leave();
  FakeStack stack(3);
  stack[0]->returnAddress = code.address(call);
  stack[1]->returnAddress = 0;  // no return address: nothing to scan
  EXPECT_FALSE(SearchAndTransfer(code.range(), stack[0], stack.top(), exception_.object()));
  ASSERT_EQ(unhandled_.size(), 1u);
  EXPECT_EQ(unhandled_[0], exception_.object());
  EXPECT_EQ(exception_->refCount, 1);
}

TEST_F(FrameWalk, BrokenChainsAreUnhandled) {
  TryFunction f;
  // Each chain's only handler lies beyond the break.
  enum Break { kBelow, kItself, kAboveTop, kNull };
  for (Break kind : {kBelow, kItself, kAboveTop, kNull}) {
    FakeStack stack(4);
    stack[0]->returnAddress = kRuntimeCode;
    stack[1]->returnAddress = f.code.address(f.inBlock);
    std::uintptr_t top = stack.top();
    switch (kind) {
      case kBelow:
        stack[0]->savedFramePointer = stack[0] - 1;
        break;
      case kItself:
        stack[0]->savedFramePointer = stack[0];
        break;
      case kAboveTop:
        top = reinterpret_cast<std::uintptr_t>(stack[0]);
        break;
      case kNull:
        stack[0]->savedFramePointer = nullptr;
        break;
    }
    unhandled_.clear();
    EXPECT_FALSE(SearchAndTransfer(f.code.range(), stack[0], top, exception_.object())) << kind;
    EXPECT_EQ(unhandled_.size(), 1u) << kind;
    EXPECT_EQ(stack[1]->returnAddress, f.code.address(f.inBlock)) << kind;
    EXPECT_EQ(exception_->refCount, 1) << kind;
  }
}

}  // namespace
